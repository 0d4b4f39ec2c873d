// Saves what an X display shows, for pictures of the real program running
// under a virtual X server: DISPLAY=:N dorvane_screen_grab OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png (grabs the whole screen of $DISPLAY)\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "no screen to grab\n");
        return 1;
    }
    // Window 0 is the root window: everything on the screen.
    const QPixmap picture = screen->grabWindow(0);
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    std::printf("%s (%dx%d)\n", argv[1], picture.width(), picture.height());
    return 0;
}
