// Pulls and pushes one large file through this client and through the real
// adb tool, on one emulated phone behind the link DORVANE_BENCH_LINK names,
// and prints both throughputs and their ratio.
//
//   adbclient_bench [size in MiB, default 100] [rounds, default 5, or 1 behind a shaped link]
#include "bench/common/bench_tools.h"
#include "extension/adbclient/adb_client.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

using bench::secondsOf;
using testsupport::sha256OfFile;

namespace {

void runTool(const QStringList &arguments) {
    const auto result = testsupport::runAdb(arguments, std::chrono::minutes(10));
    if (result.exitCode != 0) throw std::runtime_error("adb " + arguments.join(' ').toStdString() + ": " +
                                                       result.output.toStdString());
}

void expectSame(const QString &path, const QString &expected) {
    if (sha256OfFile(path) != expected) throw std::runtime_error("corrupted transfer: " + path.toStdString());
}

struct Figures {
    std::vector<double> seconds;
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

void report(const char *direction, qint64 bytes, const Figures &client, const Figures &tool) {
    const double mib = double(bytes) / (1 << 20);
    std::printf("%-4s  client %8.1f MiB/s   adb %8.1f MiB/s   ratio %.2f  (median: %.1f vs %.1f MiB/s, ratio %.2f)\n",
                direction, mib / client.best(), mib / tool.best(), tool.best() / client.best(), mib / client.median(),
                mib / tool.median(), tool.median() / client.median());
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const qint64 bytes = mib << 20;
    try {
        const int rounds = bench::roundsOf(argc - 1, argv + 1, 5);
        testsupport::TempFolder phoneFolder, local;
        testsupport::PhoneSim phone(bench::phoneOptions(phoneFolder.path()));
        const QString serial = phone.serial();
        const AdbClient client(serial);

        const QString source = local.file("source.bin");
        const QString expected = testsupport::writePatternFile(source, bytes);
        testsupport::writePatternFile(phoneFolder.file("phone.bin"), bytes);

        Figures clientPush, toolPush, clientPull, toolPull;
        for (int round = 0; round < rounds; ++round) {
            // Alternate who goes first, so neither always meets a warm or a cold cache.
            const bool clientFirst = round % 2 == 0;
            // Every transfer starts without an old copy at its target, as the
            // file provider's downloads do, so no run pays for freeing another's pages.
            auto fresh = [](const QString &path) { QFile::remove(path); };
            auto pushClient = [&] {
                fresh(phoneFolder.file("by-client.bin"));
                clientPush.seconds.push_back(secondsOf([&] { client.push(source, "/sdcard/by-client.bin"); }));
                expectSame(phoneFolder.file("by-client.bin"), expected);
            };
            auto pushTool = [&] {
                fresh(phoneFolder.file("by-adb.bin"));
                toolPush.seconds.push_back(
                    secondsOf([&] { runTool({"-s", serial, "push", source, "/sdcard/by-adb.bin"}); }));
                expectSame(phoneFolder.file("by-adb.bin"), expected);
            };
            auto pullClient = [&] {
                fresh(local.file("pulled-by-client.bin"));
                clientPull.seconds.push_back(
                    secondsOf([&] { client.pull("/sdcard/phone.bin", local.file("pulled-by-client.bin")); }));
                expectSame(local.file("pulled-by-client.bin"), expected);
            };
            auto pullTool = [&] {
                fresh(local.file("pulled-by-adb.bin"));
                toolPull.seconds.push_back(secondsOf(
                    [&] { runTool({"-s", serial, "pull", "/sdcard/phone.bin", local.file("pulled-by-adb.bin")}); }));
                expectSame(local.file("pulled-by-adb.bin"), expected);
            };
            if (clientFirst) {
                pushClient(), pushTool(), pullClient(), pullTool();
            } else {
                pushTool(), pushClient(), pullTool(), pullClient();
            }
        }
        std::printf("%lld MiB file, %d rounds, one emulated phone (%s); best round first, median in brackets; ratio = client speed / adb speed\n",
                    static_cast<long long>(mib), rounds, qPrintable(serial));
        report("push", bytes, clientPush, toolPush);
        report("pull", bytes, clientPull, toolPull);

        // One lookup is a connection, two requests and one packet each way:
        // it shows any stall between the parts of a request.
        constexpr int lookups = 200;
        const double lookupSeconds = secondsOf([&] {
            for (int i = 0; i < lookups; ++i) client.stat("/sdcard/phone.bin");
        });
        std::printf("stat  client %.2f ms per lookup (%d lookups)\n", lookupSeconds * 1e3 / lookups, lookups);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
