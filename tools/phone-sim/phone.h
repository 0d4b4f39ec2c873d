#pragma once

#include "tools/phone-sim/options.h"
#include "tools/phone-sim/sandbox.h"
#include "tools/phone-sim/services.h"
#include "tools/phone-sim/transport.h"
#include "tools/phone-sim/wireless_debugging.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace phonesim {

// The emulated phone: its listening sockets, the connections the adb server
// makes to them and the services behind those.
class Phone : public ServiceHost {
public:
    explicit Phone(Options options);
    ~Phone() override;

    // Listens on the adb port (a free one when the option is 0). Throws
    // std::runtime_error when that cannot be done.
    void listen();
    uint16_t port() const { return port_; }
    std::string serial() const; // as the adb server lists it once attached
    // With Wireless debugging on: its code and addresses, a line each.
    std::string wirelessAnnouncement() const;

    // Announces the phone to the adb server (cable) or asks the server to
    // connect to it (Wi-Fi); waits until a connection is online. Returns
    // false with a message when the server did not take it.
    bool attach(std::string *message);
    // Asks the server to forget the TCP serials it may know this phone by.
    void detach();
    // Stops listening, ends every connection and waits for them.
    void stop();

    // ServiceHost
    std::string banner() const override;
    std::function<void(Stream &)> service(const std::string &name, bool *consumesInput) override;
    void connectionOnline() override;

private:
    ShellEnvironment shellEnvironment() const;
    void acceptLoop(int listener, bool wifi);
    void serve(int fd);
    void serveTunnel(int fd);
    bool startWifiListener(uint16_t port);
    bool waitOnline(uint64_t before, int milliseconds);

    Options options_;
    Sandbox sandbox_;
    uint16_t port_ = 0;
    int stopPipe_[2] = {-1, -1};

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t onlineCount_ = 0;
    std::vector<int> listeners_;
    std::vector<std::thread> acceptThreads_;
    std::set<Connection *> connections_;
    int activeConnections_ = 0;
    bool stopping_ = false;
    uint16_t wifiPort_ = 0;        // listening on the Wi-Fi address since tcpip
    bool wifiReached_ = false;     // the server connected there
    std::unique_ptr<WirelessDebugging> wireless_;
};

// Sends one host request to the adb server on 127.0.0.1 (port 5037, or
// ANDROID_ADB_SERVER_PORT as for the adb tool). With
// `wantsReply`, reads OKAY/FAIL and the length-prefixed text after it.
bool hostRequest(const std::string &request, bool wantsReply, std::string *reply, int timeoutMilliseconds = 5000);

} // namespace phonesim
