// The credentials prompt of SSL VPN and OpenVPN profiles: user name, password and
// "Remember Me". Confirm checks that both fields are filled and fit their stored fields,
// writes the user name, the Remember Me choice and, only when Remember Me is checked, the
// password into the profile's OPENVPN row and then reports; a password not to be
// remembered is taken from typedPassword for that connect alone. Close reports that the
// user gave up. Filling the fields in beforehand is the caller's work.
#pragma once

#include "ZRBaseDialog.h"

namespace Ui {
class AccountLoginDialog;
}

class AccountLoginDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    AccountLoginDialog(int configId, int vpnType, QWidget* parent = nullptr);
    ~AccountLoginDialog() override;

    void setUserName(const QString& text);
    void setPassword(const QString& text);
    void setRememberChecked(bool checked);
    void setWarningVisible(bool visible);
    // The password as typed (its UTF-8 is what openvpn is given).
    QString typedPassword() const;

    // The most bytes of UTF-8 text that the stored user name and password each hold.
    static constexpr int kMaxCredentialBytes = 127;

signals:
    void signalClose();
    void signalConfirm();

protected slots:
    void slotButtonClicked();
    void slotLineEditClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // True when both fields are filled, fit and hold text that is stored as typed; each
    // field that does not gets a red frame.
    bool validateInput();
    // Writes the typed user name, the Remember Me choice and the password (empty when it
    // is not to be remembered) into the OPENVPN row; true when the row was read and written.
    bool storeCredentials();
    // The placeholders' colour, "#9BA1AA", while the prompt is active.
    void applyPlaceholderColor();
    // Wraps a shown warning that is wider than its row onto further lines and makes the row
    // (and so the body) as high as they need.
    void fitWarning();

    Ui::AccountLoginDialog* ui;
    int configId;
    int vpnType;
};
