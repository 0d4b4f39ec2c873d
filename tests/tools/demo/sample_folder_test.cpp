#include "tools/demo/sample_document.h"
#include "tools/demo/sample_folder.h"
#include "tools/demo/sample_pictures.h"
#include "tools/demo/wave_file.h"

#include "tests/support/temp_folder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

#include <gtest/gtest.h>

using testsupport::TempFolder;

namespace {

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeText(const QString &path, const QByteArray &text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

quint32 little32(const QByteArray &bytes, int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); }
quint16 little16(const QByteArray &bytes, int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); }

// A picture that is one flat colour would mean the painting went wrong.
int distinctColours(const QImage &image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 37)
        for (int x = 0; x < image.width(); x += 41) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

SampleFolderPlan smallPlan(int *made) {
    SampleFolderPlan plan;
    plan.folders = {QStringLiteral("Music"), QStringLiteral("DCIM/Camera")};
    plan.files = {{QStringLiteral("Download/a.txt"), {}, [made] { ++*made; return QByteArray("first\n"); }},
                  {QStringLiteral("b.txt"), {}, [made] { ++*made; return QByteArray("second\n"); }}};
    return plan;
}

} // namespace

TEST(DemoFolder, MakesAPhoneStorageOfRealFiles) {
    TempFolder root;
    const SampleFolderResult result = makeSampleFolder(root.path(), demoPhonePlan());
    EXPECT_TRUE(result.kept.isEmpty());

    for (const char *folder : {"DCIM/Camera", "Download", "Music", "Documents"})
        EXPECT_TRUE(QFileInfo(root.file(folder)).isDir()) << folder;

    const QStringList photos = QDir(root.file("DCIM/Camera")).entryList({"*.jpg"}, QDir::Files);
    ASSERT_GE(photos.size(), 3);
    for (const QString &photo : photos) {
        QImageReader reader(root.file("DCIM/Camera/" + photo));
        EXPECT_EQ(reader.format(), "jpeg") << photo.toStdString();
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << photo.toStdString() << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(1600, 1200));
        EXPECT_GT(distinctColours(image), 50) << photo.toStdString();
    }

    const QStringList downloads = QDir(root.file("Download")).entryList(QDir::Files);
    EXPECT_TRUE(std::any_of(downloads.begin(), downloads.end(), [](const QString &n) { return n.endsWith(".pdf"); }));
    EXPECT_TRUE(std::any_of(downloads.begin(), downloads.end(), [](const QString &n) { return n.endsWith(".txt"); }));
    EXPECT_FALSE(QDir(root.file("Music")).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QDir(root.file("Documents")).entryList(QDir::Files).isEmpty());

    // Dated as taken, not as made.
    const QFileInfo first(root.file("DCIM/Camera/" + photos.first()));
    EXPECT_LT(first.lastModified().date().year(), QDate::currentDate().year() + 1);
    EXPECT_EQ(first.lastModified().toUTC().date(), QDate(2024, 6, 12));
}

TEST(DemoFolder, PdfIsACompleteDocumentWithItsPages) {
    const Document document = demoGuideDocument();
    const QByteArray pdf = writePdf(document);
    ASSERT_TRUE(pdf.startsWith("%PDF-1."));
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
    qsizetype pageObjects = 0;
    for (auto match = QRegularExpression(R"(/Type\s*/Page(?!s))").globalMatch(QString::fromLatin1(pdf));
         match.hasNext(); match.next())
        ++pageObjects;
    EXPECT_EQ(pageObjects, document.pages.size());
    EXPECT_TRUE(pdf.contains("startxref"));
}

TEST(DemoFolder, ToneIsAWellFormedPcmWave) {
    Tone tone;
    tone.sampleRate = 8000;
    tone.seconds = 0.5;
    const QByteArray wave = waveFileOfTone(tone);
    ASSERT_EQ(wave.size(), 44 + 4000 * 2);
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(little32(wave, 4), quint32(wave.size() - 8));
    EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(little16(wave, 20), 1);        // PCM
    EXPECT_EQ(little16(wave, 22), 1);        // mono
    EXPECT_EQ(little32(wave, 24), 8000u);    // sample rate
    EXPECT_EQ(little32(wave, 28), 16000u);   // byte rate
    EXPECT_EQ(little16(wave, 32), 2);        // block align
    EXPECT_EQ(little16(wave, 34), 16);       // bits per sample
    EXPECT_EQ(wave.mid(36, 4), "data");
    EXPECT_EQ(little32(wave, 40), 8000u);

    // Starts silent (no click), is loud in the middle, and never clips.
    qint16 loudest = 0;
    for (int i = 44; i < wave.size(); i += 2) {
        const qint16 sample = qint16(little16(wave, i));
        loudest = std::max<qint16>(loudest, qint16(std::abs(sample)));
    }
    EXPECT_EQ(qint16(little16(wave, 44)), 0);
    EXPECT_GT(loudest, 8000);
    EXPECT_LT(loudest, 32767);
}

TEST(DemoFolder, ScenesAreTheSameBytesEachTime) {
    const Scene scene = demoScenes().at(2); // the one with random stars
    EXPECT_EQ(paintScene(scene, QSize(320, 240)), paintScene(scene, QSize(320, 240)));
    EXPECT_NE(paintScene(demoScenes().at(0), QSize(320, 240)), paintScene(scene, QSize(320, 240)));
}

TEST(DemoFolder, SecondRunKeepsChangedFilesAndRestoresMissingOnes) {
    TempFolder root;
    int made = 0;
    makeSampleFolder(root.path(), smallPlan(&made));
    ASSERT_EQ(made, 2);
    writeText(root.file("Download/a.txt"), "changed through the mount\n");
    ASSERT_TRUE(QFile::remove(root.file("b.txt")));
    writeText(root.file("Download/mine.txt"), "a file of the user's\n");

    const SampleFolderResult again = makeSampleFolder(root.path(), smallPlan(&made));
    EXPECT_EQ(again.kept, QStringList{"Download/a.txt"});
    EXPECT_EQ(again.written, QStringList{"b.txt"});
    EXPECT_EQ(made, 3) << "contents are made only for missing files";
    EXPECT_EQ(readAll(root.file("Download/a.txt")), "changed through the mount\n");
    EXPECT_EQ(readAll(root.file("b.txt")), "second\n");
    EXPECT_EQ(readAll(root.file("Download/mine.txt")), "a file of the user's\n");
}

TEST(DemoFolder, ThingsInTheWayAreNamedAndLeftAlone) {
    int made = 0;
    {
        TempFolder root;
        writeText(root.file("Music"), "a file where a folder belongs");
        try {
            makeSampleFolder(root.path(), smallPlan(&made));
            FAIL() << "no error";
        } catch (const SampleFolderError &error) {
            EXPECT_NE(std::string(error.what()).find(root.file("Music").toStdString()), std::string::npos) << error.what();
        }
        EXPECT_EQ(readAll(root.file("Music")), "a file where a folder belongs");
    }
    {
        TempFolder root;
        ASSERT_TRUE(QDir(root.path()).mkpath("b.txt"));
        EXPECT_THROW(makeSampleFolder(root.path(), smallPlan(&made)), SampleFolderError);
        EXPECT_TRUE(QFileInfo(root.file("b.txt")).isDir());
    }
    {
        TempFolder parent;
        writeText(parent.file("phone"), "not a folder");
        EXPECT_THROW(makeSampleFolder(parent.file("phone"), smallPlan(&made)), SampleFolderError);
        EXPECT_THROW(makeSampleFolder(QString(), smallPlan(&made)), SampleFolderError);
    }
}

TEST(DemoFolder, AFileThatCannotBeMadeLeavesNothingBehind) {
    TempFolder root;
    SampleFolderPlan plan;
    plan.files = {{QStringLiteral("Download/broken.jpg"), {}, [] { return QByteArray(); }}};
    EXPECT_THROW(makeSampleFolder(root.path(), plan), SampleFolderError);
    EXPECT_FALSE(QFileInfo::exists(root.file("Download/broken.jpg")));
}
