// The extension's changes against a scripted phone: the exact commands, their
// order, what is read back and what a change that did not happen reports.
#include "extension/adbclient/adb_client_error.h"
#include "extension/provider/change_failure.h"
#include "extension/provider/item_changes.h"
#include "extension/provider/shell_commands.h"
#include "tests/support/temp_folder.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace fileprovider;

namespace {

// Answers as scripted and writes down every call, in order.
class ScriptedPhone : public PhoneAccess {
public:
    QString shell(const QString &command) const override {
        calls.append(shown("shell " + command));
        if (answersLost > 0) {
            // The phone did it; its answer was lost on the way.
            --answersLost;
            if (command.startsWith("mv ")) moved(command);
            throw AdbClientError::connectionFailed();
        }
        return printed.value(command.section(' ', 0, 0));
    }
    std::optional<AdbEntry> stat(const QString &path) const override {
        calls.append(shown("stat " + path));
        if (!entries.contains(path)) return std::nullopt;
        return entries.value(path);
    }
    AdbClient::Sent push(const ContentsFile &source, const QString &path, quint32 mode, const AdbClient::ModifiedAtEnd &,
                         const AdbClient::StreamEnd &) const override {
        calls.append(shown(QString("push %1 -> %2 mode %3").arg(source.name(), path).arg(mode)));
        if (pushFails) throw AdbClientError::connectionFailed();
        return {pushedSize, 1700000200};
    }

    // What STAT finds, by path; nothing where none is given.
    mutable QHash<QString, AdbEntry> entries;
    // What a command prints, by its first word.
    QHash<QString, QString> printed;
    qint64 pushedSize = 5;
    bool pushFails = false;
    mutable int answersLost = 0;
    mutable QStringList calls;

private:
    void moved(const QString &command) const {
        static const QRegularExpression paths("^mv '([^']*)' '([^']*)'$");
        const auto match = paths.match(command);
        entries.remove(match.captured(1));
        entries.insert(match.captured(2), AdbEntry{"", false, pushedSize, 1700000100});
    }

    // Temporary names are random; the calls show them as XXXXXX.
    static QString shown(QString call) { return call.replace(QRegularExpression("dorvane-\\w{6}"), "dorvane-XXXXXX"); }
};

// The file at `path` as new contents; a path that is not there gives
// contents that cannot be read.
ContentsFile contentsAt(const QString &path) {
    return ContentsFile(posix::FileDescriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)), path);
}

AdbEntry folderEntry() { return AdbEntry{"", true, 4096, 1700000000}; }
AdbEntry fileEntry(qint64 size) { return AdbEntry{"", false, size, 1700000100}; }

// The failure a call threw, or none.
template <typename Call>
std::optional<ProviderError> failureOf(Call call) {
    try {
        call();
    } catch (const ChangeFailure &failure) {
        return failure.error();
    }
    return std::nullopt;
}

TEST(ShellCommandsTest, PathsAreOneSingleQuotedWordWhateverTheyHold) {
    EXPECT_EQ(quoteForShell("/sdcard/Bob's notes.txt"), R"('/sdcard/Bob'\''s notes.txt')");
    EXPECT_EQ(quoteForShell("/sdcard/''"), R"('/sdcard/'\'''\''')");
    EXPECT_EQ(quoteForShell("/sdcard/two  blanks "), "'/sdcard/two  blanks '");
    EXPECT_EQ(quoteForShell("-rf"), "'-rf'");
    EXPECT_EQ(quoteForShell("/sdcard/line\nbreak $HOME `x` \\"), "'/sdcard/line\nbreak $HOME `x` \\'");
    EXPECT_EQ(quoteForShell(""), "''");

    EXPECT_EQ(makeFolderCommand("/sdcard/New folder"), "mkdir -p '/sdcard/New folder'");
    EXPECT_EQ(touchFileCommand("/sdcard/-a"), "touch '/sdcard/-a'");
    EXPECT_EQ(moveCommand("/sdcard/a.txt", "/sdcard/it's.txt"), R"(mv '/sdcard/a.txt' '/sdcard/it'\''s.txt')");
    EXPECT_EQ(deleteCommand("/sdcard/Old stuff"), "rm -rf '/sdcard/Old stuff'");
}

TEST(CreateOnPhoneTest, EachKindIsMadeItsOwnWayAndReadBack) {
    ScriptedPhone phone;
    UploadLeftovers leftovers;
    testsupport::TempFolder local;
    phone.entries["/sdcard/New folder"] = folderEntry();
    auto folder = createOnPhone(phone, "/sdcard/New folder", true, contentsAt("/tmp/ignored"), leftovers);
    EXPECT_EQ(phone.calls, QStringList({"shell mkdir -p '/sdcard/New folder'", "stat /sdcard/New folder"}));
    EXPECT_EQ(folder->devicePath(), "/sdcard/New folder");
    EXPECT_TRUE(folder->isDirectory());

    // A small file's upload tells size and time: no lookup after it.
    phone.calls.clear();
    testsupport::writePatternFile(local.file("small"), 5);
    auto uploaded = createOnPhone(phone, "/sdcard/a.bin", false, contentsAt(local.file("small")), leftovers);
    EXPECT_EQ(phone.calls, QStringList({"push " + local.file("small") + " -> /sdcard/a.bin mode 33188"}));
    EXPECT_EQ(uploaded->size(), 5);
    EXPECT_EQ(uploaded->modified(), 1700000200);

    // A large one, or a stream, is whole on the phone before it has its name.
    testsupport::writePatternFile(local.file("large"), 1 << 20);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const posix::FileDescriptor writeEnd(pipeEnds[1]);
    for (const ContentsFile &source : {contentsAt(local.file("large")), ContentsFile(posix::FileDescriptor(pipeEnds[0]), "pipe")}) {
        phone.calls.clear();
        phone.entries["/sdcard/b.bin"] = fileEntry(5);
        EXPECT_EQ(createOnPhone(phone, "/sdcard/b.bin", false, source, leftovers)->devicePath(), "/sdcard/b.bin");
        EXPECT_EQ(phone.calls.first(), "push " + source.name() + " -> /sdcard/.b.bin.dorvane-XXXXXX mode 33188");
        EXPECT_EQ(phone.calls.at(1), "shell mv '/sdcard/.b.bin.dorvane-XXXXXX' '/sdcard/b.bin'");
    }

    phone.calls.clear();
    phone.entries["/sdcard/empty"] = fileEntry(0);
    auto touched = createOnPhone(phone, "/sdcard/empty", false, std::nullopt, leftovers);
    EXPECT_EQ(phone.calls, QStringList({"shell touch '/sdcard/empty'", "stat /sdcard/empty"}));
    EXPECT_FALSE(touched->isDirectory());
}

TEST(CreateOnPhoneTest, ACommandThatMadeNothingFailsWithThePhonesWords) {
    ScriptedPhone phone;
    UploadLeftovers leftovers;
    phone.printed["mkdir"] = "mkdir: '/sdcard/Android/data/x': Permission denied\n";
    const auto folder = failureOf([&] { createOnPhone(phone, "/sdcard/Android/data/x", true, std::nullopt, leftovers); });
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->underlyingPosixCode, EACCES);
    EXPECT_TRUE(folder->description.contains("Permission denied")) << qPrintable(folder->description);

    // A file where the folder was wanted is no folder either.
    phone.entries["/sdcard/file"] = fileEntry(3);
    EXPECT_TRUE(failureOf([&] { createOnPhone(phone, "/sdcard/file", true, std::nullopt, leftovers); }));

    const auto touched = failureOf([&] { createOnPhone(phone, "/sdcard/nothing", false, std::nullopt, leftovers); });
    ASSERT_TRUE(touched);
    EXPECT_EQ(touched->underlyingPosixCode, EIO);
}

TEST(ChangeOnPhoneTest, ContentsReplaceTheFileFromAHiddenNameOnlyOnceWhole) {
    ScriptedPhone phone;
    UploadLeftovers leftovers;
    phone.entries["/sdcard/a.txt"] = fileEntry(5);
    auto item = changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", contentsAt("/tmp/new"), std::nullopt}, leftovers);
    EXPECT_EQ(phone.calls, QStringList({"push /tmp/new -> /sdcard/.a.txt.dorvane-XXXXXX mode 33188",
                                        "shell mv '/sdcard/.a.txt.dorvane-XXXXXX' '/sdcard/a.txt'",
                                        "stat /sdcard/.a.txt.dorvane-XXXXXX", "stat /sdcard/a.txt"}));
    EXPECT_EQ(item->size(), 5);
    // The file the phone shows is not what was sent: the move did not happen.
    phone.pushedSize = 6;
    EXPECT_TRUE(failureOf([&] { changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", contentsAt("/tmp/new"), std::nullopt}, leftovers); }));

    // A move whose answer was lost is looked up again: it happened.
    phone.pushedSize = 5;
    phone.answersLost = 1;
    EXPECT_EQ(changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", contentsAt("/tmp/new"), std::nullopt}, leftovers)->size(), 5);

    // A cut upload never moves anything; its temporary file is removed.
    phone.calls.clear();
    phone.pushFails = true;
    EXPECT_THROW(changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", contentsAt("/tmp/new"), std::nullopt}, leftovers), AdbClientError);
    EXPECT_EQ(phone.calls, QStringList({"push /tmp/new -> /sdcard/.a.txt.dorvane-XXXXXX mode 33188",
                                        "shell rm -f '/sdcard/.a.txt.dorvane-XXXXXX'", "stat /sdcard/.a.txt.dorvane-XXXXXX"}));
}

TEST(ChangeOnPhoneTest, AMoveThePhoneDidNotMakeFails) {
    ScriptedPhone phone;
    UploadLeftovers leftovers;
    phone.printed["mv"] = "mv: '/sdcard/a.txt': Permission denied\n";
    const auto nowhere = failureOf([&] { changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", std::nullopt, QString("/sdcard/R/a.txt")}, leftovers); });
    ASSERT_TRUE(nowhere);
    EXPECT_EQ(nowhere->underlyingPosixCode, EACCES);

    // The target was there before; the source still being there gives it away.
    phone.entries["/sdcard/a.txt"] = fileEntry(1);
    phone.entries["/sdcard/b.txt"] = fileEntry(2);
    EXPECT_TRUE(failureOf([&] { changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", std::nullopt, QString("/sdcard/b.txt")}, leftovers); }));

    // One whose answer was lost is looked up again: it happened.
    phone.answersLost = 1;
    EXPECT_FALSE(failureOf([&] { changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", std::nullopt, QString("/sdcard/c.txt")}, leftovers); }));
    EXPECT_TRUE(phone.entries.contains("/sdcard/c.txt"));

    // Storage that ignores case finds the old spelling too.
    phone.entries["/sdcard/A.TXT"] = fileEntry(1);
    EXPECT_FALSE(failureOf([&] { changeOnPhone(phone, PlannedChange{"/sdcard/a.txt", std::nullopt, QString("/sdcard/A.TXT")}, leftovers); }));
}

TEST(DeleteOnPhoneTest, EverythingBelowTheStorageGoesAndWhatStaysIsAFailure) {
    ScriptedPhone phone;
    deleteOnPhone(phone, "/sdcard/Old stuff");
    EXPECT_EQ(phone.calls, QStringList({"shell rm -rf '/sdcard/Old stuff'", "stat /sdcard/Old stuff"}));

    phone.entries["/sdcard/Android/data"] = folderEntry();
    phone.printed["rm"] = "rm: /sdcard/Android/data: Permission denied\n";
    const auto stayed = failureOf([&] { deleteOnPhone(phone, "/sdcard/Android/data"); });
    ASSERT_TRUE(stayed);
    EXPECT_EQ(stayed->underlyingPosixCode, EACCES);
}

TEST(DeleteOnPhoneTest, TheStorageFolderAndAnythingOutsideItAreNeverDeleted) {
    for (const QString path : {"/sdcard", "/sdcard/", "/sdcard/.", "/sdcard//", "/sdcard/..", "/sdcard/a/../..", "/", "", "RootContainer",
                               "/sdcardX", "/storage/emulated/0"}) {
        SCOPED_TRACE(qPrintable(path));
        ScriptedPhone phone;
        const auto refused = failureOf([&] { deleteOnPhone(phone, path); });
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->is(FileProviderErrorCode::deletionRejected));
        EXPECT_TRUE(phone.calls.isEmpty()) << qPrintable(phone.calls.join("; "));
    }
    ScriptedPhone phone;
    EXPECT_TRUE(failureOf([&] { deleteOnPhone(phone, "/sdcard"); })->description.contains("storage folder"));
}

} // namespace
