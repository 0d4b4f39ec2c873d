#include "platform/workspace/file_manager_name.h"

#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// As GNOME 43 and KDE Plasma 5 ship them, cut short; translations before
// the plain Name, a Name in an action group after it.
const QByteArray nautilusEntry = "[Desktop Entry]\n"
                                 "Name[de]=Dateien\n"
                                 "Name[fr]=Fichiers\n"
                                 "Name=Files\n"
                                 "Comment=Access and organize files\n"
                                 "Exec=nautilus --new-window %U\n"
                                 "Actions=new-window;\n\n"
                                 "[Desktop Action new-window]\n"
                                 "Name=New Window\n";
const QByteArray dolphinEntry = "# KDE Config File\n"
                                "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Exec=dolphin %u\n"
                                "Name = Dolphin\\sFile\\sManager\n"
                                "Name[ar]=\xd8\xaf\xd9\x88\xd9\x84\xd9\x81\xd9\x8a\xd9\x86\n"
                                "GenericName=File Manager\n";
const QByteArray actionOnlyEntry = "[Desktop Action window]\nName=New Window\n[Desktop Entry]\nExec=x\n";

void write(const QString &path, const QByteArray &contents, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner);
}

TEST(FileManagerName, TheDesktopEntryOfTheDefaultFolderApplicationNamesIt) {
    EXPECT_EQ(desktopEntryName(nautilusEntry), "Files");
    EXPECT_EQ(desktopEntryName(dolphinEntry), "Dolphin File Manager");
    EXPECT_EQ(desktopEntryName(actionOnlyEntry), "");
    EXPECT_EQ(desktopEntryName(""), "");

    // A stand-in xdg-mime answers with a desktop file id; entries live in
    // the XDG data folders, the user's before the system's.
    testsupport::TempFolder root;
    const domaintest::ScopedVariable path("PATH", root.file("bin"));
    const domaintest::ScopedVariable home("XDG_DATA_HOME", root.file("home"));
    const domaintest::ScopedVariable system("XDG_DATA_DIRS", root.file("none") + ":" + root.file("system"));
    write(root.file("system/applications/org.gnome.Nautilus.desktop"), nautilusEntry);
    write(root.file("system/applications/kde/dolphin.desktop"), dolphinEntry);
    write(root.file("system/applications/broken.desktop"), actionOnlyEntry);
    EXPECT_EQ(lookUpFileManagerName(), "the file manager") << "no xdg-mime at all";
    const struct {
        const char *answer;
        const char *name;
    } cases[] = {{"org.gnome.Nautilus.desktop", "Files"},
                 {"kde-dolphin.desktop", "Dolphin File Manager"},
                 {"broken.desktop", "the file manager"},
                 {"missing.desktop", "the file manager"},
                 {"", "the file manager"}};
    for (const auto &each : cases) {
        write(root.file("bin/xdg-mime"), QByteArray("#!/bin/sh\necho '") + each.answer + "'\n", true);
        EXPECT_EQ(lookUpFileManagerName(), each.name) << each.answer;
    }
    write(root.file("home/applications/org.gnome.Nautilus.desktop"), "[Desktop Entry]\nName=My Files\n");
    write(root.file("bin/xdg-mime"), "#!/bin/sh\necho org.gnome.Nautilus.desktop\n", true);
    EXPECT_EQ(lookUpFileManagerName(), "My Files");
}

} // namespace
