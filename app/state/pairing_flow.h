#pragma once

#include <QObject>
#include <QString>
#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

class AdbService;
class AppViewModel;

// Pairing a phone by the code its Wireless debugging screen shows, then
// connecting to it: the three fields of the page, whether this adb can pair
// at all, and how the last attempt went. Lives on the UI thread as a child of
// its view model; a phone it connects joins the model's list like any
// Wi-Fi phone.
class PairingFlow : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pairingAddress READ pairingAddress WRITE setPairingAddress NOTIFY pairingAddressChanged)
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    Q_PROPERTY(QString connectAddress READ connectAddress WRITE setConnectAddress NOTIFY connectAddressChanged)
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(Support support READ support NOTIFY supportChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    enum class Phase { idle, running, finished };
    Q_ENUM(Phase)
    enum class Outcome { paired, pairedNotConnected, wrongCode, unreachable, wrongCodeOrUnreachable, refused, tooOld, badInput, failed };
    Q_ENUM(Outcome)
    // unknown: not asked yet, or the tool's answer could not be read.
    enum class Support { unknown, ready, tooOld };
    Q_ENUM(Support)

    PairingFlow(std::shared_ptr<AdbService> adb, AppViewModel &model);

    const QString &pairingAddress() const { return pairingAddress_; }
    // Also fills the connect address's host while it still follows this one:
    // the phone pairs and connects on one address, at two ports.
    void setPairingAddress(const QString &address);
    const QString &code() const { return code_; }
    void setCode(const QString &code);
    const QString &connectAddress() const { return connectAddress_; }
    void setConnectAddress(const QString &address);

    Phase phase() const { return phase_; }
    // Of the last finished attempt.
    const std::optional<Outcome> &outcome() const { return outcome_; }
    // Progress while running, then the outcome in the user's words.
    const QString &message() const { return message_; }
    Support support() const { return support_; }

    // Asks the tool its release, once; an old adb turns support to tooOld
    // and message to why and how to get a newer one.
    QCoro::Task<> checkSupport();
    // Checks the fields, pairs, then connects. After "paired but not
    // connected" a second run with the same pairing address and code only
    // connects: the phone keeps the pairing and a code works once.
    QCoro::Task<> pair();

    static QString tooOldText(std::optional<int> release);

signals:
    void pairingAddressChanged();
    void codeChanged();
    void connectAddressChanged();
    void phaseChanged();
    void supportChanged();
    void messageChanged();
    // Every attempt's end, also one that ends as the last one did.
    void attemptFinished();

private:
    void setPhase(Phase phase);
    void setSupport(Support support);
    void setMessage(const QString &message);
    void finish(Outcome outcome, const QString &message);

    std::shared_ptr<AdbService> adb_;
    AppViewModel &model_;
    QString pairingAddress_;
    QString code_;
    QString connectAddress_;
    Phase phase_ = Phase::idle;
    std::optional<Outcome> outcome_;
    QString message_;
    Support support_ = Support::unknown;
    // The pairing address and code that last paired.
    std::optional<std::pair<QString, QString>> pairedWith_;
};
