#include "app/mount/domain_identifier.h"
#include "app/mount/mount_service.h"

#include <gtest/gtest.h>

namespace {

AndroidDevice device(const QString &serial, const QString &model) {
    return AndroidDevice{serial, model, AndroidDevice::State::device};
}

TEST(DomainIdentifier, writesDotsAndColonsOut) {
    EXPECT_EQ(MountService::domainIdentifier("R58M123ABC"), "R58M123ABC");
    EXPECT_EQ(MountService::domainIdentifier("emulator-5554"), "emulator-5554");
    EXPECT_EQ(MountService::domainIdentifier("192.168.1.20:5555"), "192-DOT-168-DOT-1-DOT-20-COLON-5555");
    EXPECT_EQ(MountService::domainIdentifier("127.0.0.2:5555"), "127-DOT-0-DOT-0-DOT-2-COLON-5555");
    EXPECT_EQ(MountService::domainIdentifier("a..b::c"), "a-DOT--DOT-b-COLON--COLON-c");
    EXPECT_EQ(MountService::domainIdentifier("adb-R5CT.local_tcp/x y"), "adb-R5CT-DOT-local_tcp/x y")
        << "letters, digits, -, _, / and blanks pass through";
    EXPECT_EQ(MountService::domainIdentifier(""), "");
    EXPECT_EQ(MountService::domainIdentifier("Dot.dot"), "Dot-DOT-dot") << "replacement is literal";
}

TEST(DomainIdentifier, readsBackToTheSerial) {
    EXPECT_EQ(MountService::serial("192-DOT-168-DOT-1-DOT-20-COLON-5555"), "192.168.1.20:5555");
    EXPECT_EQ(MountService::serial("R5-DOT-8-COLON-9"), "R5.8:9");
    EXPECT_EQ(MountService::serial("emulator-5554"), "emulator-5554");
    EXPECT_EQ(MountService::serial("-dot-"), "-dot-") << "case matters";
    for (const QString serial : {"R58M123ABC", "127.0.0.3:5555", "[::1]:5555", "host.name:1", "..::"}) {
        EXPECT_EQ(MountService::serial(MountService::domainIdentifier(serial)), serial) << serial.toStdString();
    }
}

TEST(DomainIdentifier, serialsHoldingTheMarkersDoNotSurviveTheRoundTrip) {
    EXPECT_EQ(MountService::serial(MountService::domainIdentifier("odd-DOT-serial")), "odd.serial");
    EXPECT_EQ(MountService::serial(MountService::domainIdentifier("odd-COLON-serial")), "odd:serial");
    EXPECT_EQ(MountService::serial("a-DOT-COLON-b"), "a-DOT:b") << "\"-COLON-\" is read first and shares the \"-\"";
}

TEST(MountDisplayName, prefersTheGivenNameThenTheModelThenTheSerial) {
    EXPECT_EQ(mountDisplayName(device("R58M", "Pixel_7_Pro"), std::nullopt), "Pixel 7 Pro");
    EXPECT_EQ(mountDisplayName(device("R58M", "Pixel_7_Pro"), QString("Work phone")), "Work phone");
    EXPECT_EQ(mountDisplayName(device("R58M", "Pixel_7_Pro"), QString("")), "") << "a given empty name is used";
    EXPECT_EQ(mountDisplayName(device("R58M", "Pixel_7_Pro"), QString("my_phone")), "my_phone")
        << "a given name is used unchanged";
    EXPECT_EQ(mountDisplayName(device("R58M", ""), std::nullopt), "R58M");
    EXPECT_EQ(mountDisplayName(device("127.0.0.2:5555", "__"), std::nullopt), "  ");
}

} // namespace
