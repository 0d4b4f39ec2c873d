#include "tools/phone-sim/options.h"
#include "tools/phone-sim/phone.h"

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

int main(int argc, char **argv) {
    phonesim::Options options;
    try {
        options = phonesim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dorvane-phone-sim: %s\n%s", error.what(), phonesim::usageText().c_str());
        return 2;
    }

    // Only the main thread takes the stop signals, through sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        phonesim::Phone phone(options);
        phone.listen();
        std::string message;
        if (!phone.attach(&message)) {
            std::fprintf(stderr, "dorvane-phone-sim: could not attach %s: %s\n", phone.serial().c_str(), message.c_str());
            phone.stop();
            return 1;
        }
        std::printf("%s\n%s", phone.serial().c_str(), phone.wirelessAnnouncement().c_str());
        std::fflush(stdout);

        if (options.watchStdin) {
            // The parent holds the other end: when it goes, so does the phone.
            std::thread([] {
                char buffer[256];
                for (;;) {
                    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                    if (n == 0 || (n < 0 && errno != EINTR)) break;
                }
                ::kill(::getpid(), SIGTERM);
            }).detach();
        }

        int signal = 0;
        sigwait(&stopSignals, &signal);
        phone.detach();
        phone.stop();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dorvane-phone-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
