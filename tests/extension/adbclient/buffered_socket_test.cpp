#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/buffered_socket.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/extension/adbclient/scripted_server.h"
#include "tests/extension/adbclient/wire_bytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

using wirebytes::pattern;

namespace {

std::atomic<int> sigpipeCount{0};

// Counts SIGPIPE instead of ignoring it, so a send without protection shows.
struct SigpipeCounter {
    struct sigaction previous {};
    SigpipeCounter() {
        sigpipeCount = 0;
        struct sigaction counting {};
        counting.sa_handler = [](int) { ++sigpipeCount; };
        sigemptyset(&counting.sa_mask);
        sigaction(SIGPIPE, &counting, &previous);
    }
    ~SigpipeCounter() { sigaction(SIGPIPE, &previous, nullptr); }
};

} // namespace

TEST(BufferedSocketConnect, NothingListeningIsConnectionFailedWithItsText) {
    RefusingPort refusing;
    const auto failure = clientFailure([&] { BufferedSocket::connect(refusing.port()); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), AdbClientError::Kind::connectionFailed);
    EXPECT_EQ(failure->description(), "Couldn't reach the adb server. Is the app running?");
}

TEST(BufferedSocketRead, ReturnsExactCountsAcrossReceivesAndLeavesTheRest) {
    const QByteArray data = pattern(100000);
    ScriptedServer server(data, ScriptedServer::Ending::closeAfterReply);
    BufferedSocket socket = BufferedSocket::connect(server.port());

    EXPECT_TRUE(socket.readExactly(0).isEmpty());
    EXPECT_EQ(socket.bufferedSize(), 0); // a read of nothing receives nothing
    EXPECT_EQ(socket.readExactly(3), data.mid(0, 3));
    EXPECT_EQ(socket.readUInt32(), quint32(quint8(data[3])) | quint32(quint8(data[4])) << 8 |
                                       quint32(quint8(data[5])) << 16 | quint32(quint8(data[6])) << 24);
    EXPECT_EQ(socket.readExactly(50000), data.mid(7, 50000));
    EXPECT_EQ(socket.readToEnd(), data.mid(50007));
    // At the end every further read is a short stream.
    EXPECT_CLIENT_ERROR(socket.readExactly(1), protocolError, "unexpected EOF");
    EXPECT_TRUE(socket.readToEnd().isEmpty());
}

TEST(BufferedSocketRead, ConsumedBytesAreKeptUpToExactlyTheThresholdAndDroppedPastIt) {
    const QByteArray data = pattern(3 * 65536);
    ScriptedServer server(data, ScriptedServer::Ending::closeAfterReply);
    BufferedSocket socket = BufferedSocket::connect(server.port());

    EXPECT_EQ(socket.readExactly(32768), data.mid(0, 32768));
    EXPECT_EQ(socket.readExactly(32768), data.mid(32768, 32768));
    EXPECT_EQ(socket.consumedOffset(), 65536);
    EXPECT_GE(socket.bufferedSize(), 65536);

    EXPECT_EQ(socket.readExactly(1), data.mid(65536, 1));
    EXPECT_EQ(socket.consumedOffset(), 0);
    EXPECT_LT(socket.bufferedSize(), 65536);

    // Reading on after the discard continues exactly where it stopped.
    EXPECT_EQ(socket.readExactly(65537), data.mid(65537, 65537));
    EXPECT_EQ(socket.consumedOffset(), 0);
    EXPECT_EQ(socket.readToEnd(), data.mid(2 * 65537));
}

TEST(BufferedSocketRead, OneReadPastTheThresholdDiscardsAtOnce) {
    const QByteArray data = pattern(65537 + 10);
    ScriptedServer server(data, ScriptedServer::Ending::closeAfterReply);
    BufferedSocket socket = BufferedSocket::connect(server.port());
    EXPECT_EQ(socket.readExactly(65537), data.mid(0, 65537));
    EXPECT_EQ(socket.consumedOffset(), 0);
    EXPECT_EQ(socket.readExactly(10), data.mid(65537));
}

TEST(BufferedSocketWrite, PeerThatClosedOrResetIsConnectionFailedWithoutSigpipe) {
    for (const auto ending : {ScriptedServer::Ending::closeAfterReading, ScriptedServer::Ending::resetAfterReading}) {
        SigpipeCounter counter;
        ScriptedServer server({{QByteArray("x"), ending, 1}});
        BufferedSocket socket = BufferedSocket::connect(server.port());
        EXPECT_EQ(socket.readExactly(1), "x");
        socket.write("y");
        server.received(); // the server has ended the connection
        const QByteArray block(1 << 20, 'z');
        EXPECT_CLIENT_ERROR(for (int i = 0; i < 64; ++i) socket.write(block), connectionFailed, "");
        EXPECT_EQ(sigpipeCount.load(), 0);
    }
}

TEST(BufferedSocketWrite, SendsEveryByteOfLargeWritesAndNothingForEmptyOnes) {
    const QByteArray data = pattern(3 << 20);
    ScriptedServer server(QByteArray{});
    {
        BufferedSocket socket = BufferedSocket::connect(server.port());
        socket.write(QByteArrayView());
        socket.write(data);
        socket.write("");
    } // closing the socket ends the server's reading
    EXPECT_EQ(server.received(), data);
}

TEST(BufferedSocketClose, IsIdempotentAndLaterUseFails) {
    ScriptedServer server(QByteArray("OKAY"));
    BufferedSocket socket = BufferedSocket::connect(server.port());
    socket.close();
    socket.close();
    EXPECT_FALSE(socket.isOpen());
    EXPECT_CLIENT_ERROR(socket.write("x"), connectionFailed, "");
    EXPECT_CLIENT_ERROR(socket.readExactly(1), protocolError, "unexpected EOF");
    EXPECT_TRUE(server.received().isEmpty());
}

TEST(BufferedSocketClose, MovedFromSocketNoLongerOwnsTheConnection) {
    ScriptedServer server(QByteArray("OKAY"));
    BufferedSocket first = BufferedSocket::connect(server.port());
    BufferedSocket second = std::move(first);
    first.close(); // must not close the moved connection
    EXPECT_EQ(second.readExactly(4), "OKAY");
    second.write("still open");
    second.close();
    EXPECT_EQ(server.received(), "still open");
}
