#include "app/adb/device_list_reader.h"

#include <gtest/gtest.h>

namespace {

using State = AndroidDevice::State;

AndroidDevice device(const QString &serial, State state, const QString &model = {}) {
    return AndroidDevice{serial, model, state};
}

TEST(DeviceList, FirstNonEmptyLineIsAlwaysDroppedEvenWhenItLooksLikeADevice) {
    EXPECT_TRUE(parseDevices("emulator-5554 device model:A\n").isEmpty());
    const auto devices = parseDevices("\n\nemulator-5554 device model:A\n\nR58M device model:B\n\n");
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0], device("R58M", State::device, "B"));
}

TEST(DeviceList, RealToolOutputKeepsOrderUnderscoresAndDuplicates) {
    const QString text = "List of devices attached\n"
                         "emulator-5554          device product:sdk_gphone model:Pixel_7_Pro device:panther transport_id:3\n"
                         "127.0.0.1:5557         device product:sim model:Sim_Phone device:sim transport_id:4\n"
                         "R58M123ABC             unauthorized usb:1-1 transport_id:5\n"
                         "R58M123ABC             offline transport_id:6\n"
                         "\n";
    const auto devices = parseDevices(text);
    ASSERT_EQ(devices.size(), 4);
    EXPECT_EQ(devices[0], device("emulator-5554", State::device, "Pixel_7_Pro"));
    EXPECT_EQ(devices[1], device("127.0.0.1:5557", State::device, "Sim_Phone"));
    EXPECT_EQ(devices[2], device("R58M123ABC", State::unauthorized));
    EXPECT_EQ(devices[3], device("R58M123ABC", State::offline));
    EXPECT_FALSE(devices[0].isWireless());
    EXPECT_TRUE(devices[1].isWireless());
}

TEST(DeviceList, UnreadableLinesAreSkippedAndLaterLinesStillRead) {
    const auto devices = parseDevices("List of devices attached\nlonely\nA device\n   \nB offline\n");
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0].serial, "A");
    EXPECT_EQ(devices[1].serial, "B");
}

TEST(DeviceList, CarriageReturnLineEndsAreTolerated) {
    const auto devices = parseDevices("List of devices attached\r\nA device model:M\r\n\r\n");
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0], device("A", State::device, "M"));
}

TEST(DeviceLine, StateWordsAreExactAndCaseSensitive) {
    EXPECT_EQ(parseDeviceLine("s device")->state, State::device);
    EXPECT_EQ(parseDeviceLine("s unauthorized")->state, State::unauthorized);
    EXPECT_EQ(parseDeviceLine("s offline")->state, State::offline);
    EXPECT_EQ(parseDeviceLine("s unknown")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s Device")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s OFFLINE")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s recovery")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s devices")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s no")->state, State::unknown);
    EXPECT_EQ(parseDeviceLine("s no permission")->state, State::unknown);
}

// Phones the user may not open, as adb versions print them: the state holds
// blanks, and the words inside the brackets are no model.
TEST(DeviceList, NoPermissionsIsAStateOfItsOwn) {
    const QString text =
        "List of devices attached\n"
        "0123456789ABCDEF       no permissions (missing udev rules? user is in the plugdev group); see "
        "[http://developer.android.com/tools/device.html] usb:1-1 transport_id:3\n"
        "R58M123ABC             no permissions (user in plugdev group; are your udev rules wrong?); see "
        "[http://developer.android.com/tools/device.html]\n"
        "HT4CTJT00051           no permissions (user alice is not in the plugdev group model:X); see [URL]\n"
        "emulator-5554          device product:sdk_gphone model:Pixel_7 device:panther transport_id:4\n";
    const auto devices = parseDevices(text);
    ASSERT_EQ(devices.size(), 4);
    EXPECT_EQ(devices[0], device("0123456789ABCDEF", State::noPermissions));
    EXPECT_EQ(devices[1], device("R58M123ABC", State::noPermissions));
    EXPECT_EQ(devices[2], device("HT4CTJT00051", State::noPermissions));
    EXPECT_EQ(devices[3], device("emulator-5554", State::device, "Pixel_7"));
}

TEST(DeviceLine, ModelComesFromTheFirstModelToken) {
    EXPECT_EQ(parseDeviceLine("A device product:p device:d")->model, "");
    EXPECT_EQ(parseDeviceLine("A device model:")->model, "");
    EXPECT_EQ(parseDeviceLine("A device model:First model:Second")->model, "First");
    EXPECT_EQ(parseDeviceLine("A device model: model:Second")->model, "");
    EXPECT_EQ(parseDeviceLine("A device model:a:b:c")->model, "a:b:c");
    // Only a token that begins with the key counts; letter case matters.
    EXPECT_EQ(parseDeviceLine("A device xmodel:X Model:Y")->model, "");
    EXPECT_EQ(parseDeviceLine("A device model\tM")->model, "");
    // The serial is looked at as well.
    const auto odd = parseDeviceLine("model:Serial device model:Later");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->serial, "model:Serial");
    EXPECT_EQ(odd->model, "Serial");
    const auto stateToken = parseDeviceLine("A model:InState model:Later");
    EXPECT_EQ(stateToken->model, "InState");
    EXPECT_EQ(stateToken->state, State::unknown);
}

} // namespace
