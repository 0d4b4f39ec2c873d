#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace testsupport {

// How an emulated phone reaches the adb server.
enum class Attach {
    Cable, // announced with host:emulator:PORT, listed as emulator-(PORT-1)
    Wifi,  // adb connect 127.0.0.1:PORT, listed as 127.0.0.1:PORT
    None,  // only listening
    Paired, // Wireless debugging: adb pair with its code, then adb connect to
            // its TLS port (adb 30 or newer), listed as 127.0.0.1:TLSPORT
};

struct PhoneSimOptions {
    QString folder;                 // served as /sdcard; must exist
    QString model = "Sim_Phone";
    QString wifiAddress;            // loopback only (127.0.0.2, ...); empty: Wi-Fi off
    QString df;                     // "TOTAL_KB,USED_KB,AVAILABLE_KB"; empty: the program's default
    QStringList readOnlyFolders;    // folders under the served folder that refuse writes
    Attach attach = Attach::Cable;
    quint16 port = 0;               // 0: a free one
    QString link;                   // none, usb2, usb3 or wifi (see tools/phone-sim); empty: none
    int android = 0;                // the Android version it plays, 6 to 16; 0: the program's default
    bool wirelessDebugging = false; // a pairing port and a TLS connect port besides
};

// What the phone's Wireless debugging screen shows.
struct WirelessDebuggingScreen {
    QString pairingCode;    // six digits
    QString pairingAddress; // HOST:PORT
    QString connectAddress; // HOST:PORT
};

// Runs tools/phone-sim as a child process for the life of the value. The
// constructor starts the real adb server (taking the machine-wide lock),
// attaches the phone and returns once `adb devices` lists it as "device";
// it throws std::runtime_error when that does not happen. The destructor
// stops the program, disconnects its Wi-Fi serials and waits until the
// server no longer lists them.
class PhoneSim {
public:
    explicit PhoneSim(PhoneSimOptions options);
    ~PhoneSim();
    PhoneSim(const PhoneSim &) = delete;
    PhoneSim &operator=(const PhoneSim &) = delete;

    const QString &serial() const;   // as the adb server lists it
    quint16 port() const;            // the loopback port it listens on
    const QString &folder() const;
    qint64 pid() const;
    // The media scans the phone took so far, one a line as the program
    // records them: "content" or "broadcast", a tab, the path as given.
    QStringList scans() const;
    // Empty unless started with wirelessDebugging.
    const WirelessDebuggingScreen &wirelessDebugging() const;

    // Stops it early (idempotent); the destructor then does nothing more.
    void stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace testsupport
