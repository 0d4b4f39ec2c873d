// Against the real adb server, without any phone of ours.
#include "extension/adbclient/adb_client.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/support/adb_server.h"
#include "tests/support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kUnknownSerial = "dorvane-no-such-phone";
const QString kServersReason = "device 'dorvane-no-such-phone' not found";

} // namespace

TEST(RealServer, UnknownSerialIsRequestFailedWithTheServersReasonForEveryOperation) {
    testsupport::startAdbServer();
    testsupport::TempFolder folder;
    const AdbClient client(kUnknownSerial);
    EXPECT_CLIENT_ERROR(client.shell("ls"), requestFailed, kServersReason);
    EXPECT_CLIENT_ERROR(client.list("/sdcard"), requestFailed, kServersReason);
    EXPECT_CLIENT_ERROR(client.stat("/sdcard"), requestFailed, kServersReason);

    QFile keep(folder.file("keep"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("precious");
    keep.close();
    EXPECT_CLIENT_ERROR(client.pull("/sdcard/a", folder.file("keep")), requestFailed, kServersReason);
    // The request failed before the destination was touched.
    ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
    EXPECT_EQ(keep.readAll(), "precious");
    keep.close();
    EXPECT_CLIENT_ERROR(client.push(folder.file("keep"), "/sdcard/keep"), requestFailed, kServersReason);
}
