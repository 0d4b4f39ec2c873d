#include "app/state/app_view_model.h"
#include "app/state/phone_report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <QCoro/QCoroTask>

#include <cstdio>

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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Dorvane shows the shared storage of Android phones in the file manager.\n"
                       "For now it lists the phones that `adb devices -l` reports (serial, state, model\n"
                       "and free space) and exits."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    AppViewModel model;
    QTimer::singleShot(0, &app, [&model] {
        printPhones(model).then([](int status) { QCoreApplication::exit(status); });
    });
    return app.exec();
}
