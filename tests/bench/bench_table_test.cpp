// bench/run reads the figures the benchmarks print and turns them into one
// table; here it reads logs written in the benchmarks' own line formats.
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using testsupport::TempFolder;

namespace {

void writeLog(const TempFolder &build, const QString &name, const QByteArray &text) {
    QDir(build.path()).mkpath("bench-results");
    QFile log(build.file("bench-results/" + name + ".log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(text);
}

struct Table {
    int exitCode = -1;
    QString text;
    // The cells of the first row whose measure starts with `measure`.
    QStringList row(const QString &measure) const {
        for (const QString &line : text.split('\n')) {
            if (!line.startsWith("| ")) continue;
            QStringList cells = line.mid(1, line.size() - 2).split(" | ");
            for (QString &cell : cells) cell = cell.trimmed();
            if (cells.value(0).startsWith(measure)) return cells;
        }
        return {};
    }
};

Table printTable(const TempFolder &build) {
    QProcess run;
    run.start(QStringLiteral(DORVANE_SOURCE_DIR "/bench/run"), {"--build-dir", build.path(), "--table-only"});
    EXPECT_TRUE(run.waitForFinished(30000));
    return {run.exitCode(), QString::fromUtf8(run.readAllStandardOutput()) + run.readAllStandardError()};
}

void writeAllLogs(const TempFolder &build) {
    writeLog(build, "mount-read",
             "mount-read: 3 rounds on one emulated phone (emulator-5554); best round shown\n"
             "cp 100 MB out of the mount 0.125 s, adb pull 0.100 s: ratio 0.80 (pull time / cp time, target >= 0.9)\n"
             "ls -l of 10,000 entries 0.150 s, adb ls 0.100 s: ratio 1.50 (ls time / adb ls time, target <= 1.5)\n"
             "VaneFileProvider peak memory 21.5 MB (target < 64 MB)\n");
    writeLog(build, "mount-write",
             "mount-write: 3 rounds on one emulated phone (emulator-5554); best round shown\n"
             "cp 100 MB into the mount 0.200 s, adb push 0.190 s: ratio 0.95 (push time / cp time, target >= 0.9)\n"
             "200 small files through the mount: create 0.512 s (2.6 ms each), rename 0.301 s (1.5 ms each), "
             "delete 0.205 s (1.0 ms each)\n"
             "VaneFileProvider peak memory 30.0 MB (target < 64 MB)\n");
    writeLog(build, "adbclient",
             "100 MiB file, 5 rounds, one emulated phone (emulator-5554); best round first, median in brackets\n"
             "push  client   1200.0 MiB/s   adb    800.0 MiB/s   ratio 1.50  (median: 1100.0 vs 790.0 MiB/s, ratio 1.39)\n"
             "pull  client    900.0 MiB/s   adb    600.0 MiB/s   ratio 1.50  (median: 850.0 vs 590.0 MiB/s, ratio 1.44)\n"
             "stat  client 0.40 ms per lookup (200 lookups)\n");
    writeLog(build, "mount-latency",
             "mount latency over 10 rounds (target: live mount under 1000 ms)\n"
             "press to live mount              min   150.0 ms   median   180.0 ms   max   300.0 ms\n"
             "press to first root listing      min   160.0 ms   median   195.5 ms   max   320.0 ms\n"
             "unmount to removed               min    20.0 ms   median    25.0 ms   max    40.0 ms\n"
             "target met\n");
    writeLog(build, "phone-sim",
             "adb push of 200 MB through the emulated phone: best 812.3 MB/s, median 790.0 MB/s (812.3 790.0 700.1)\n"
             "adb pull of 200 MB through the emulated phone: best 950.0 MB/s, median 900.0 MB/s (950.0 900.0 850.0)\n");
}

} // namespace

TEST(BenchTable, RatiosComeFromBothSidesOfTheSameRun) {
    TempFolder build;
    writeAllLogs(build);
    const Table table = printTable(build);
    ASSERT_EQ(table.exitCode, 0) << table.text.toStdString();

    EXPECT_EQ(table.row("copy out"), (QStringList{table.row("copy out").value(0), "800 MB/s", "1000 MB/s", "0.80", "≥ 0.9"}));
    EXPECT_EQ(table.row("copy in").mid(1), (QStringList{"500 MB/s", "526 MB/s", "0.95", "≥ 0.9"}));
    EXPECT_EQ(table.row("listing").mid(1), (QStringList{"0.150 s", "0.100 s", "1.50", "≤ 1.5"}));
    EXPECT_EQ(table.row("adb client pull").mid(1), (QStringList{"900.0 MiB/s", "600.0 MiB/s", "1.50", "≥ 1.0"}));
    EXPECT_EQ(table.row("adb client push").mid(1), (QStringList{"1200.0 MiB/s", "800.0 MiB/s", "1.50", "≥ 1.0"}));
    EXPECT_EQ(table.row("mount latency").value(1), "180.0 ms");
    EXPECT_EQ(table.row("mount latency").value(3), "0.18 of target");
    EXPECT_EQ(table.row("Mount pressed to the root").value(1), "195.5 ms");
    EXPECT_EQ(table.row("200 small files").value(1), "create 0.512 s, rename 0.301 s, delete 0.205 s");
    EXPECT_EQ(table.row("VaneFileProvider peak").value(1), "30.0 MB") << "the larger of the two benchmarks' peaks";
    EXPECT_EQ(table.row("emulated phone").value(2), "950.0 MB/s / 812.3 MB/s");
    EXPECT_TRUE(table.text.contains("Machine: ")) << table.text.toStdString();
}

TEST(BenchTable, AMissingBenchmarkShowsDashesNotZeros) {
    TempFolder build;
    writeAllLogs(build);
    ASSERT_TRUE(QFile::remove(build.file("bench-results/mount-write.log")));
    writeLog(build, "mount-latency", "mount-latency: the mount failed: timed out\n");
    const Table table = printTable(build);
    ASSERT_EQ(table.exitCode, 0) << table.text.toStdString();

    EXPECT_EQ(table.row("copy in").mid(1, 3), (QStringList{"—", "—", "—"}));
    EXPECT_EQ(table.row("mount latency").value(1), "—");
    EXPECT_EQ(table.row("mount latency").value(3), "—");
    EXPECT_EQ(table.row("200 small files").value(1), "—");
    EXPECT_EQ(table.row("VaneFileProvider peak").value(1), "21.5 MB");
    EXPECT_EQ(table.row("copy out").value(3), "0.80") << "the others are still read";
}
