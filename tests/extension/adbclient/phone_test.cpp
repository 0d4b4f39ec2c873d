// End to end: this client, the real adb server and the emulated phone.
#include "extension/adbclient/adb_client.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utime.h>

using testsupport::sha256OfFile;
using testsupport::TempFolder;
using testsupport::writePatternFile;

namespace {

// Names that break naive quoting, splitting or byte counting.
const QStringList kAwkwardNames = {"it's here.txt", "two  blanks and a tab\t.txt", "Ünïcødé ñame 日本.txt",
                                   "comma,in,name.bin", "'leading quote", "trailing blank "};

class PhoneClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        phoneFolder = new TempFolder;
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder->path();
        options.model = "Client_Test";
        phone = new testsupport::PhoneSim(options);
    }
    static void TearDownTestSuite() {
        delete phone;
        phone = nullptr;
        delete phoneFolder;
        phoneFolder = nullptr;
    }

    void SetUp() override { ASSERT_EQ(testsupport::listedState(phone->serial()), "device"); }

    AdbClient client() const { return AdbClient(phone->serial()); }
    // Where the phone keeps a /sdcard path on this machine.
    static QString onPhone(const QString &relative) { return phoneFolder->file(relative); }

    static void writeOnPhone(const QString &relative, const QByteArray &bytes, time_t mtime = 0) {
        QDir().mkpath(QFileInfo(onPhone(relative)).absolutePath());
        QFile file(onPhone(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        if (mtime) {
            const utimbuf times{mtime, mtime};
            ASSERT_EQ(::utime(QFile::encodeName(onPhone(relative)).constData(), &times), 0);
        }
    }

    TempFolder local;
    static TempFolder *phoneFolder;
    static testsupport::PhoneSim *phone;
};

TempFolder *PhoneClient::phoneFolder = nullptr;
testsupport::PhoneSim *PhoneClient::phone = nullptr;

const AdbEntry *findEntry(const QList<AdbEntry> &entries, const QString &name) {
    for (const AdbEntry &entry : entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

} // namespace

TEST_F(PhoneClient, PushAndPullKeepEveryByteAtChunkBoundaries) {
    for (const qint64 size : {qint64(0), qint64(1), qint64(65536), qint64(65537), qint64(20) << 20}) {
        SCOPED_TRACE(size);
        const QString name = QString("transfer/size-%1.bin").arg(size);
        const QString source = local.file(name);
        const QString expected = writePatternFile(source, size, quint32(size + 3));

        client().push(source, "/sdcard/" + name);
        EXPECT_EQ(sha256OfFile(onPhone(name)), expected);
        EXPECT_EQ(QFileInfo(onPhone(name)).size(), size);

        // And the other way, from a file the phone had of its own.
        const QString phoneOwn = QString("own/size-%1.bin").arg(size);
        const QString phoneExpected = writePatternFile(onPhone(phoneOwn), size, quint32(size + 7));
        const QString destination = local.file("pulled.bin");
        client().pull("/sdcard/" + phoneOwn, destination);
        EXPECT_EQ(sha256OfFile(destination), phoneExpected);
        EXPECT_EQ(QFileInfo(destination).size(), size);
    }
}

TEST_F(PhoneClient, PushStampsTheUploadTimeAndCreatesMissingFolders) {
    const QString source = local.file("src.txt");
    writePatternFile(source, 10);
    const utimbuf old{1000000000, 1000000000};
    ASSERT_EQ(::utime(QFile::encodeName(source).constData(), &old), 0);

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    client().push(source, "/sdcard/new/deeper/src.txt");
    const auto entry = client().stat("/sdcard/new/deeper/src.txt");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, 10);
    EXPECT_GE(entry->modified, double(before - 1));
}

TEST_F(PhoneClient, PushReplacesAnExistingFileWhole) {
    writeOnPhone("replace.bin", QByteArray(200000, 'o'));
    const QString source = local.file("short.bin");
    const QString expected = writePatternFile(source, 5);
    client().push(source, "/sdcard/replace.bin");
    EXPECT_EQ(sha256OfFile(onPhone("replace.bin")), expected);
}

TEST_F(PhoneClient, PushOntoAFolderIsRefusedWithThePhonesText) {
    QDir().mkpath(onPhone("a-folder"));
    const QString source = local.file("x");
    writePatternFile(source, 3);
    const auto failure = clientFailure([&] { client().push(source, "/sdcard/a-folder"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), AdbClientError::Kind::requestFailed);
    EXPECT_TRUE(failure->payload().startsWith("couldn't create file")) << failure->payload().toStdString();
    EXPECT_TRUE(QFileInfo(onPhone("a-folder")).isDir());
}

TEST_F(PhoneClient, ListReportsEntriesWithTypesSizesAndTimes) {
    writeOnPhone("listing/file.txt", "hello", 1600000000);
    QDir().mkpath(onPhone("listing/Sub Folder"));
    for (const QString &name : kAwkwardNames) writeOnPhone("listing/" + name, name.toUtf8());

    const QList<AdbEntry> entries = client().list("/sdcard/listing");
    EXPECT_EQ(entries.size(), 2 + kAwkwardNames.size());
    EXPECT_FALSE(findEntry(entries, "."));
    EXPECT_FALSE(findEntry(entries, ".."));

    const AdbEntry *file = findEntry(entries, "file.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, (AdbEntry{"file.txt", false, 5, 1600000000.0}));
    const AdbEntry *folder = findEntry(entries, "Sub Folder");
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isDirectory);
    for (const QString &name : kAwkwardNames) {
        const AdbEntry *entry = findEntry(entries, name);
        ASSERT_TRUE(entry) << name.toStdString();
        EXPECT_EQ(entry->size, name.toUtf8().size());
        EXPECT_FALSE(entry->isDirectory);
    }
}

TEST_F(PhoneClient, ListOfAMissingOrEmptyFolderIsEmpty) {
    EXPECT_TRUE(client().list("/sdcard/no-such-folder").isEmpty());
    QDir().mkpath(onPhone("empty"));
    EXPECT_TRUE(client().list("/sdcard/empty").isEmpty());
}

TEST_F(PhoneClient, StatNamesAndDescribesWhatIsThere) {
    writeOnPhone("stat/photo.jpg", QByteArray(1234, 'p'), 1500000000);
    const auto file = client().stat("/sdcard/stat/photo.jpg");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, (AdbEntry{"photo.jpg", false, 1234, 1500000000.0}));

    const auto folder = client().stat("/sdcard/stat/");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->name, "stat");
    EXPECT_TRUE(folder->isDirectory);

    // As on a real phone /sdcard is a link to the storage; through a trailing slash it is the folder.
    const auto link = client().stat("/sdcard");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->name, "sdcard");
    EXPECT_FALSE(link->isDirectory);
    const auto root = client().stat("/sdcard/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "sdcard");
    EXPECT_TRUE(root->isDirectory);

    EXPECT_EQ(client().stat("/sdcard/stat/missing.jpg"), std::nullopt);
}

TEST_F(PhoneClient, AwkwardNamesGoBothWays) {
    for (const QString &name : kAwkwardNames) {
        SCOPED_TRACE(name.toStdString());
        const QString source = local.file("src");
        const QString expected = writePatternFile(source, 70000, quint32(name.size()));
        client().push(source, "/sdcard/awkward/" + name);
        EXPECT_EQ(sha256OfFile(onPhone("awkward/" + name)), expected);

        const auto entry = client().stat("/sdcard/awkward/" + name);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->name, name);
        EXPECT_EQ(entry->size, 70000);

        client().pull("/sdcard/awkward/" + name, local.file("back"));
        EXPECT_EQ(sha256OfFile(local.file("back")), expected);
    }
}

TEST_F(PhoneClient, PullOfAMissingFileCarriesThePhonesText) {
    const QString destination = local.file("missing.bin");
    EXPECT_CLIENT_ERROR(client().pull("/sdcard/none/such.bin", destination), requestFailed,
                        "open failed: No such file or directory");
    EXPECT_TRUE(QFileInfo(destination).exists());
    EXPECT_EQ(QFileInfo(destination).size(), 0);
}

TEST_F(PhoneClient, ShellReturnsTheWholeOutputAsTheRealToolSeesIt) {
    const QString viaTool = testsupport::runAdb({"-s", phone->serial(), "shell", "df -k /sdcard"}).output;
    const QString viaClient = client().shell("df -k /sdcard");
    EXPECT_FALSE(viaClient.isEmpty());
    EXPECT_EQ(viaClient, viaTool);

    EXPECT_EQ(client().shell("mkdir -p '/sdcard/made by shell/it'\\''s'"), "");
    EXPECT_TRUE(QFileInfo(onPhone("made by shell/it's")).isDir());
}

TEST_F(PhoneClient, ManyOperationsInParallelEachWithItsOwnClient) {
    constexpr int kThreads = 12;
    QStringList expected;
    for (int i = 0; i < kThreads; ++i)
        expected << writePatternFile(i % 2 ? local.file(QString("up-%1").arg(i)) : onPhone(QString("par/down-%1").arg(i)),
                                     (1 << 20) + i * 4099, quint32(100 + i));
    writeOnPhone("par/listed/one", "1");

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            try {
                const AdbClient own(phone->serial());
                if (i % 2) {
                    own.push(local.file(QString("up-%1").arg(i)), QString("/sdcard/par/up-%1").arg(i));
                } else {
                    own.pull(QString("/sdcard/par/down-%1").arg(i), local.file(QString("down-%1").arg(i)));
                }
                if (own.list("/sdcard/par/listed").size() != 1) ++failures;
                if (!own.stat("/sdcard/par/listed/one")) ++failures;
            } catch (const std::exception &error) {
                ADD_FAILURE() << "operation " << i << ": " << error.what();
                ++failures;
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    for (int i = 0; i < kThreads; ++i) {
        const QString landed = i % 2 ? onPhone(QString("par/up-%1").arg(i)) : local.file(QString("down-%1").arg(i));
        EXPECT_EQ(sha256OfFile(landed), expected[i]) << "operation " << i;
    }
}
