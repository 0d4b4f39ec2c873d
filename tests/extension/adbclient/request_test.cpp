#include "extension/adbclient/adb_client.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/extension/adbclient/scripted_server.h"
#include "tests/extension/adbclient/wire_bytes.h"

#include <gtest/gtest.h>

using wirebytes::request;
using Ending = ScriptedServer::Ending;

namespace {

// Connects to the scripted server and reads one status reply.
void readStatusFrom(ScriptedServer &server, BufferedSocket *keep = nullptr) {
    BufferedSocket socket = BufferedSocket::connect(server.port());
    AdbClient::readStatus(socket);
    if (keep) *keep = std::move(socket);
}

} // namespace

TEST(Status, OkayConsumesExactlyFourBytes) {
    ScriptedServer server(QByteArray("OKAYfollowing"), Ending::closeAfterReply);
    BufferedSocket socket = BufferedSocket::connect(server.port());
    AdbClient::readStatus(socket);
    EXPECT_EQ(socket.readToEnd(), "following");
}

TEST(Status, FailCarriesTheServersMessage) {
    ScriptedServer server(QByteArray("FAIL000dno such thing"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(readStatusFrom(server), requestFailed, "no such thing");
}

TEST(Status, FailWithoutUsableMessageCarriesTheStatusWord) {
    for (const QByteArray &reply : {QByteArray("FAIL0000"), QByteArray("FAILzzzz"), QByteArray("FAIL-001junk"),
                                   QByteArray("FAIL0020short")}) {
        SCOPED_TRACE(reply.toStdString());
        ScriptedServer server(reply, Ending::closeAfterReply);
        EXPECT_CLIENT_ERROR(readStatusFrom(server), requestFailed, "FAIL");
    }
}

TEST(Status, FailWithEmptyMessageIsDescribedWithTheWord) {
    ScriptedServer server(QByteArray("FAIL0000"), Ending::closeAfterReply);
    const auto failure = clientFailure([&] { readStatusFrom(server); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->description(), "adb request failed: FAIL");
}

TEST(Status, AnyOtherWordIsTreatedAsFail) {
    ScriptedServer garbage(QByteArray("\x01\x02\x03\x04" "0000"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(readStatusFrom(garbage), requestFailed, "\x01\x02\x03\x04");
    ScriptedServer withMessage(QByteArray("WHAT0003why"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(readStatusFrom(withMessage), requestFailed, "why");
}

TEST(Status, StreamEndingInsideTheStatusIsAProtocolError) {
    for (const QByteArray &reply : {QByteArray(), QByteArray("OKA"), QByteArray("FAIL"), QByteArray("FAIL00")}) {
        SCOPED_TRACE(reply.toStdString());
        ScriptedServer server(reply, Ending::closeAfterReply);
        EXPECT_CLIENT_ERROR(readStatusFrom(server), protocolError, "unexpected EOF");
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

TEST(Shell, EmptyAndInvalidOutput) {
    ScriptedServer silent(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    EXPECT_EQ(AdbClient("s", silent.port()).shell("touch x"), "");

    ScriptedServer garbled(QByteArray("OKAYOKAYbad \xff\xfe end"), Ending::closeAfterReply);
    const QString text = AdbClient("s", garbled.port()).shell("cat x");
    EXPECT_TRUE(text.startsWith("bad "));
    EXPECT_TRUE(text.endsWith(" end"));
    EXPECT_TRUE(text.contains(QChar(0xFFFD)));
}

TEST(Shell, RefusedCommandIsRequestFailed) {
    ScriptedServer server(QByteArray("OKAYFAIL0006closed"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient("s", server.port()).shell("x"), requestFailed, "closed");
}

TEST(Shell, ServerClosingBeforeTheShellAnswersIsAProtocolError) {
    ScriptedServer server(QByteArray("OKAY"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient("s", server.port()).shell("x"), protocolError, "unexpected EOF");
}

TEST(RequestFraming, LengthCountsUtf8BytesNotCharacters) {
    ScriptedServer server(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    AdbClient("é", server.port()).shell("touch '/sdcard/Ünï'");
    // "host:transport:é" is 16 characters but 17 bytes; the command has 3 two-byte letters.
    EXPECT_EQ(server.received(), QByteArray("0011host:transport:é") + "001bshell:touch '/sdcard/Ünï'");
}

TEST(RequestFraming, LongestRequestGetsHeaderFfffAndLongerIsRefusedBeforeSending) {
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

TEST(RequestFraming, NonAsciiRequestNearTheLimitIsMeasuredInBytes) {
    // 32765 two-byte letters are 65530 bytes: with "shell:" that is 65536, one too many.
    ScriptedServer server(QByteArray("OKAYOKAY"), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient("s", server.port()).shell(QString(32765, QChar(0xe9))), protocolError,
                        "request too long");
}

TEST(Connection, NothingListeningIsConnectionFailed) {
    RefusingPort refusing;
    const auto failure = clientFailure([&] { AdbClient("s", refusing.port()).shell("ls"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), AdbClientError::Kind::connectionFailed);
    EXPECT_EQ(failure->description(), "Couldn't reach the adb server. Is the app running?");
}

TEST(Connection, EveryClientUsesTheDefaultPortUnlessTold) {
    EXPECT_EQ(AdbClient("s").port(), 5037);
    EXPECT_EQ(AdbClient("s").serial(), "s");
}
