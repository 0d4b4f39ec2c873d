// The emulated phone's pure parts: its command line, the POSIX word
// splitter, where phone paths land, and its shell commands on a folder.
#include "tests/support/temp_folder.h"
#include "tools/phone-sim/options.h"
#include "tools/phone-sim/sandbox.h"
#include "tools/phone-sim/services.h"
#include "tools/phone-sim/shell_words.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace phonesim;
using testsupport::TempFolder;

namespace {

using Words = std::vector<std::string>;

Options parse(const Words &arguments) { return parseOptions(arguments); }

std::string parseError(const Words &arguments) {
    try {
        parseOptions(arguments);
    } catch (const std::invalid_argument &error) {
        return error.what();
    }
    return "<no error>";
}

Words split(const std::string &text) {
    std::string error;
    Words words = splitWords(text, &error);
    EXPECT_EQ(error, "") << text;
    return words;
}

std::string splitError(const std::string &text) {
    std::string error;
    splitWords(text, &error);
    return error;
}

} // namespace

// ------------------------------------------------------------- options

TEST(PhoneSimOptions, ReadsEveryOption) {
    const Options o = parse({"--folder", "/tmp/x", "--port", "5557", "--model", "Pixel 7", "--wifi-address", "127.0.0.2",
                             "--df", "100,40,60", "--attach", "cable", "--readonly", "Android/data/a", "--readonly=b",
                             "--watch-stdin", "--link", "usb2"});
    EXPECT_EQ(o.folder, "/tmp/x");
    EXPECT_EQ(o.port, 5557);
    EXPECT_EQ(o.model, "Pixel 7");
    EXPECT_EQ(o.wifiAddress, "127.0.0.2");
    EXPECT_EQ(o.df.totalKb, "100");
    EXPECT_EQ(o.df.usedKb, "40");
    EXPECT_EQ(o.df.availableKb, "60");
    EXPECT_EQ(o.attach, Attach::Cable);
    EXPECT_EQ(o.readOnlyFolders, (Words{"Android/data/a", "b"}));
    EXPECT_TRUE(o.watchStdin);
    EXPECT_TRUE(o.link.shaped());
}

TEST(PhoneSimOptions, HasRealisticDefaults) {
    const Options o = parse({"--folder", "f", "--port=0"});
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.model, "Sim_Phone");
    EXPECT_EQ(o.wifiAddress, "");
    EXPECT_EQ(o.attach, Attach::None);
    EXPECT_EQ(o.df.totalKb, "115249236");
    EXPECT_EQ(o.df.usedKb, "9871244");
    EXPECT_EQ(o.df.availableKb, "105377992");
    EXPECT_FALSE(o.watchStdin);
    EXPECT_FALSE(o.link.shaped());
}

TEST(PhoneSimOptions, KeepsDfFiguresAsGivenEvenBeyondAnyIntegerType) {
    const Options o = parse({"--folder", "f", "--port", "0", "--df", "99999999999999999999999,-5,+7"});
    EXPECT_EQ(o.df.totalKb, "99999999999999999999999");
    EXPECT_EQ(o.df.usedKb, "-5");
    EXPECT_EQ(o.df.availableKb, "+7");
}

TEST(PhoneSimOptions, RefusesWhatIsWrongWithAMessage) {
    EXPECT_NE(parseError({"--port", "0"}).find("--folder"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f"}).find("--port"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "65536"}).find("--port"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "-1"}).find("--port"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "12a"}).find("--port"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--attach", "usb"}).find("--attach"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--df", "1,2"}).find("--df"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--df", "1,x,3"}).find("--df"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--df", "1,,3"}).find("--df"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--wifi-address", "127.0.0.256"}).find("--wifi-address"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--wifi-address", "localhost"}).find("--wifi-address"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--model", "a;b"}).find("--model"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--link", "usb4"}).find("--link"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--frobnicate"}).find("--frobnicate"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port"}).find("wants a value"), std::string::npos);
    EXPECT_NE(parseError({"--folder", "f", "--port", "0", "--readonly", ""}).find("--readonly"), std::string::npos);
}

TEST(PhoneSimOptions, KnowsADottedAddress) {
    EXPECT_TRUE(isDottedIPv4("127.0.0.2"));
    EXPECT_TRUE(isDottedIPv4("255.255.255.255"));
    EXPECT_FALSE(isDottedIPv4("127.0.0"));
    EXPECT_FALSE(isDottedIPv4("127.0.0.2.1"));
    EXPECT_FALSE(isDottedIPv4("127..0.2"));
    EXPECT_FALSE(isDottedIPv4("1270.0.0.2"));
    EXPECT_FALSE(isDottedIPv4(""));
}

// ------------------------------------------------------ the word splitter

TEST(PhoneSimWords, SplitsAtBlanksAndKeepsQuotedTextWhole) {
    EXPECT_EQ(split("mkdir -p /sdcard/a"), (Words{"mkdir", "-p", "/sdcard/a"}));
    EXPECT_EQ(split("  touch\t'/sdcard/a b'  "), (Words{"touch", "/sdcard/a b"}));
    EXPECT_EQ(split("mv '/sdcard/it'\\''s' /sdcard/x"), (Words{"mv", "/sdcard/it's", "/sdcard/x"}));
    EXPECT_EQ(split("touch ''"), (Words{"touch", ""}));
    EXPECT_EQ(split("touch a''b'c'd"), (Words{"touch", "abcd"}));
    EXPECT_EQ(split("touch 'ä ö ü — 日本'"), (Words{"touch", "ä ö ü — 日本"}));
    EXPECT_EQ(split("touch '$HOME;|&<>`()*?'"), (Words{"touch", "$HOME;|&<>`()*?"}));
    EXPECT_EQ(split("touch 'a\\b'"), (Words{"touch", "a\\b"}));
    EXPECT_EQ(split("touch '\nx'"), (Words{"touch", "\nx"}));
    EXPECT_EQ(split(""), Words{});
    EXPECT_EQ(split("   "), Words{});
}

TEST(PhoneSimWords, FollowsDoubleQuoteAndBackslashRules) {
    EXPECT_EQ(split("touch \"a b\""), (Words{"touch", "a b"}));
    EXPECT_EQ(split("touch \"it's\""), (Words{"touch", "it's"}));
    EXPECT_EQ(split("touch \"a\\\"b\\\\c\\$d\\`e\""), (Words{"touch", "a\"b\\c$d`e"}));
    EXPECT_EQ(split("touch \"a\\nb\""), (Words{"touch", "a\\nb"}));
    EXPECT_EQ(split("touch a\\ b"), (Words{"touch", "a b"}));
    EXPECT_EQ(split("touch a\\'b"), (Words{"touch", "a'b"}));
    EXPECT_EQ(split("touch a\\\nb"), (Words{"touch", "ab"}));
    EXPECT_EQ(split("touch a#b #comment"), (Words{"touch", "a#b"}));
    EXPECT_EQ(split("touch '#x'"), (Words{"touch", "#x"}));
}

TEST(PhoneSimWords, RefusesWhatOnlyARealShellCouldDo) {
    EXPECT_NE(splitError("touch 'a"), "");
    EXPECT_NE(splitError("touch \"a"), "");
    EXPECT_NE(splitError("touch $HOME"), "");
    EXPECT_NE(splitError("touch \"$HOME\""), "");
    EXPECT_NE(splitError("touch `id`"), "");
    EXPECT_NE(splitError("ls | wc"), "");
    EXPECT_NE(splitError("touch a > b"), "");
    EXPECT_NE(splitError("touch a < b"), "");
    EXPECT_NE(splitError("touch a &"), "");
    EXPECT_NE(splitError("(touch a)"), "");
    EXPECT_NE(splitError("touch a; touch b"), ""); // one command expected
}

TEST(PhoneSimWords, JoinsCommandsWithSemicolonsAndAndOr) {
    const CommandLine line = parseCommandLine("mkdir -p a && touch 'a/b;c' || rm x; df -k\nip");
    ASSERT_TRUE(line.ok()) << line.error;
    ASSERT_EQ(line.commands.size(), 5u);
    EXPECT_EQ(line.commands[0].joiner, "");
    EXPECT_EQ(line.commands[1].joiner, "&&");
    EXPECT_EQ(line.commands[1].words, (Words{"touch", "a/b;c"}));
    EXPECT_EQ(line.commands[2].joiner, "||");
    EXPECT_EQ(line.commands[3].joiner, ";");
    EXPECT_EQ(line.commands[4].joiner, ";");
    EXPECT_TRUE(parseCommandLine("touch a;").ok());
    EXPECT_TRUE(parseCommandLine("touch a &&\n touch b").ok());
    EXPECT_FALSE(parseCommandLine("; touch a").ok());
    EXPECT_FALSE(parseCommandLine("touch a &&").ok());
    EXPECT_FALSE(parseCommandLine("touch a && && touch b").ok());
    EXPECT_FALSE(parseCommandLine("touch a ;; touch b").ok());
}

TEST(PhoneSimWords, QuoteWordRoundTrips) {
    for (const std::string word : {"", "plain", "a b", "it's", "''", "\\", "$x;`y`", "ü\n\t"})
        EXPECT_EQ(split("touch " + quoteWord(word)), (Words{"touch", word})) << word;
}

// ---------------------------------------------------------------- paths

TEST(PhoneSimPaths, NormalizesLexically) {
    EXPECT_EQ(normalizePhonePath("/sdcard/./a//b/"), "/sdcard/a/b");
    EXPECT_EQ(normalizePhonePath("/sdcard/a/../b"), "/sdcard/b");
    EXPECT_EQ(normalizePhonePath("/../../sdcard"), "/sdcard");
    EXPECT_EQ(normalizePhonePath("/sdcard/../.."), "/");
    EXPECT_EQ(normalizePhonePath("sdcard/x"), "/sdcard/x");
    EXPECT_EQ(normalizePhonePath(""), "/");
}

TEST(PhoneSimPaths, MapsTheStorageAndNothingElse) {
    auto storage = [](const std::string &path) {
        const PhonePath p = classifyPhonePath(path);
        return p.kind == PhonePath::Kind::Storage ? p.relative : std::string("<not storage>");
    };
    EXPECT_EQ(storage("/sdcard"), "");
    EXPECT_EQ(storage("/sdcard/"), "");
    EXPECT_EQ(storage("/sdcard/DCIM/a.jpg"), "DCIM/a.jpg");
    EXPECT_EQ(storage("/storage/emulated/0/DCIM"), "DCIM");
    EXPECT_EQ(storage("/storage/self/primary/x"), "x");
    EXPECT_EQ(storage("/sdcard/a/../b"), "b");
    EXPECT_EQ(storage("sdcard/x"), "x"); // relative to the shell's "/"
    EXPECT_EQ(storage("/sdcard/../sdcard/y"), "y");
    EXPECT_EQ(storage("/sdcard/.."), "<not storage>");
    EXPECT_EQ(storage("/sdcard/../../etc/passwd"), "<not storage>");
    EXPECT_EQ(storage("/sdcardx"), "<not storage>");
    EXPECT_EQ(storage("/storage/emulated/10"), "<not storage>");
    EXPECT_EQ(storage("/system"), "<not storage>");
    EXPECT_EQ(storage("x"), "<not storage>");
    EXPECT_EQ(classifyPhonePath("/").kind, PhonePath::Kind::Ancestor);
    EXPECT_EQ(classifyPhonePath("/storage/emulated").kind, PhonePath::Kind::Ancestor);
    EXPECT_EQ(classifyPhonePath("/data").kind, PhonePath::Kind::Outside);
    EXPECT_TRUE(classifyPhonePath("/sdcard").isLink);
    EXPECT_FALSE(classifyPhonePath("/sdcard/").isLink);
    EXPECT_FALSE(classifyPhonePath("/storage/emulated/0").isLink);
}

TEST(PhoneSimPaths, NormalizesReadOnlyFoldersWithinTheFolder) {
    EXPECT_EQ(normalizeRelative("Android/./data/x/"), "Android/data/x");
    EXPECT_EQ(normalizeRelative("a/../b"), "b");
    EXPECT_EQ(normalizeRelative("/a"), "a");
    EXPECT_EQ(normalizeRelative("../a"), std::nullopt);
    EXPECT_EQ(normalizeRelative("a/../../b"), std::nullopt);
}

TEST(PhoneSimPaths, KnowsWhatIsReadOnly) {
    const Sandbox sandbox("/nonexistent", {"Android/data/other", "ro"});
    EXPECT_TRUE(sandbox.isReadOnly("ro"));
    EXPECT_TRUE(sandbox.isReadOnly("ro/x/y"));
    EXPECT_TRUE(sandbox.isReadOnly("Android/data/other/file"));
    EXPECT_FALSE(sandbox.isReadOnly("rox"));
    EXPECT_FALSE(sandbox.isReadOnly("Android/data"));
    EXPECT_FALSE(sandbox.isReadOnly(""));
    EXPECT_TRUE(sandbox.holdsReadOnly(""));
    EXPECT_TRUE(sandbox.holdsReadOnly("Android"));
    EXPECT_TRUE(sandbox.holdsReadOnly("Android/data"));
    EXPECT_TRUE(sandbox.holdsReadOnly("ro"));
    EXPECT_FALSE(sandbox.holdsReadOnly("Android/media"));
    EXPECT_FALSE(sandbox.holdsReadOnly("r"));
}

TEST(PhoneSimPaths, LinksLeadingOutOfTheFolderDoNotStayInside) {
    TempFolder outer;
    const QString root = outer.file("served");
    QDir().mkpath(root + "/real/sub");
    QDir().mkpath(outer.file("away"));
    ASSERT_EQ(::symlink(outer.file("away").toLocal8Bit().constData(), (root + "/out").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink("real", (root + "/in").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink("/nonexistent/dangling", (root + "/dangling").toLocal8Bit().constData()), 0);
    const Sandbox sandbox(root.toStdString(), {});
    EXPECT_TRUE(sandbox.staysInside("", true));
    EXPECT_TRUE(sandbox.staysInside("real/sub/new/deeper", false));
    EXPECT_TRUE(sandbox.staysInside("in/sub", true));
    EXPECT_TRUE(sandbox.staysInside("out", false)); // the link itself is in the folder
    EXPECT_FALSE(sandbox.staysInside("out", true));
    EXPECT_FALSE(sandbox.staysInside("out/x", false));
    EXPECT_FALSE(sandbox.staysInside("out/x/y", true));
    EXPECT_FALSE(sandbox.staysInside("dangling", true));
}

// -------------------------------------------------------- shell commands

namespace {

struct ShellFixture : ::testing::Test {
    ShellFixture() : sandbox(folder.path().toStdString(), {"ro"}) {
        QDir().mkpath(folder.file("ro/inside"));
        environment.sandbox = &sandbox;
    }
    std::string run(const std::string &command) { return runShellCommand(command, environment); }
    bool exists(const QString &relative) const { return QFileInfo::exists(folder.file(relative)); }
    bool isDir(const QString &relative) const { return QFileInfo(folder.file(relative)).isDir(); }
    void make(const QString &relative, const QByteArray &bytes = "x") {
        QDir().mkpath(QFileInfo(folder.file(relative)).absolutePath());
        QFile file(folder.file(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    TempFolder folder;
    Sandbox sandbox;
    ShellEnvironment environment;
};

} // namespace

TEST_F(ShellFixture, MkdirMakesFoldersWithTheirParents) {
    EXPECT_EQ(run("mkdir -p '/sdcard/a b/c' /storage/emulated/0/d \"/sdcard/it's ü\""), "");
    EXPECT_TRUE(isDir("a b/c"));
    EXPECT_TRUE(isDir("d"));
    EXPECT_TRUE(isDir("it's ü"));
    EXPECT_EQ(run("mkdir -p /sdcard/a\\ b /sdcard"), ""); // existing: fine with -p
    EXPECT_EQ(run("mkdir /sdcard/d"), "mkdir: '/sdcard/d': File exists\n");
    EXPECT_EQ(run("mkdir /sdcard/x/y"), "mkdir: '/sdcard/x/y': No such file or directory\n");
    make("file");
    EXPECT_EQ(run("mkdir -p /sdcard/file/sub"), "mkdir: '/sdcard/file/sub': Not a directory\n");
    EXPECT_EQ(run("mkdir -p /sdcard/file"), "mkdir: '/sdcard/file': File exists\n");
    EXPECT_EQ(run("mkdir -p /system/x"), "mkdir: '/system/x': Read-only file system\n");
    EXPECT_EQ(run("mkdir -p /data/x"), "mkdir: '/data/x': Permission denied\n");
    EXPECT_EQ(run("mkdir -p /sdcard/../x"), "mkdir: '/sdcard/../x': Read-only file system\n");
    EXPECT_EQ(run("mkdir -q /sdcard/q"), "mkdir: Unknown option 'q'\n");
}

TEST_F(ShellFixture, TouchMakesEmptyFilesAndRenewsTimes) {
    EXPECT_EQ(run("touch /sdcard/new.txt '/sdcard/with blank'"), "");
    EXPECT_TRUE(exists("new.txt"));
    EXPECT_EQ(QFileInfo(folder.file("new.txt")).size(), 0);
    make("old.txt", "keep");
    const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, folder.file("old.txt").toLocal8Bit().constData(), past, 0);
    EXPECT_EQ(run("touch /sdcard/old.txt"), "");
    EXPECT_GT(QFileInfo(folder.file("old.txt")).lastModified().toSecsSinceEpoch(), 1000000000);
    EXPECT_EQ(QFileInfo(folder.file("old.txt")).size(), 4);
    EXPECT_EQ(run("touch /sdcard/none/x"), "touch: '/sdcard/none/x': No such file or directory\n");
    EXPECT_EQ(run("touch -c /sdcard/notmade"), "");
    EXPECT_FALSE(exists("notmade"));
    EXPECT_EQ(run("touch /system/x"), "touch: '/system/x': Read-only file system\n");
}

TEST_F(ShellFixture, MvRenamesAndMovesIntoAnExistingFolder) {
    make("a.txt", "A");
    EXPECT_EQ(run("mv /sdcard/a.txt '/sdcard/b c.txt'"), "");
    EXPECT_FALSE(exists("a.txt"));
    EXPECT_TRUE(exists("b c.txt"));
    QDir().mkpath(folder.file("dir"));
    EXPECT_EQ(run("mv '/sdcard/b c.txt' /sdcard/dir"), "");
    EXPECT_TRUE(exists("dir/b c.txt"));
    make("tree/x/y.txt");
    EXPECT_EQ(run("mv /sdcard/tree /sdcard/dir/"), "");
    EXPECT_TRUE(exists("dir/tree/x/y.txt"));
    make("over.txt", "new");
    make("target.txt", "old");
    EXPECT_EQ(run("mv /sdcard/over.txt /sdcard/target.txt"), "");
    EXPECT_EQ(QFileInfo(folder.file("target.txt")).size(), 3);
    make("one");
    make("two");
    EXPECT_EQ(run("mv /sdcard/one /sdcard/two /sdcard/dir"), "");
    EXPECT_TRUE(exists("dir/one"));
    EXPECT_TRUE(exists("dir/two"));
    EXPECT_EQ(run("mv /sdcard/missing /sdcard/x"), "mv: '/sdcard/missing': No such file or directory\n");
    EXPECT_EQ(run("mv /sdcard/target.txt /system/x"), "mv: '/sdcard/target.txt': Read-only file system\n");
    EXPECT_EQ(run("mv /system/x /sdcard/y"), "mv: '/system/x': Read-only file system\n");
    EXPECT_EQ(run("mv /sdcard/x"), "mv: Needs 2 arguments\n");
    EXPECT_TRUE(exists("target.txt"));
}

TEST_F(ShellFixture, RmRemovesTreesAndMissingThingsQuietly) {
    make("t/a/b.txt");
    make("t/c.txt");
    make("f.txt");
    EXPECT_EQ(run("rm -rf /sdcard/t /sdcard/f.txt /sdcard/never"), "");
    EXPECT_FALSE(exists("t"));
    EXPECT_FALSE(exists("f.txt"));
    make("d/x");
    EXPECT_EQ(run("rm /sdcard/d"), "rm: /sdcard/d: Is a directory\n");
    EXPECT_EQ(run("rm /sdcard/never"), "rm: /sdcard/never: No such file or directory\n");
    EXPECT_EQ(run("rm -r -f /sdcard/d"), "");
    EXPECT_FALSE(exists("d"));
    EXPECT_EQ(run("rm -rf /system"), "rm: /system: Read-only file system\n");
    EXPECT_EQ(run("rm -rf /sdcard"), "rm: /sdcard: Read-only file system\n");
    EXPECT_EQ(run("rm -rf /sdcard/.."), "rm: /sdcard/..: Permission denied\n");
    EXPECT_TRUE(QFileInfo(folder.path()).isDir());
}

TEST_F(ShellFixture, ReadOnlyFoldersRefuseEveryChange) {
    make("ro/inside/keep.txt");
    make("mine.txt");
    EXPECT_EQ(run("mkdir -p /sdcard/ro/new"), "mkdir: '/sdcard/ro/new': Permission denied\n");
    EXPECT_EQ(run("mkdir -p /sdcard/ro/inside"), ""); // already there: nothing to do
    EXPECT_EQ(run("touch /sdcard/ro/t"), "touch: '/sdcard/ro/t': Permission denied\n");
    EXPECT_EQ(run("touch /sdcard/ro/inside/keep.txt"), "touch: '/sdcard/ro/inside/keep.txt': Permission denied\n");
    EXPECT_EQ(run("mv /sdcard/mine.txt /sdcard/ro"), "mv: '/sdcard/mine.txt': Permission denied\n");
    EXPECT_EQ(run("mv /sdcard/ro/inside/keep.txt /sdcard/x"), "mv: '/sdcard/ro/inside/keep.txt': Permission denied\n");
    EXPECT_EQ(run("mv /sdcard/ro /sdcard/elsewhere"), "mv: '/sdcard/ro': Permission denied\n");
    EXPECT_EQ(run("rm -rf /sdcard/ro/inside"), "rm: /sdcard/ro/inside: Permission denied\n");
    EXPECT_EQ(run("rm -rf /sdcard/ro"), "rm: /sdcard/ro: Permission denied\n");
    EXPECT_TRUE(exists("ro/inside/keep.txt"));
    EXPECT_TRUE(exists("mine.txt"));
    EXPECT_FALSE(exists("ro/new"));
    EXPECT_FALSE(exists("ro/t"));
    EXPECT_FALSE(exists("ro/mine.txt"));
}

TEST_F(ShellFixture, RmAroundAReadOnlyFolderTakesWhatItMay) {
    const Sandbox nested(folder.path().toStdString(), {"Android/data/other"});
    environment.sandbox = &nested;
    make("Android/data/other/keep");
    make("Android/data/mine/gone");
    make("Android/media/gone");
    EXPECT_EQ(run("rm -rf /sdcard/Android"), "rm: /sdcard/Android/data/other: Permission denied\n"
                                             "rm: /sdcard/Android/data: Directory not empty\n"
                                             "rm: /sdcard/Android: Directory not empty\n");
    EXPECT_TRUE(exists("Android/data/other/keep"));
    EXPECT_FALSE(exists("Android/data/mine"));
    EXPECT_FALSE(exists("Android/media"));
    EXPECT_EQ(run("mv /sdcard/Android /sdcard/A2"), "mv: '/sdcard/Android': Permission denied\n");
}

TEST_F(ShellFixture, DfReportsTheFiguresLikeToybox) {
    EXPECT_EQ(run("df -k /sdcard"), "Filesystem     1K-blocks    Used Available Use% Mounted on\n"
                                    "/dev/fuse      115249236 9871244 105377992   9% /storage/emulated\n");
    environment.df = {"1000", "250", "750"};
    EXPECT_EQ(run("df -k /storage/emulated/0"), "Filesystem     1K-blocks    Used Available Use% Mounted on\n"
                                                "/dev/fuse           1000     250       750  25% /storage/emulated\n");
    environment.df = {"123456789012345678901234", "123456789012", "1"};
    EXPECT_EQ(run("df -k /sdcard"), "Filesystem                    1K-blocks         Used Available Use% Mounted on\n"
                                    "/dev/fuse      123456789012345678901234 123456789012         1 100% /storage/emulated\n");
    EXPECT_EQ(run("df -x /sdcard"), "df: Unknown option 'x'\n");
}

TEST_F(ShellFixture, IpShowsTheWifiAddressOrSaysThereIsNone) {
    EXPECT_EQ(run("ip -f inet addr show wlan0"), "Device \"wlan0\" does not exist.\n");
    environment.wifiAddress = "127.0.0.2";
    const std::string out = run("ip -f inet addr show wlan0");
    EXPECT_NE(out.find("\n    inet 127.0.0.2/24 brd 127.0.0.255 scope global wlan0\n"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("30: wlan0: <", 0), 0u) << out;
    EXPECT_EQ(run("ip -f inet addr show eth0"), "Device \"eth0\" does not exist.\n");
}

TEST_F(ShellFixture, AnythingElseGetsThePhonesShellError) {
    EXPECT_EQ(run("ls /sdcard"), "/system/bin/sh: ls: inaccessible or not found\n");
    EXPECT_EQ(run("cat '/sdcard/a b'"), "/system/bin/sh: cat: inaccessible or not found\n");
    EXPECT_EQ(run("touch 'unclosed"), "/system/bin/sh: syntax error: unterminated quoted string\n");
    EXPECT_EQ(run("ls | wc"), "/system/bin/sh: syntax error: '|' is not supported\n");
    EXPECT_EQ(run(""), "");
}

TEST_F(ShellFixture, RunsJoinedCommandsByTheirStatus) {
    EXPECT_EQ(run("mkdir -p /sdcard/j && touch /sdcard/j/k; false && touch /sdcard/no || touch /sdcard/yes"), "");
    EXPECT_TRUE(exists("j/k"));
    EXPECT_FALSE(exists("no"));
    EXPECT_TRUE(exists("yes"));
    EXPECT_EQ(run("rm /sdcard/nothing && touch /sdcard/after"), "rm: /sdcard/nothing: No such file or directory\n");
    EXPECT_FALSE(exists("after"));
}
