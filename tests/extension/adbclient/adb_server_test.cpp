// Against the real adb server, with and without an emulated phone.
#include "extension/adbclient/adb_client.h"
#include "extension/adbclient/sync_connection_pool.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QFile>

#include <chrono>
#include <thread>

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

TEST(RealServer, OneIdleSyncConnectionServesRequestsInTurnAndIsClosedOnceItSatLongEnough) {
    testsupport::TempFolder folder;
    testsupport::PhoneSimOptions options;
    options.folder = folder.path();
    testsupport::PhoneSim phone(options);
    const auto pool = SyncConnectionPool::create(2, std::chrono::milliseconds(200));
    const AdbClient client(phone.serial(), AdbClient::defaultPort, pool);
    // The second round finds the closer waiting for any connection again.
    for (int round = 0; round < 2; ++round) {
        for (int request = 0; request < 3; ++request) ASSERT_TRUE(client.stat("/sdcard").has_value());
        EXPECT_EQ(pool->idleCount(), 1) << "round " << round;
        for (int wait = 0; wait < 100 && pool->idleCount() > 0; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(pool->idleCount(), 0) << "round " << round;
    }
}
