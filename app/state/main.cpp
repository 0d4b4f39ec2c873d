#include "app/state/app_view_model.h"
#include "app/state/desktop_session.h"
#include "app/state/dorvane_app.h"
#include "app/state/phone_report.h"
#include "app/state/termination_signals.h"
#include "platform/workspace/file_manager_name.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStyleFactory>
#include <QTimer>
#include <QCoro/QCoroTask>

#include <cstdio>
#include <memory>

namespace {

// One full scan, as the window's device screen starts with, printed.
QCoro::Task<int> printPhones(AppViewModel &model) {
    co_await model.refresh();
    if (model.errorMessage()) {
        std::fprintf(stderr, "%s\n", model.errorMessage()->toLocal8Bit().constData());
        co_return 1;
    }
    std::fputs(formatPhoneReport(model.devices(), model.storageBySerial()).toLocal8Bit().constData(), stdout);
    co_return 0;
}

int listPhones(QCoreApplication &app) {
    AppViewModel model;
    QTimer::singleShot(0, &app, [&model] {
        printPhones(model).then([](int status) { QCoreApplication::exit(status); });
    });
    return app.exec();
}

} // namespace

int main(int argc, char **argv) {
    // The window needs a display; --help, --version and --list do not.
    const bool desktop = hasDesktopSession();
    std::unique_ptr<QCoreApplication> app;
    if (desktop)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DORVANE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("dorvane"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Dorvane shows the shared storage (/sdcard) of Android phones in the file manager.\n"
        "It lists the phones that adb sees, one card each; Mount on a card puts the phone's\n"
        "storage in a folder under ~/Phones (or $DORVANE_MOUNT_ROOT), where it can be browsed,\n"
        "copied to and from, renamed and deleted. Several phones can be mounted at once.\n"
        "Without options it opens its window and puts its icon in the system tray."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print the phones adb sees (serial, state, model, free space) and exit."));
    parser.addOption(list);
    parser.process(*app);

    const TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, app.get(), [] { QCoreApplication::quit(); });

    if (parser.isSet(list))
        return listPhones(*app);
    if (!desktop) {
        std::fputs(noDesktopSessionText().toLocal8Bit().constData(), stderr);
        return 1;
    }

    // Asks the desktop for its file manager's name while the window is made.
    startResolvingFileManagerName();
    DorvaneApp dorvane(applicationResourceDirectory());
    // One style on every desktop, so the dark palette reads the same everywhere.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    dorvane.start();
    return app->exec();
}
