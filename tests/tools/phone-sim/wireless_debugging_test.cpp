// The emulated phone's Wireless debugging, against a host side written with
// the library adb uses (this machine's adb may be too old to pair) and
// against the real adb tool where it is 30 or newer.
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"
#include "tools/phone-sim/pairing_auth.h"
#include "tools/phone-sim/tls_identity.h"
#include "tools/phone-sim/tls_io.h"
#include "tools/phone-sim/tls_port.h"
#include "tools/phone-sim/transport.h"

#include <QFile>
#include <QRegularExpression>

#include <openssl/base64.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace phonesim;
using namespace phonesim::pairing;
using namespace testsupport;

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// HOST:PORT on loopback.
void connectTo(const QString &address, Fd *socket) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(quint16(address.section(':', -1).toUInt()));
    ASSERT_EQ(::inet_pton(AF_INET, address.section(':', 0, 0).toLatin1().constData(), &where.sin_addr), 1);
    ASSERT_EQ(ntohl(where.sin_addr.s_addr) >> 24, 127u) << "loopback only";
    socket->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(socket->fd, reinterpret_cast<sockaddr *>(&where), sizeof where), 0) << address.toStdString();
    setHandshakeTimeout(socket->fd, true);
}

// A computer's adb key: its certificate for TLS and adb's base64 form of it.
struct HostKey {
    TlsIdentity identity = makeTlsIdentity();
    // adb's form; n0inv and R^2 stay zero, the phone reads only the modulus and exponent.
    std::string adbForm() const {
        const RSA *rsa = EVP_PKEY_get0_RSA(identity.key.get());
        std::vector<uint8_t> raw(kAdbKeySize, 0);
        const uint32_t words = kAdbKeyModulusBytes / 4, exponent = uint32_t(BN_get_word(RSA_get0_e(rsa)));
        std::memcpy(raw.data(), &words, 4);
        BN_bn2le_padded(raw.data() + 8, kAdbKeyModulusBytes, RSA_get0_n(rsa));
        std::memcpy(raw.data() + kAdbKeySize - 4, &exponent, 4);
        std::string text(4 * ((raw.size() + 2) / 3) + 1, '\0');
        text.resize(EVP_EncodeBlock(reinterpret_cast<uint8_t *>(text.data()), raw.data(), raw.size()));
        return text + " tester@dorvane";
    }
};

struct Pairing {
    std::optional<std::string> guid; // the phone's, when the code was right
    bool phoneHungUp = false;        // it closed the connection afterwards
};

// `adb pair` as the host does it: alice's side of the exchange.
Pairing pair(const HostKey &host, const QString &address, const std::string &code) {
    Pairing result;
    Fd socket;
    connectTo(address, &socket);
    auto context = makeTlsContext(host.identity, false);
    SSL_CTX_set_custom_verify(context.get(), SSL_VERIFY_PEER, [](SSL *, uint8_t *) { return ssl_verify_ok; });
    bssl::UniquePtr<SSL> ssl(SSL_new(context.get()));
    SSL_set_fd(ssl.get(), socket.fd);
    if (SSL_connect(ssl.get()) != 1) return result;
    PairingAuth auth(PairingAuth::Role::Host, *pairingPassword(code, ssl.get()));
    std::vector<uint8_t> message, sealed;
    if (!writePacket(ssl.get(), kSpake2Message, auth.message()) || !readPacket(ssl.get(), kSpake2Message, &message) ||
        !auth.accept(message.data(), message.size()))
        return result;
    const auto mine = encodePeerInfo({kPeerRsaPublicKey, host.adbForm()});
    if (!writePacket(ssl.get(), kPeerInfoPacket, auth.encrypt(mine->data(), mine->size())) ||
        !readPacket(ssl.get(), kPeerInfoPacket, &sealed))
        return result;
    if (const auto plain = auth.decrypt(sealed.data(), sealed.size())) {
        const auto info = parsePeerInfo(plain->data(), plain->size());
        if (info && info->type == kPeerDeviceGuid) result.guid = info->data;
    }
    uint8_t byte;
    result.phoneHungUp = SSL_read(ssl.get(), &byte, 1) <= 0 && errno != EAGAIN && errno != EWOULDBLOCK;
    return result;
}

bool sendPlain(int fd, uint32_t command, uint32_t arg0, uint32_t arg1, const std::string &payload = {}) {
    MessageHeader header{command, arg0, arg1, uint32_t(payload.size()), 0, command ^ 0xffffffffu};
    return sendAll(fd, &header, sizeof header) && sendAll(fd, payload.data(), payload.size());
}

bool readMessage(SSL *ssl, MessageHeader *header, std::string *payload) {
    if (!sslReadExactly(ssl, header, sizeof *header)) return false;
    payload->resize(header->length);
    return sslReadExactly(ssl, payload->data(), payload->size());
}

bool sendMessage(SSL *ssl, uint32_t command, uint32_t arg0, uint32_t arg1, const std::string &payload = {}) {
    MessageHeader header{command, arg0, arg1, uint32_t(payload.size()), 0, command ^ 0xffffffffu};
    return sslWriteAll(ssl, &header, sizeof header) && sslWriteAll(ssl, payload.data(), payload.size());
}

// `adb connect` to the TLS port: plain CNXN, STLS both ways, TLS with the
// host's certificate, then the phone's banner inside.
struct TlsSession {
    Fd socket;
    bssl::UniquePtr<SSL_CTX> context;
    bssl::UniquePtr<SSL> ssl;
    uint32_t stlsVersion = 0;
    std::vector<std::string> caNames; // "O/CN" as the phone listed them
    std::string banner;
};

void open(const HostKey &host, const QString &address, TlsSession *session) {
    connectTo(address, &session->socket);
    ASSERT_TRUE(sendPlain(session->socket.fd, kCommandCnxn, kVersionSkipChecksum, 1024 * 1024, "host::features=shell_v2,cmd"));
    MessageHeader stls;
    ASSERT_TRUE(receiveAll(session->socket.fd, &stls, sizeof stls));
    ASSERT_EQ(stls.command, kCommandStls);
    ASSERT_EQ(stls.length, 0u);
    session->stlsVersion = stls.arg0;
    ASSERT_TRUE(sendPlain(session->socket.fd, kCommandStls, kStlsVersion, 0));
    session->context = makeTlsContext(host.identity, false);
    SSL_CTX_set_custom_verify(session->context.get(), SSL_VERIFY_PEER, [](SSL *, uint8_t *) { return ssl_verify_ok; });
    SSL_CTX_set_cert_cb(
        session->context.get(),
        [](SSL *ssl, void *names) {
            const STACK_OF(X509_NAME) *list = SSL_get_client_CA_list(ssl);
            for (size_t i = 0; list && i < sk_X509_NAME_num(list); ++i) {
                char organization[32] = {}, common[80] = {};
                X509_NAME_get_text_by_NID(sk_X509_NAME_value(list, i), NID_organizationName, organization, sizeof organization);
                X509_NAME_get_text_by_NID(sk_X509_NAME_value(list, i), NID_commonName, common, sizeof common);
                static_cast<std::vector<std::string> *>(names)->push_back(std::string(organization) + "/" + common);
            }
            return 1;
        },
        &session->caNames);
    session->ssl.reset(SSL_new(session->context.get()));
    SSL_set_fd(session->ssl.get(), session->socket.fd);
    if (SSL_connect(session->ssl.get()) != 1) return;
    MessageHeader cnxn;
    // A refused certificate shows on the first read in TLS 1.3.
    if (!readMessage(session->ssl.get(), &cnxn, &session->banner)) session->banner.clear();
    else if (cnxn.command != kCommandCnxn) session->banner = "not CNXN";
}

std::string hashName(const HostKey &host) {
    const std::string spki = subjectPublicKeyInfo(host.identity.key.get());
    uint8_t digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const uint8_t *>(spki.data()), spki.size(), digest);
    std::string hex;
    char two[3];
    for (uint8_t byte : digest) {
        std::snprintf(two, sizeof two, "%02X", byte);
        hex += two;
    }
    return "AdbKey-0/" + hex;
}

// Runs `exec:COMMAND` in the session and gathers what it writes.
std::string exec(SSL *ssl, const std::string &command) {
    if (!sendMessage(ssl, kCommandOpen, 7, 0, "exec:" + command + std::string(1, '\0'))) return "(cannot send)";
    std::string out, payload;
    MessageHeader header;
    while (readMessage(ssl, &header, &payload)) {
        if (header.command == kCommandWrte) {
            out += payload;
            sendMessage(ssl, kCommandOkay, 7, header.arg0);
        } else if (header.command == kCommandClse) {
            sendMessage(ssl, kCommandClse, 7, header.arg0);
            return out;
        }
    }
    return out + "(cut off)";
}

PhoneSimOptions wirelessPhone(const QString &folder) {
    PhoneSimOptions options;
    options.folder = folder;
    options.attach = Attach::None;
    options.model = "Wireless_Sim";
    options.wirelessDebugging = true;
    return options;
}

std::string otherCode(const QString &code) { return QString::number((code.toInt() + 1) % 1000000).rightJustified(6, '0').toStdString(); }

} // namespace

TEST(WirelessDebugging, OnlyAHostThatPairedWithTheCodeGetsAdbOverTlsWithTheSameServices) {
    TempFolder folder;
    PhoneSim phone(wirelessPhone(folder.path()));
    const auto &screen = phone.wirelessDebugging();
    ASSERT_TRUE(QRegularExpression("^[0-9]{6}$").match(screen.pairingCode).hasMatch()) << screen.pairingCode.toStdString();
    ASSERT_TRUE(screen.pairingAddress.startsWith("127.0.0.1:") && screen.connectAddress.startsWith("127.0.0.1:"));
    ASSERT_NE(screen.pairingAddress, screen.connectAddress);

    // A wrong code fails on both sides and pairs nothing; the code stays valid.
    const HostKey host, stranger;
    const Pairing wrong = pair(host, screen.pairingAddress, otherCode(screen.pairingCode));
    EXPECT_FALSE(wrong.guid);
    EXPECT_TRUE(wrong.phoneHungUp);
    TlsSession unpaired;
    open(host, screen.connectAddress, &unpaired);
    EXPECT_EQ(unpaired.banner, "");
    EXPECT_TRUE(unpaired.caNames.empty());

    const Pairing paired = pair(host, screen.pairingAddress, screen.pairingCode.toStdString());
    ASSERT_TRUE(paired.guid);
    EXPECT_TRUE(QRegularExpression("^adb-[A-Z0-9]+-[A-Za-z0-9]{6}$").match(QString::fromStdString(*paired.guid)).hasMatch())
        << *paired.guid;
    TlsSession session;
    open(host, screen.connectAddress, &session);
    EXPECT_EQ(session.stlsVersion, kStlsVersion);
    EXPECT_EQ(session.caNames, std::vector<std::string>{hashName(host)});
    ASSERT_EQ(session.banner.rfind("device::", 0), 0u) << session.banner;
    EXPECT_NE(session.banner.find("ro.product.model=Wireless_Sim"), std::string::npos);
    TlsSession refused; // another host needs pairing of its own
    open(stranger, screen.connectAddress, &refused);
    EXPECT_EQ(refused.banner, "");

    // A few MiB through the relay, against the flow control.
    QByteArray big(3 * 1024 * 1024 + 17, '\0');
    for (int i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 251);
    QFile file(folder.file("big.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(big) == big.size());
    file.close();
    EXPECT_EQ(exec(session.ssl.get(), "getprop ro.product.model"), "Wireless_Sim\n");
    EXPECT_EQ(exec(session.ssl.get(), "dd if=/sdcard/big.bin bs=1048576 2>/dev/null"), big.toStdString());
}

// ------------------------------------------------------- with the real adb

class WirelessDebuggingAdb : public ::testing::Test {
protected:
    void SetUp() override {
        startAdbServer();
        const int major = adbMajorVersion();
        if (major < 30)
            GTEST_SKIP() << "adb pair needs adb 30 or newer; this adb is version " << major
                         << " (Debian 13's adb, or Debian 12's from its backports, has it)";
    }
    TempFolder folder_;
};

TEST_F(WirelessDebuggingAdb, PairsOnlyWithTheRightCodeThenConnectsOverTlsAndAnUnpairedPhoneRefuses) {
    PhoneSim phone(wirelessPhone(folder_.path()));
    const auto &screen = phone.wirelessDebugging();
    const auto wrong = runAdb({"pair", screen.pairingAddress, QString::fromStdString(otherCode(screen.pairingCode))});
    EXPECT_FALSE(wrong.output.contains("Successfully paired")) << wrong.output.toStdString();
    EXPECT_NE(wrong.exitCode, 0) << wrong.output.toStdString();
    const auto pairing = runAdb({"pair", screen.pairingAddress, screen.pairingCode});
    ASSERT_TRUE(pairing.output.contains("Successfully paired to " + screen.pairingAddress)) << pairing.output.toStdString();
    const auto connecting = runAdb({"connect", screen.connectAddress});
    EXPECT_TRUE(connecting.output.contains("connected to " + screen.connectAddress)) << connecting.output.toStdString();
    ASSERT_TRUE(waitForListedState(screen.connectAddress, "device"));
    EXPECT_EQ(runAdb({"-s", screen.connectAddress, "shell", "getprop ro.product.model"}).output, "Wireless_Sim\n");

    // Another phone never paired with this computer.
    TempFolder other;
    PhoneSim stranger(wirelessPhone(other.path()));
    const QString address = stranger.wirelessDebugging().connectAddress;
    runAdb({"connect", address});
    EXPECT_FALSE(waitForListedState(address, "device", std::chrono::seconds(5)));
}
