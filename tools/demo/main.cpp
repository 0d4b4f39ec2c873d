// Makes the demo phone's storage: dorvane-demo-folder DIR
#include "tools/demo/sample_folder.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv) {
    // It draws into images and a PDF only, so it never needs a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() != 1 || arguments[0].startsWith(QLatin1Char('-'))) {
        std::fputs("usage: dorvane-demo-folder DIR\n"
                   "Makes the demo phone's storage in DIR: DCIM/Camera with photos, Download with a PDF and a\n"
                   "text file, Music, Documents. Files already there are left as they are.\n",
                   stderr);
        return 2;
    }
    // The guide's PDF is set in the app's own font when the build has it.
    const QDir fonts(QStringLiteral(DORVANE_RESOURCE_DIR "/Fonts"));
    for (const QString &face : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(fonts.filePath(face));

    try {
        const QString root = QDir(arguments[0]).absolutePath();
        const SampleFolderResult result = makeSampleFolder(root, demoPhonePlan());
        std::printf("%s: %lld sample files made, %lld already there\n", qPrintable(QDir::toNativeSeparators(root)),
                    qlonglong(result.written.size()), qlonglong(result.kept.size()));
    } catch (const SampleFolderError &error) {
        std::fprintf(stderr, "dorvane-demo-folder: %s\n", error.what());
        return 1;
    }
    return 0;
}
