// Renders the pages and controls to PNG files at one device pixel ratio.
#include "app/ui/dm_sans.h"
#include "app/ui/screenshots/device_scenes.h"
#include "app/ui/screenshots/screenshot_scenes.h"
#include "platform/workspace/file_manager_name.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Options {
    QByteArray scale = "1";
    QString outputDir = QStringLiteral(DORVANE_SCREENSHOT_DIR);
    QString resourceDir = QStringLiteral(DORVANE_BUILD_RESOURCE_DIR);
    bool devices = false; // the device screen scenes, which mount with FUSE
};

bool parse(int argc, char **argv, Options &options) {
    for (int index = 1; index < argc; ++index) {
        const bool hasValue = index + 1 < argc;
        if (std::strcmp(argv[index], "--scale") == 0 && hasValue)
            options.scale = argv[++index];
        else if (std::strcmp(argv[index], "--out") == 0 && hasValue)
            options.outputDir = QString::fromLocal8Bit(argv[++index]);
        else if (std::strcmp(argv[index], "--resources") == 0 && hasValue)
            options.resourceDir = QString::fromLocal8Bit(argv[++index]);
        else if (std::strcmp(argv[index], "--devices") == 0)
            options.devices = true;
        else
            return false;
    }
    bool isNumber = false;
    const double scale = options.scale.toDouble(&isNumber);
    return isNumber && scale > 0 && scale <= 4;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--scale 1|2] [--out DIR] [--resources DIR] [--devices]\n", argv[0]);
        return 2;
    }
    // The pixel ratio comes from the screen, as on a high-DPI display.
    qputenv("QT_SCALE_FACTOR", options.scale);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The pictures show the words of GNOME, Debian's default desktop.
    useFileManagerName(QStringLiteral("Files"));

    const QStringList failed = registerDmSansFonts(options.resourceDir);
    if (!failed.isEmpty()) {
        std::fprintf(stderr, "cannot load the fonts: %s\n", failed.join(QStringLiteral(", ")).toLocal8Bit().constData());
        return 1;
    }

    const QString folder = QDir(options.outputDir).filePath(QString::fromLatin1(options.scale) + QStringLiteral("x"));
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", folder.toLocal8Bit().constData());
        return 1;
    }

    int written = 0;
    QList<Scene> scenes = pageScenes() + controlScenes();
    if (options.devices)
        scenes += deviceScenes();
    // Whatever the scenes mounted goes again, also when a picture fails.
    struct MountCleanup {
        bool active;
        ~MountCleanup() {
            if (active)
                finishDeviceScenes();
        }
    } cleanup{options.devices};
    for (const Scene &scene : scenes) {
        std::unique_ptr<QWidget> widget = scene.make();
        widget->show();
        QApplication::processEvents();
        if (scene.prepare)
            scene.prepare(*widget);
        QApplication::processEvents();
        const QString path = QDir(folder).filePath(scene.fileName);
        const QPixmap picture = widget->grab();
        if (!picture.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
        std::printf("%s (%dx%d)\n", path.toLocal8Bit().constData(), picture.width(), picture.height());
        ++written;
    }
    std::printf("%d pictures at scale %s\n", written, options.scale.constData());
    return 0;
}
