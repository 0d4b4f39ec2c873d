#pragma once

#include <QWidget>

class PairingFlow;
class QLabel;
class QLineEdit;
class StyledButton;

// The page behind "Pair with a code": where the phone shows its code, the
// pairing address, the code and the connect address, a Pair button and how
// the last attempt went. It draws the flow and writes the typed text into it.
class PairingView : public QWidget {
    Q_OBJECT
public:
    explicit PairingView(PairingFlow &flow, QWidget *parent = nullptr);

    QLineEdit *pairingAddressField() const { return pairingAddress_; }
    QLineEdit *codeField() const { return code_; }
    QLineEdit *connectAddressField() const { return connectAddress_; }
    StyledButton *pairButton() const { return pair_; }
    QLabel *messageLabel() const { return message_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showFlow();

    PairingFlow &flow_;
    QLineEdit *pairingAddress_;
    QLineEdit *code_;
    QLineEdit *connectAddress_;
    StyledButton *pair_;
    QLabel *message_;
};
