#pragma once

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <mutex>
#include <thread>

// A server on 127.0.0.1 for what the real adb server cannot be made to do:
// it answers each accepted connection, in order, with given bytes and records
// what the client sent on it.
class ScriptedServer {
public:
    enum class Ending {
        waitForClient,  // keep the connection until the client closes it
        closeAfterReply, // end the stream after the reply, still reading the client
        closeAfterReading, // read `readBeforeEnding` bytes, then close in order
        resetAfterReading, // read `readBeforeEnding` bytes, then abort with a reset
    };
    struct Reply {
        QByteArray bytes;
        Ending ending = Ending::waitForClient;
        qsizetype readBeforeEnding = 0;
    };

    explicit ScriptedServer(QByteArray reply, Ending ending = Ending::waitForClient);
    explicit ScriptedServer(QList<Reply> replies);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    quint16 port() const { return port_; }
    // Waits until connection `index` has ended on the server's side and
    // returns every byte the client sent on it.
    QByteArray received(int index = 0);

private:
    void serve();
    void serveOne(int connection, const Reply &reply, QByteArray &into);

    int listener_ = -1;
    quint16 port_ = 0;
    QList<Reply> replies_;
    std::mutex mutex_;
    std::condition_variable ended_;
    QList<QByteArray> received_;
    int endedCount_ = 0;
    std::thread thread_;
};

// A loopback port that is bound but never listens, so connecting is refused;
// held for the life of the value so that nobody else takes it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort &) = delete;
    RefusingPort &operator=(const RefusingPort &) = delete;
    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
};
