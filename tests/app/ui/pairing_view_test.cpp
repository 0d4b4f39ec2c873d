// Pairing with a code through the window, the view model and the adb runner's
// real process handling, against a stand-in adb that answers with what real
// adb releases print: no phone can be made to give each outcome on demand.
#include "app/state/app_view_model.h"
#include "app/state/pairing_flow.h"
#include "app/ui/pairing_view.h"
#include "app/ui/styled_button.h"
#include "tests/app/state/listing_adb.h"
#include "tests/support/run_task.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using testsupport::runTask;
using testsupport::waitUntil;

const QString paired = "Successfully paired to 127.0.0.1:37251 [guid=adb-SIM0001-AbCdEf]\n";
const QString phoneLine = "127.0.0.1:41234        device product:sim model:Pixel_7 device:sim transport_id:3";

class Pairing : public ::testing::Test {
protected:
    Pairing() : model(std::make_shared<AdbService>(adb.folder(), QStringList{})), flow(model.pairing()), view(flow) {
        adb.setVersion(testsupport::adbVersion34);
        adb.setPairReply(paired);
        adb.setConnectLine("127.0.0.1:41234", phoneLine);
        QObject::connect(&flow, &PairingFlow::attemptFinished, [this] { ++finishes; });
    }

    void type(QLineEdit *field, const QString &text) { field->clear(), QTest::keyClicks(field, text); }
    // Fills the page as a user would and presses Pair.
    void pair(const QString &code = "123456", const QString &connectAddress = "127.0.0.1:41234") {
        view.show(); // asks the tool's version first
        ASSERT_TRUE(waitUntil([&] { return adb.countCalls("version") > 0; }));
        type(view.pairingAddressField(), "127.0.0.1:37251");
        type(view.connectAddressField(), connectAddress);
        type(view.codeField(), code);
        pressPair();
    }
    void pressPair() {
        const int before = finishes;
        ASSERT_TRUE(view.pairButton()->isEnabled());
        view.pairButton()->click();
        ASSERT_TRUE(waitUntil([&] { return finishes > before; }));
    }

    testsupport::ListingAdb adb;
    AppViewModel model;
    PairingFlow &flow;
    PairingView view;
    int finishes = 0;
};

TEST_F(Pairing, APairedPhoneJoinsTheListAsAWifiPhoneAndRemovingItDisconnects) {
    type(view.pairingAddressField(), "127.0.0.1:37251");
    EXPECT_EQ(view.connectAddressField()->text(), "127.0.0.1:");
    pair(" 123456 ");
    EXPECT_EQ(view.messageLabel()->text(), "Paired and connected. Your phone is on the list.");
    EXPECT_EQ(adb.calls(), QStringList({"version", "pair|127.0.0.1:37251|123456", "connect|127.0.0.1:41234",
                                        "devices|-l", "-s|127.0.0.1:41234|shell|df|-k|/sdcard"}));
    ASSERT_EQ(model.devices().size(), 1);
    EXPECT_TRUE(model.devices()[0].isWireless());

    runTask(model.remove("127.0.0.1:41234"));
    EXPECT_EQ(adb.countCalls("disconnect|127.0.0.1:41234"), 1);
    EXPECT_TRUE(model.devices().isEmpty());
    EXPECT_TRUE(model.removedSerials().isEmpty());
}

TEST_F(Pairing, EachFailureSaysWhatToDoAndConnectsNothing) {
    const QString cases[][3] = {
        {"Failed: Wrong password or connection was dropped.\n", "",
         "Wrong code. Check the six digits, or tap \u201CPair device with pairing code\u201D again for a new one."},
        {"Failed: Unable to start pairing client.\n", "",
         "Couldn't reach the phone at 127.0.0.1:37251. Make sure it is on the same Wi-Fi and its pairing code is "
         "still showing."},
        // adb 34 says the same of a wrong code and of a phone it cannot reach.
        {"", "error: protocol fault (couldn't read status message): Success\n",
         "Couldn't pair with 127.0.0.1:37251. Check the six digits and the address against the phone's screen, and "
         "that the phone is on the same Wi-Fi."},
        // An adb whose version line could not be read gives itself away.
        {"", "adb: unknown command pair\n", PairingFlow::tooOldText(std::nullopt)},
    };
    adb.setVersion("Android Debug Bridge version 1.0.41\n");
    for (const auto &[out, err, message] : cases) {
        adb.setPairReply(out, err);
        pair();
        EXPECT_EQ(view.messageLabel()->text(), message);
    }
    EXPECT_EQ(flow.support(), PairingFlow::Support::tooOld);
    EXPECT_EQ(adb.countCalls("pair|"), 4);
    EXPECT_EQ(adb.countCalls("connect|"), 0);
    EXPECT_TRUE(model.devices().isEmpty());
}

TEST_F(Pairing, PairedButNotConnectedTriesOnlyTheConnectAgain) {
    adb.failConnect(true);
    pair("123456", "127.0.0.1:4");
    EXPECT_EQ(flow.outcome(), PairingFlow::Outcome::pairedNotConnected);
    EXPECT_EQ(view.messageLabel()->text(), "Paired, but couldn't connect to 127.0.0.1:4. Check the IP address and "
                                           "port on the Wireless debugging screen, then press Pair again.");
    EXPECT_TRUE(model.devices().isEmpty());

    adb.failConnect(false);
    QTest::keyClicks(view.connectAddressField(), "1234");
    pressPair();
    EXPECT_EQ(flow.outcome(), PairingFlow::Outcome::paired);
    EXPECT_EQ(adb.countCalls("pair|"), 1); // the code was used up
    EXPECT_EQ(adb.countCalls("connect|"), 2);
    EXPECT_EQ(model.devices().size(), 1);
}

TEST_F(Pairing, AnOldAdbSaysWhyItCannotPairAndHowToGetANewerOne) {
    adb.setVersion(testsupport::adbVersion29);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return flow.support() == PairingFlow::Support::tooOld; }));
    EXPECT_FALSE(view.pairButton()->isEnabled());
    EXPECT_EQ(view.messageLabel()->text(), PairingFlow::tooOldText(29));
    EXPECT_TRUE(PairingFlow::tooOldText(29).contains("(version 29) can't pair"));
    EXPECT_TRUE(PairingFlow::tooOldText(29).contains("sudo apt install -t bookworm-backports adb"));
    EXPECT_EQ(adb.countCalls("pair"), 0);
}

TEST_F(Pairing, TheConnectHostFollowsThePairingHostUntilTypedOverAndBadInputRunsNothing) {
    for (const char *pairing : {"1", "10.0.0.6:37251"}) flow.setPairingAddress(pairing);
    flow.setConnectAddress(flow.connectAddress() + "41234");
    flow.setPairingAddress("10.0.0.7:3");
    EXPECT_EQ(flow.connectAddress(), "10.0.0.7:41234");
    flow.setConnectAddress("phone.lan:41234");
    flow.setPairingAddress("10.0.0.8:3");
    EXPECT_EQ(flow.connectAddress(), "phone.lan:41234");

    flow.setCode("12:3456");
    runTask(flow.pair());
    EXPECT_EQ(flow.message(), "Pairing code: The code is six digits, like 123456.");
    flow.setConnectAddress("phone.lan:70000;reboot");
    flow.setCode("123456");
    runTask(flow.pair());
    EXPECT_EQ(flow.message(), "Connect address: Type the address as the phone shows it, like 192.168.1.20:37251.");
    EXPECT_EQ(adb.calls(), QStringList());
}

} // namespace
