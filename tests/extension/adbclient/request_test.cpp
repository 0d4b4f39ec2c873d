#include "extension/adbclient/adb_client.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/extension/adbclient/scripted_server.h"
#include "tests/extension/adbclient/wire_bytes.h"

#include <gtest/gtest.h>

using wirebytes::request;
using Ending = ScriptedServer::Ending;

namespace {

// Connects to the scripted server and reads one status reply.
void readStatusFrom(ScriptedServer &server) {
    BufferedSocket socket = BufferedSocket::connect(server.port());
    AdbClient::readStatus(socket);
}

} // namespace

TEST(Status, AnythingButOkayFailsWithTheServersMessageOrTheWord) {
    struct Case {
        QByteArray reply;
        AdbClientError::Kind kind;
        QString payload;
    };
    using Kind = AdbClientError::Kind;
    for (const Case &c : {Case{"FAIL000dno such thing", Kind::requestFailed, "no such thing"},
                          Case{"WHAT0003why", Kind::requestFailed, "why"},
                          Case{"\x01\x02\x03\x04" "0000", Kind::requestFailed, "\x01\x02\x03\x04"},
                          Case{"", Kind::protocolError, "unexpected EOF"}, Case{"OKA", Kind::protocolError, "unexpected EOF"},
                          Case{"FAIL00", Kind::protocolError, "unexpected EOF"}}) {
        SCOPED_TRACE(c.reply.toStdString());
        ScriptedServer server(c.reply, Ending::closeAfterReply);
        const auto failure = clientFailure([&] { readStatusFrom(server); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind(), c.kind);
        EXPECT_EQ(failure->payload(), c.payload);
    }
}

TEST(Transport, SelectsThePhoneBySerialAndPassesItsRefusalOn) {
    ScriptedServer server("FAIL" + request("device 'R58N12ABC' not found"), Ending::closeAfterReply);
    AdbClient client("R58N12ABC", server.port());
    EXPECT_CLIENT_ERROR(client.shell("ls"), requestFailed, "device 'R58N12ABC' not found");
    EXPECT_EQ(server.received(), "0018host:transport:R58N12ABC");
}

TEST(Shell, SendsTheCommandAfterTheTransportAndReturnsAllOutput) {
    QByteArray output;
    for (int line = 0; line < 20000; ++line) output += "line " + QByteArray::number(line) + "\n";
    ScriptedServer server("OKAYOKAY" + output, Ending::closeAfterReply);
    const QString text = AdbClient("127.0.0.1:5555", server.port()).shell("rm -rf '/sdcard/it'\\''s'");
    EXPECT_EQ(text.toUtf8(), output);
    EXPECT_EQ(server.received(), "001dhost:transport:127.0.0.1:5555" + request("shell:rm -rf '/sdcard/it'\\''s'"));
}

TEST(RequestFraming, LengthCountsUtf8BytesAndTheLongestFitsFfff) {
    ScriptedServer server(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    AdbClient("é", server.port()).shell("touch '/sdcard/Ünï'");
    // "host:transport:é" is 16 characters but 17 bytes; the command has 3 two-byte letters.
    EXPECT_EQ(server.received(), QByteArray("0011host:transport:é") + "001bshell:touch '/sdcard/Ünï'");

    // The longest gets the header ffff; a longer one is refused before it is sent.
    const QString longest = QString(0xffff - 6, u'a');
    ScriptedServer fits(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    AdbClient("s", fits.port()).shell(longest);
    const QByteArray sent = fits.received();
    EXPECT_EQ(sent.left(20), "0010host:transport:s");
    EXPECT_EQ(sent.mid(20, 10), "ffffshell:");
    EXPECT_EQ(sent.size(), 20 + 4 + 0xffff);

    ScriptedServer tooLong(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient("s", tooLong.port()).shell(longest + "a"), protocolError, "request too long");
    // Only the transport request reached the server; the connection was closed after the refusal.
    EXPECT_EQ(tooLong.received(), request("host:transport:s"));
}

