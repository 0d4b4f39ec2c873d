#include "tools/demo/sample_folder.h"

#include "tools/demo/sample_document.h"
#include "tools/demo/sample_pictures.h"
#include "tools/demo/wave_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>

namespace {

QDateTime at(int year, int month, int day, int hour, int minute) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone::utc());
}

std::function<QByteArray()> text(const char *content) {
    return [content] { return QByteArray(content); };
}

std::function<QByteArray()> photo(int sceneIndex) {
    return [sceneIndex] {
        return encodeImage(paintScene(demoScenes().at(sceneIndex), QSize(1600, 1200)), "jpg", 88);
    };
}

void makeFolder(const QString &root, const QString &relative) {
    const QString path = relative == QStringLiteral(".") ? root : QDir(root).filePath(relative);
    const QFileInfo info(path);
    if (info.isDir()) return;
    if (info.exists() || info.isSymLink())
        throw SampleFolderError(QStringLiteral("cannot make the folder %1: something that is not a folder is in the way")
                                    .arg(path)
                                    .toStdString());
    if (!QDir().mkpath(path))
        throw SampleFolderError(QStringLiteral("cannot make the folder %1").arg(path).toStdString());
}

void writeFile(const QString &path, const SampleFile &file) {
    const QByteArray bytes = file.contents();
    if (bytes.isEmpty())
        throw SampleFolderError(QStringLiteral("cannot make the contents of %1 (is Qt's image or PDF support missing?)")
                                    .arg(path)
                                    .toStdString());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw SampleFolderError(QStringLiteral("cannot write %1: %2").arg(path, out.errorString()).toStdString());
    // Dated like the moment the photo was taken, so the file manager sorts them as a phone does.
    QFile written(path);
    if (file.modified.isValid() && written.open(QIODevice::ReadWrite))
        written.setFileTime(file.modified, QFileDevice::FileModificationTime);
}

} // namespace

SampleFolderPlan demoPhonePlan() {
    SampleFolderPlan plan;
    plan.folders = {QStringLiteral("Alarms"),   QStringLiteral("DCIM/Camera"), QStringLiteral("Documents"),
                    QStringLiteral("Download"), QStringLiteral("Movies"),      QStringLiteral("Music"),
                    QStringLiteral("Pictures")};
    plan.files = {
        {QStringLiteral("DCIM/Camera/IMG_20240612_193204.jpg"), at(2024, 6, 12, 19, 32), photo(0)},
        {QStringLiteral("DCIM/Camera/IMG_20240703_124511.jpg"), at(2024, 7, 3, 12, 45), photo(1)},
        {QStringLiteral("DCIM/Camera/IMG_20240703_223047.jpg"), at(2024, 7, 3, 22, 30), photo(2)},
        {QStringLiteral("DCIM/Camera/IMG_20240815_081322.jpg"), at(2024, 8, 15, 8, 13), photo(3)},
        {QStringLiteral("Download/Welcome to the demo phone.pdf"), at(2024, 9, 1, 10, 0),
         [] { return writePdf(demoGuideDocument()); }},
        {QStringLiteral("Download/readme.txt"), at(2024, 9, 1, 10, 5),
         text("This is the Download folder of Dorvane's demo phone.\n"
              "\n"
              "It is an ordinary folder on this computer that an emulated phone serves as its\n"
              "storage, so anything you copy here through the mount lands in that folder,\n"
              "and anything you delete is gone from it.\n")},
        {QStringLiteral("Music/Chord in C.wav"), at(2024, 5, 20, 18, 0), [] { return waveFileOfTone({}); }},
        {QStringLiteral("Documents/Shopping list.txt"), at(2024, 9, 2, 17, 40),
         text("Shopping list\n"
              "\n"
              "- bread\n"
              "- tomatoes\n"
              "- olive oil\n"
              "- coffee beans\n"
              "- a USB cable that really carries data\n")},
        {QStringLiteral("Documents/Ideas.md"), at(2024, 9, 3, 21, 15),
         text("# Ideas\n"
              "\n"
              "* Sort the holiday photos into albums.\n"
              "* Back up the camera roll to the laptop before the trip.\n"
              "* Try renaming a file here and watch it change on the phone.\n")},
    };
    return plan;
}

SampleFolderResult makeSampleFolder(const QString &root, const SampleFolderPlan &plan) {
    if (root.isEmpty()) throw SampleFolderError("no folder given for the sample files");
    makeFolder(root, QStringLiteral("."));
    for (const QString &folder : plan.folders) makeFolder(root, folder);

    SampleFolderResult result;
    for (const SampleFile &file : plan.files) {
        const QString path = QDir(root).filePath(file.relativePath);
        const QFileInfo info(path);
        if (info.isDir())
            throw SampleFolderError(
                QStringLiteral("cannot write %1: a folder of that name is in the way").arg(path).toStdString());
        if (info.exists() || info.isSymLink()) {
            result.kept << file.relativePath;
            continue;
        }
        makeFolder(root, QFileInfo(file.relativePath).path());
        writeFile(path, file);
        result.written << file.relativePath;
    }
    return result;
}
