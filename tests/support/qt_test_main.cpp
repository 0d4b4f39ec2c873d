#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

// Tests drive QProcess, timers, coroutines and widgets, which all need an
// application object; the offscreen platform needs no display.
int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // A peer that goes away mid-write must surface as an error, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
