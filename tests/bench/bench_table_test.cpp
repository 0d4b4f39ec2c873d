// bench/run reads the figures the benchmarks print and turns them into one
// table; here it reads logs written in the benchmarks' own line formats.
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using testsupport::TempFolder;

namespace {

void writeLog(const TempFolder &build, const QString &link, const QString &name, const QByteArray &text) {
    QDir(build.path()).mkpath("bench-results/" + link);
    QFile log(build.file("bench-results/" + link + '/' + name + ".log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(text);
}

struct Table {
    int exitCode = -1;
    QString text;
    // The cells of the first row whose measure starts with `measure`: the
    // measure, one per profile, the target.
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

void writeAllLogs(const TempFolder &build, const QString &link) {
    writeLog(build, link, "mount-read",
             "mount-read: 3 rounds on one emulated phone (emulator-5554) behind the link none; best round shown\n"
             "cp 100 MB out of the mount 0.125 s, adb pull 0.100 s: ratio 0.80 (pull time / cp time, target >= 0.9)\n"
             "first byte: head -c 4096 of a 1000 MB file 2.000 s, adb pull of all of it 1.600 s: ratio 1.250 (head time / pull time)\n"
             "tail -c 65536 of the 1000 MB file 1.900 s\n"
             "cp -r of 300 files of 10 kB out of the mount 0.900 s, adb pull 0.300 s: ratio 0.33 (pull time / cp time)\n"
             "ls -l of 10,000 entries 0.150 s, adb ls 0.100 s: ratio 1.50 (ls time / adb ls time, target <= 1.5); "
             "ls -l on local disk 0.050 s\n"
             "VaneFileProvider during the copy out: peak memory 21.5 MB, temporary files 100.0 MB\n");
    writeLog(build, link, "mount-write",
             "cp 100 MB into the mount 0.200 s, adb push 0.190 s: ratio 0.95 (push time / cp time, target >= 0.9)\n"
             "cp -r of 300 files of 10 kB into the mount 1.200 s, adb push 0.400 s: ratio 0.33 (push time / cp time)\n"
             "VaneFileProvider during the copy in: peak memory 30.0 MB, temporary files 0.0 MB\n"
             "200 small files through the mount: create 0.512 s (2.6 ms each), rename 0.301 s (1.5 ms each), "
             "delete 0.205 s (1.0 ms each)\n");
    writeLog(build, link, "adbclient",
             "push  client   1200.0 MiB/s   adb    800.0 MiB/s   ratio 1.50  (median: 1100.0 vs 790.0 MiB/s, ratio 1.39)\n"
             "pull  client    900.0 MiB/s   adb    600.0 MiB/s   ratio 1.50  (median: 850.0 vs 590.0 MiB/s, ratio 1.44)\n");
    writeLog(build, link, "mount-latency",
             "press to live mount              min   150.0 ms   median   180.0 ms   max   300.0 ms\n"
             "press to first root listing      min   160.0 ms   median   195.5 ms   max   320.0 ms\n");
    writeLog(build, link, "phone-sim",
             "adb push of 200 MB through the emulated phone: best 812.3 MB/s, median 790.0 MB/s (812.3 790.0 700.1)\n"
             "adb pull of 200 MB through the emulated phone: best 950.0 MB/s, median 900.0 MB/s (950.0 900.0 850.0)\n");
}

} // namespace

TEST(BenchTable, EachProfileWithLogsGetsAColumnOfFiguresFromItsOwnRun) {
    TempFolder build;
    writeAllLogs(build, "none");
    writeLog(build, "wifi", "mount-read", "cp 100 MB out of the mount 10.000 s, adb pull 5.000 s: ratio 0.50\n");
    const Table table = printTable(build);
    ASSERT_EQ(table.exitCode, 0) << table.text.toStdString();

    EXPECT_EQ(table.row("measure"), (QStringList{"measure", "none", "wifi", "target"}));
    EXPECT_EQ(table.row("copy out").mid(1), (QStringList{"800 vs 1000 MB/s (0.80)", "10 vs 20 MB/s (0.50)", "≥ 0.9"}));
    EXPECT_EQ(table.row("copy in").mid(1), (QStringList{"500 vs 526 MB/s (0.95)", "—", "≥ 0.9"}));
    EXPECT_EQ(table.row("first byte").value(1), "2.000 vs 1.600 s (1.25)");
    EXPECT_EQ(table.row("tail").value(1), "1.900 s");
    EXPECT_EQ(table.row("300 small files: `cp -r` into").value(1), "1.200 vs 0.400 s (3.00)");
    EXPECT_EQ(table.row("300 small files: `cp -r` out").value(1), "0.900 vs 0.300 s (3.00)");
    EXPECT_EQ(table.row("listing: `ls -l` of 10,000 entries vs `adb ls`").value(1), "0.150 vs 0.100 s (1.50)");
    EXPECT_EQ(table.row("listing: `ls -l` of 10,000 entries vs `ls -l` on local").value(1), "0.150 vs 0.050 s (3.00)");
    EXPECT_EQ(table.row("VaneFileProvider during the copy out").value(1), "21.5 / 100.0 MB");
    EXPECT_EQ(table.row("VaneFileProvider during the copy in").value(1), "30.0 / 0.0 MB");
    EXPECT_EQ(table.row("adb client pull").value(1), "900.0 vs 600.0 MiB/s (1.50)");
    EXPECT_EQ(table.row("mount latency").value(1), "180.0 ms");
    EXPECT_EQ(table.row("Mount pressed to the root").value(1), "195.5 ms");
    EXPECT_EQ(table.row("200 small files").value(1), "0.512 / 0.301 / 0.205 s");
    EXPECT_EQ(table.row("emulated phone").mid(1, 2), (QStringList{"950.0 / 812.3 MB/s", "—"}));
    EXPECT_TRUE(table.text.contains("Machine: ")) << table.text.toStdString();
}
