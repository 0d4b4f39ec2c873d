#include "app/state/pairing_flow.h"

#include "app/adb/adb_error.h"
#include "app/adb/adb_service.h"
#include "app/adb/pairing_input.h"
#include "app/state/app_view_model.h"

#include <QPointer>

#include <exception>
#include <utility>

namespace {

// HOST and PORT put back together; nothing at all while both are empty.
QString joinAddress(const QString &host, const QString &port) {
    return host.isEmpty() && port.isEmpty() ? QString() : host + QLatin1Char(':') + port;
}

} // namespace

PairingFlow::PairingFlow(std::shared_ptr<AdbService> adb, AppViewModel &model)
    : QObject(&model), adb_(std::move(adb)), model_(model) {}

void PairingFlow::setPairingAddress(const QString &address) {
    if (address == pairingAddress_) return;
    const QString followedHost = addressHost(pairingAddress_);
    pairingAddress_ = address;
    emit pairingAddressChanged();
    // A host the user typed into the connect field stays.
    if (connectAddress_.isEmpty() || addressHost(connectAddress_) == followedHost)
        setConnectAddress(joinAddress(addressHost(address), addressPort(connectAddress_)));
}

void PairingFlow::setCode(const QString &code) {
    if (code == code_) return;
    code_ = code;
    emit codeChanged();
}

void PairingFlow::setConnectAddress(const QString &address) {
    if (address == connectAddress_) return;
    connectAddress_ = address;
    emit connectAddressChanged();
}

QString PairingFlow::tooOldText(std::optional<int> release) {
    const QString which = release ? QStringLiteral("This adb (version %1)").arg(*release) : QStringLiteral("This adb");
    return which + QStringLiteral(" can't pair: pairing needs adb 30 or later. On Debian 12, add bookworm-backports "
                                  "to your apt sources, then run \u201Csudo apt install -t bookworm-backports adb\u201D.");
}

QCoro::Task<> PairingFlow::checkSupport() {
    if (support_ != Support::unknown) co_return;
    const QPointer<PairingFlow> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    std::optional<int> release;
    try {
        release = co_await adb->release();
    } catch (...) {
        co_return; // a missing tool speaks for itself when pairing is tried
    }
    if (!self) co_return;
    if (release && *release < firstPairingAdbRelease) {
        setSupport(Support::tooOld);
        finish(Outcome::tooOld, tooOldText(release));
    } else if (release) {
        setSupport(Support::ready);
    }
}

QCoro::Task<> PairingFlow::pair() {
    if (phase_ == Phase::running) co_return;
    const QPointer<PairingFlow> self(this);
    const std::shared_ptr<AdbService> adb = adb_;

    const CheckedInput address = checkPhoneAddress(pairingAddress_);
    const CheckedInput code = checkPairingCode(code_);
    const CheckedInput connectAddress = checkPhoneAddress(connectAddress_);
    for (const auto &[checked, field] : {std::pair{&address, QStringLiteral("Pairing address")},
                                         std::pair{&code, QStringLiteral("Pairing code")},
                                         std::pair{&connectAddress, QStringLiteral("Connect address")}}) {
        if (!checked->ok()) {
            finish(Outcome::badInput, field + QStringLiteral(": ") + checked->problem);
            co_return;
        }
    }

    setPhase(Phase::running);
    const std::pair<QString, QString> attempt{address.value, code.value};
    if (pairedWith_ != attempt) {
        setMessage(QStringLiteral("Pairing\u2026"));
        PairReport report;
        try {
            report = co_await adb->pair(address.value, code.value);
        } catch (...) {
            if (self) finish(Outcome::failed, describeFailure(std::current_exception()));
            co_return;
        }
        if (!self) co_return;
        switch (report.outcome) {
        case PairOutcome::paired:
            pairedWith_ = attempt;
            break;
        case PairOutcome::wrongCode:
            finish(Outcome::wrongCode, QStringLiteral("Wrong code. Check the six digits, or tap \u201CPair device with "
                                                      "pairing code\u201D again for a new one."));
            co_return;
        case PairOutcome::unreachable:
            finish(Outcome::unreachable, QStringLiteral("Couldn't reach the phone at %1. Make sure it is on the same "
                                                        "Wi-Fi and its pairing code is still showing.")
                                             .arg(address.value));
            co_return;
        case PairOutcome::wrongCodeOrUnreachable:
            finish(Outcome::wrongCodeOrUnreachable,
                   QStringLiteral("Couldn't pair with %1. Check the six digits and the address against the phone's "
                                  "screen, and that the phone is on the same Wi-Fi.")
                       .arg(address.value));
            co_return;
        case PairOutcome::tooOld:
            setSupport(Support::tooOld);
            finish(Outcome::tooOld, tooOldText(std::nullopt));
            co_return;
        case PairOutcome::refused:
            finish(Outcome::refused, report.text.isEmpty() ? QStringLiteral("The phone didn't pair.")
                                                           : QStringLiteral("The phone didn't pair: ") + report.text);
            co_return;
        }
    }

    setMessage(QStringLiteral("Connecting\u2026"));
    ConnectReport connected;
    try {
        connected = co_await adb->connect(connectAddress.value);
    } catch (...) {
        connected.connected = false;
    }
    if (!self) co_return;
    if (!connected.connected) {
        finish(Outcome::pairedNotConnected,
               QStringLiteral("Paired, but couldn't connect to %1. Check the IP address and port on the Wireless "
                              "debugging screen, then press Pair again.")
                   .arg(connectAddress.value));
        co_return;
    }
    pairedWith_.reset();
    // The phone joins the list now rather than at the next scan.
    co_await model_.poll();
    if (!self) co_return;
    finish(Outcome::paired, QStringLiteral("Paired and connected. Your phone is on the list."));
}

void PairingFlow::setPhase(Phase phase) {
    if (phase == phase_) return;
    phase_ = phase;
    emit phaseChanged();
}

void PairingFlow::setSupport(Support support) {
    if (support == support_) return;
    support_ = support;
    emit supportChanged();
}

void PairingFlow::setMessage(const QString &message) {
    if (message == message_) return;
    message_ = message;
    emit messageChanged();
}

void PairingFlow::finish(Outcome outcome, const QString &message) {
    outcome_ = outcome;
    setMessage(message);
    setPhase(Phase::finished);
    emit attemptFinished();
}
