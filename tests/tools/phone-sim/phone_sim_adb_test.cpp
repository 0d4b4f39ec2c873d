// The emulated phone against the real adb tool and server: what passes here
// passes against a phone.
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

PhoneSimOptions simOptions(const QString &folder, Attach attach) {
    PhoneSimOptions options;
    options.folder = folder;
    options.attach = attach;
    return options;
}

void writeText(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

std::string out(const AdbResult &result) { return result.output.toStdString(); }

// One cable phone for the tests that only use it.
class PhoneSimAdb : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        PhoneSimOptions options = simOptions(folder_->path(), Attach::Cable);
        options.model = "Pixel 7 Sim";
        options.readOnlyFolders = {"Android/data/other.app"};
        QDir().mkpath(folder_->file("Android/data/other.app"));
        sim_ = new PhoneSim(options);
    }
    static void TearDownTestSuite() {
        delete sim_;
        delete folder_;
        sim_ = nullptr;
        folder_ = nullptr;
    }
    static QString serial() { return sim_->serial(); }
    static QString served(const QString &relative) { return folder_->file(relative); }
    static AdbResult adb(QStringList arguments) {
        arguments.prepend(serial());
        arguments.prepend("-s");
        return runAdb(arguments);
    }
    static AdbResult shell(const QString &command) { return adb({"shell", command}); }

    TempFolder local_;
    static TempFolder *folder_;
    static PhoneSim *sim_;
};

TempFolder *PhoneSimAdb::folder_ = nullptr;
PhoneSim *PhoneSimAdb::sim_ = nullptr;

} // namespace

TEST_F(PhoneSimAdb, PushAndPullCarryFilesByteForByte) {
    for (qint64 size : {0LL, 65537LL, 5LL * 1024 * 1024 + 3}) {
        const QString name = QString::number(size) + ".bin";
        const QString sha = writePatternFile(local_.file("up/" + name), size, quint32(size + 7));
        const auto push = adb({"push", local_.file("up/" + name), "/sdcard/sizes/" + name});
        ASSERT_EQ(push.exitCode, 0) << out(push);
        EXPECT_EQ(sha256OfFile(served("sizes/" + name)), sha) << size;
        EXPECT_EQ(QFileInfo(served("sizes/" + name)).size(), size);
        QDir().mkpath(local_.file("down"));
        const auto pull = adb({"pull", "/sdcard/sizes/" + name, local_.file("down/" + name)});
        ASSERT_EQ(pull.exitCode, 0) << out(pull);
        EXPECT_EQ(sha256OfFile(local_.file("down/" + name)), sha) << size;
    }
}

TEST_F(PhoneSimAdb, ShellRunsEachCommandTheSystemSends) {
    EXPECT_EQ(shell("mkdir -p /sdcard/sh/a/b /sdcard/sh/c").output, "");
    EXPECT_TRUE(QFileInfo(served("sh/a/b")).isDir());
    EXPECT_EQ(shell("touch /sdcard/sh/a/b/f.txt").output, "");
    EXPECT_TRUE(QFileInfo(served("sh/a/b/f.txt")).isFile());
    EXPECT_EQ(shell("mv /sdcard/sh/a/b/f.txt /sdcard/sh/g.txt").output, "");
    EXPECT_TRUE(QFileInfo(served("sh/g.txt")).isFile());
    EXPECT_EQ(shell("mv /sdcard/sh/g.txt /sdcard/sh/c").output, ""); // into the existing folder
    EXPECT_TRUE(QFileInfo(served("sh/c/g.txt")).isFile());
    EXPECT_EQ(shell("rm -rf /sdcard/sh/a /sdcard/sh/nothing").output, "");
    EXPECT_FALSE(QFileInfo::exists(served("sh/a")));
    EXPECT_EQ(shell("df -k /sdcard").output, "Filesystem     1K-blocks    Used Available Use% Mounted on\n"
                                             "/dev/fuse      115249236 9871244 105377992   9% /storage/emulated\n");
    EXPECT_EQ(shell("ip -f inet addr show wlan0").output, "Device \"wlan0\" does not exist.\n");
    EXPECT_EQ(shell("getprop ro.product.model").output, "Pixel 7 Sim\n");
    EXPECT_EQ(shell("lsof /sdcard").output, "/system/bin/sh: lsof: inaccessible or not found\n");
    EXPECT_EQ(shell("mkdir -p /system/x").output, "mkdir: '/system/x': Read-only file system\n");
    // Paths come single-quoted, with POSIX rules.
    EXPECT_EQ(shell(QString::fromUtf8("mkdir -p '/sdcard/odd names/it'\\''s ñ dir'")).output, "");
    EXPECT_TRUE(QFileInfo(served(QString::fromUtf8("odd names/it's ñ dir"))).isDir());
    EXPECT_EQ(shell(QString::fromUtf8("touch '/sdcard/odd names/it'\\''s ñ dir/a b'")).output, "");
    EXPECT_TRUE(QFileInfo::exists(served(QString::fromUtf8("odd names/it's ñ dir/a b"))));
    EXPECT_EQ(shell(QString::fromUtf8("mv '/sdcard/odd names/it'\\''s ñ dir' '/sdcard/odd names/Ω'")).output, "");
    EXPECT_TRUE(QFileInfo::exists(served(QString::fromUtf8("odd names/Ω/a b"))));
    EXPECT_EQ(shell("rm -rf '/sdcard/odd names'").output, "");
    EXPECT_FALSE(QFileInfo::exists(served("odd names")));
}

TEST_F(PhoneSimAdb, ExecRunsDdOnWholeBlocksAndKeepsItsErrorsOutOfTheDataWhenAsked) {
    QByteArray text;
    for (int index = 0; index < 3000; ++index) text += char('0' + index % 10);
    writeText(served("dd/it's.txt"), text);
    const auto dd = [](const QString &operands) { return out(adb({"exec-out", "dd " + operands})); };
    EXPECT_EQ(dd("if='/sdcard/dd/it'\\''s.txt' bs=1024 skip=1 count=1 2>/dev/null"), text.mid(1024, 1024).toStdString());
    EXPECT_EQ(dd("if=/sdcard/dd/it\\'s.txt bs=1k skip=2 2>/dev/null"), text.mid(2048).toStdString());
    EXPECT_EQ(dd("if=/sdcard/dd/none bs=65536 count=1 2>/dev/null"), "");
    EXPECT_EQ(dd("if=/sdcard/dd/none bs=65536 count=1"), "dd: /sdcard/dd/none: No such file or directory\n");
    EXPECT_EQ(dd("if=/sdcard/dd bs=65536 count=1"), "dd: /sdcard/dd: Is a directory\n");
}

TEST_F(PhoneSimAdb, FailsAsAPhoneDoes) {
    const auto pull = adb({"pull", "/sdcard/missing.txt", local_.file("missing.txt")});
    EXPECT_NE(pull.exitCode, 0);
    // The stat_v2 record's errno, as adb words it.
    EXPECT_TRUE(pull.output.contains("failed to stat remote object '/sdcard/missing.txt': No such file or directory"))
        << out(pull);
    EXPECT_FALSE(QFileInfo::exists(local_.file("missing.txt")));

    writeText(local_.file("x.txt"), "x");
    const auto push = adb({"push", local_.file("x.txt"), "/sdcard/Android/data/other.app/x.txt"});
    EXPECT_NE(push.exitCode, 0);
    EXPECT_TRUE(push.output.contains("couldn't create file: Permission denied")) << out(push);
    EXPECT_EQ(shell("mkdir -p /sdcard/Android/data/other.app/new").output,
              "mkdir: '/sdcard/Android/data/other.app/new': Permission denied\n");
    EXPECT_EQ(shell("touch /sdcard/Android/data/other.app/t").output,
              "touch: '/sdcard/Android/data/other.app/t': Permission denied\n");
    EXPECT_EQ(shell("rm -rf /sdcard/Android/data/other.app").output, "rm: /sdcard/Android/data/other.app: Permission denied\n");
    EXPECT_TRUE(QDir(served("Android/data/other.app")).isEmpty());
    // The phone lives on after every failure.
    EXPECT_EQ(listedState(serial()), "device");
}

TEST(PhoneSimAdbLink, AShapedLinkSlowsBothDirectionsToItsPace) {
    // Only the floor the profile sets is certain: 8 MB at 20 MB/s take at
    // least 0.4 s. How fast an unshaped link is depends on the machine's load.
    TempFolder folder, local;
    const QString sha = writePatternFile(local.file("up.bin"), 8'000'000);
    PhoneSimOptions options = simOptions(folder.path(), Attach::Cable);
    options.link = "wifi";
    PhoneSim wifi(options);
    auto seconds = [&](const QStringList &arguments) {
        QElapsedTimer timer;
        timer.start();
        const auto result = runAdb(QStringList{"-s", wifi.serial()} + arguments, std::chrono::minutes(1));
        EXPECT_EQ(result.exitCode, 0) << out(result);
        return double(timer.nsecsElapsed()) / 1e9;
    };
    EXPECT_GE(seconds({"push", local.file("up.bin"), "/sdcard/wifi.bin"}), 0.7 * 0.4);
    EXPECT_GE(seconds({"pull", "/sdcard/wifi.bin", local.file("wifi.bin")}), 0.7 * 0.4);
    EXPECT_EQ(sha256OfFile(local.file("wifi.bin")), sha);
}

TEST(PhoneSimAdbAndroid, EachVersionSpeaksTheFormsAndCommandsItHad) {
    TempFolder folder;
    QDir().mkpath(folder.file("DCIM"));
    {
        QFile big(folder.file("DCIM/big.bin")); // sparse: 5 GiB that cost nothing
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(5LL << 30));
    }
    struct Version {
        int android;
        const char *features;
        const char *sdk;
        const char *listedSize; // of the 5 GiB file in `adb ls`
    };
    for (const Version &version : {Version{6, "", "23", "40000000"}, Version{9, "stat_v2\n", "28", "40000000"},
                                   Version{14, "stat_v2\nls_v2\n", "34", "140000000"}}) {
        SCOPED_TRACE(version.android);
        PhoneSimOptions options = simOptions(folder.path(), Attach::Cable);
        options.android = version.android;
        PhoneSim sim(options);
        const auto adb = [&](const QStringList &arguments) { return runAdb(QStringList{"-s", sim.serial()} + arguments); };
        // A terminal's line ends up to Android 6, and only there.
        const QString end = version.android <= 6 ? "\r\n" : "\n";
        EXPECT_EQ(out(adb({"features"})), version.features);
        EXPECT_EQ(adb({"shell", "getprop ro.build.version.sdk"}).output, version.sdk + end);
        EXPECT_EQ(adb({"exec-out", "getprop ro.build.version.sdk"}).output, version.sdk + QString("\n"));
        EXPECT_EQ(adb({"shell", "readlink -f /sdcard"}).output, "/storage/emulated/0" + end);
        // adb ls: mode, size, mtime in hex, then the name.
        const QString listing = adb({"ls", "/sdcard/DCIM"}).output;
        EXPECT_TRUE(QRegularExpression(QString("^000081b0 ") + version.listedSize + " [0-9a-f]{8} big.bin$",
                                       QRegularExpression::MultilineOption)
                        .match(listing)
                        .hasMatch())
            << listing.toStdString();

        // The media index's commands: each version takes its own and records
        // the path decoded, a CR in it kept.
        const QString scanned = "/storage/emulated/0/DCIM/big.bin";
        const QString content = adb({"shell", "content call --uri content://media --method scan_file --arg " + scanned}).output;
        const QString broadcast =
            adb({"shell", "am broadcast -a android.intent.action.MEDIA_SCANNER_SCAN_FILE -d "
                          "file:///storage/emulated/0/DCIM/a%20b%0D.jpg"})
                .output;
        EXPECT_TRUE(broadcast.endsWith("Broadcast completed: result=0" + end)) << broadcast.toStdString();
        if (version.android >= 11) {
            EXPECT_TRUE(QRegularExpression("^Result: Bundle\\[\\{uri=content://media/external/file/\\d+\\}\\]\n$")
                            .match(content)
                            .hasMatch())
                << content.toStdString();
            EXPECT_EQ(sim.scans(), QStringList{"content\t" + scanned}); // the broadcast is heard no more
        } else {
            EXPECT_TRUE(content.startsWith("Error while accessing provider:media" + end)) << content.toStdString();
            EXPECT_EQ(sim.scans(), QStringList{"broadcast\t/storage/emulated/0/DCIM/a b\r.jpg"});
        }
    }
}
