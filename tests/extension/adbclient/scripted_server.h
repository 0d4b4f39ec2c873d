#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>

// A server on 127.0.0.1 for what the real adb server cannot be made to do:
// it answers the one connection it accepts with given bytes and records what
// the client sent on it.
class ScriptedServer {
public:
    enum class Ending {
        waitForClient,   // keep the connection until the client closes it
        closeAfterReply, // end the stream after the reply, still reading the client
    };

    explicit ScriptedServer(QByteArray reply, Ending ending = Ending::waitForClient);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    quint16 port() const { return port_; }
    // Waits until the connection has ended on the server's side and returns
    // every byte the client sent on it.
    QByteArray received();

private:
    void serve();

    int listener_ = -1;
    quint16 port_ = 0;
    QByteArray reply_;
    Ending ending_;
    std::mutex mutex_;
    std::condition_variable ended_;
    QByteArray received_;
    bool done_ = false;
    std::thread thread_;
};
