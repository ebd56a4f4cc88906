#include "AccountLoginDialog.h"

#include <QEvent>
#include <QPalette>
#include <QShowEvent>
#include <algorithm>

#include "AppConstants.h"
#include "AppContext.h"
#include "OpenVPNContext.h"
#include "StrUtils.h"
#include "SystemContext.h"
#include "TextFit.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"
#include "ui_AccountLoginDialog.h"

namespace {

const int kShadowBlurRadius = 24;
// The form's height of the warning's row.
const int kWarningRowHeight = 30;
const char* const kPlaceholderColor = "#9BA1AA";
const char* const kFrameFocused = "#widgetPassword, #widgetAccount{border:1px solid "
                                  "#04B0FF}QLineEdit{border:none}QLabel:QLineEdit{border:none}";
const char* const kFrameNone = "#widgetPassword, #widgetAccount{border:none}";
const char* const kFrameInvalid = "#widgetPassword, #widgetAccount{border:1px solid red }";

bool isOpenVPNKind(int type) {
    return type == VPN_TYPE_SSLVPN || type == VPN_TYPE_OPENVPN;
}

void setPlaceholderColor(QLineEdit* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Active, QPalette::PlaceholderText, QColor(QLatin1String(kPlaceholderColor)));
    edit->setPalette(palette);
}

} // namespace

AccountLoginDialog::AccountLoginDialog(int configId, int vpnType, QWidget* parent)
    : ZRBaseDialog(parent), ui(new Ui::AccountLoginDialog), configId(configId), vpnType(vpnType) {
    ui->setupUi(this);
    setFramelessStyle();
    setShadow(ui->dialogWidget, kShadowBlurRadius);

    applyPlaceholderColor();

    ui->btnShowPwd->setCheckable(true);

    connect(ui->btnShowPwd, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->btnLogin, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->lineEditAccount, SIGNAL(textChanged(QString)), this, SLOT(slotLineEditClicked()));
    connect(ui->lineEditPassword, SIGNAL(textChanged(QString)), this, SLOT(slotLineEditClicked()));

    ui->lineEditAccount->installEventFilter(this);
    ui->lineEditPassword->installEventFilter(this);

    ui->labelWarning->hide();
    ui->btnShowPwd->hide();
    // The body keeps the form's size as its least and grows downwards for a warning that
    // takes more than one line.
    ui->labelWarning->setWordWrap(true);
    ui->dialogWidget->setMaximumHeight(QWIDGETSIZE_MAX);

    // The keyboard: Return confirms from either field (and while the close button holds the
    // focus, which Space presses); Esc closes the prompt.
    ui->btnClose->setAutoDefault(false);
    ui->btnShowPwd->setAutoDefault(false);
    ui->btnLogin->setDefault(true);
}

AccountLoginDialog::~AccountLoginDialog() {
    delete ui;
}

void AccountLoginDialog::setUserName(const QString& text) {
    ui->lineEditAccount->setText(text);
}

void AccountLoginDialog::setPassword(const QString& text) {
    ui->lineEditPassword->setText(text);
}

void AccountLoginDialog::setRememberChecked(bool checked) {
    ui->btnRemember->setChecked(checked);
}

void AccountLoginDialog::setWarningVisible(bool visible) {
    ui->labelWarning->setVisible(visible);
}

QString AccountLoginDialog::typedPassword() const {
    return ui->lineEditPassword->text();
}

void AccountLoginDialog::applyPlaceholderColor() {
    setPlaceholderColor(ui->lineEditAccount);
    setPlaceholderColor(ui->lineEditPassword);
}

void AccountLoginDialog::fitWarning() {
    QLabel* warning = ui->labelWarning;
    if (warning->isHidden()) {
        return;
    }
    // The warning starts at the boxes' left edge and may take the rest of its row.
    const int room = ui->horizontalWidget_2->width() - warning->x();
    const int width = std::min(TextFit::labelWidth(warning), room);
    warning->setFixedWidth(width);
    ui->horizontalWidget_2->setFixedHeight(std::max(kWarningRowHeight, TextFit::labelHeight(warning, width)));
}

void AccountLoginDialog::showEvent(QShowEvent* event) {
    fitWarning();
    const QRect title(ui->titleWidget->mapTo(this, QPoint(0, 0)), ui->titleWidget->size());
    setDragRect(title);
    // Typing starts in the user name, or in the password once a user name is filled in.
    (ui->lineEditAccount->text().isEmpty() ? ui->lineEditAccount : ui->lineEditPassword)->setFocus();
    ZRBaseDialog::showEvent(event);
    // The style sheet gave the edits its palette when they were polished for this show.
    applyPlaceholderColor();
}

bool AccountLoginDialog::eventFilter(QObject* watched, QEvent* event) {
    QWidget* frame = nullptr;
    if (watched == ui->lineEditAccount) {
        frame = ui->widgetAccount;
    } else if (watched == ui->lineEditPassword) {
        frame = ui->widgetPassword;
    }
    if (frame != nullptr) {
        if (event->type() == QEvent::StyleChange) {
            // A new style sheet (a colour-mode change) replaces the edit's palette.
            setPlaceholderColor(static_cast<QLineEdit*>(watched));
        } else if (event->type() == QEvent::FocusIn) {
            frame->setStyleSheet(QLatin1String(kFrameFocused));
        } else if (event->type() == QEvent::FocusOut) {
            frame->setStyleSheet(QLatin1String(kFrameNone));
        }
    }
    return false;
}

void AccountLoginDialog::slotLineEditClicked() {}

bool AccountLoginDialog::validateInput() {
    bool valid = true;
    bool tooLong = false;
    const struct {
        QLineEdit* edit;
        QWidget* frame;
    } fields[] = {{ui->lineEditAccount, ui->widgetAccount}, {ui->lineEditPassword, ui->widgetPassword}};
    for (const auto& field : fields) {
        const QString text = field.edit->text();
        // The stored field holds 127 bytes of UTF-8: a longer text is refused rather than
        // cut, so that what is stored is always what was typed.
        const bool fits = text.toUtf8().size() <= kMaxCredentialBytes;
        // openvpn reads the user name and the password as two lines of one file: a line
        // break inside either would split them.
        const bool oneLine = !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
        // A NUL would cut the stored text and a lone surrogate has no UTF-8: either would
        // store something other than what was typed.
        const bool storable = !text.contains(QChar(0)) && text.isValidUtf16();
        if (text.isEmpty() || !fits || !oneLine || !storable) {
            field.frame->setStyleSheet(QLatin1String(kFrameInvalid));
            valid = false;
            tooLong = tooLong || !fits;
        }
    }
    if (tooLong) {
        ZRToastDialog::instance()->showToast(this, ZRStringConstant::tr(AppConstants::kCredentialsTooLongKey),
                                             AppConstants::kToastDurationMs);
    }
    return valid;
}

bool AccountLoginDialog::storeCredentials() {
    OpenVPNContext* openvpn = SystemContext::Instance()->GetAppContext()->GetOpenVPNContext();
    OpenVPNInfo info;
    if (openvpn == nullptr || openvpn->GetOpenVPNInfoByID(configId, &info) != 0) {
        return false;
    }
    // The record read carries no ID of its own: the row is written back under the profile's.
    info.ID = configId;
    info.RememberMe = ui->btnRemember->isChecked() ? 1 : 0;
    const QByteArray user = ui->lineEditAccount->text().toUtf8();
    // A password the user asked not to keep is not kept, not even one remembered before.
    const QByteArray password = info.RememberMe != 0 ? ui->lineEditPassword->text().toUtf8() : QByteArray();
    // Both fit: validateInput has refused longer texts.
    Utf8CopyBounded(info.UserName, sizeof(info.UserName), user.constData());
    Utf8CopyBounded(info.UserPwd, sizeof(info.UserPwd), password.constData());
    return openvpn->UpdateOpenVPNInfo(&info, 1) == 0;
}

void AccountLoginDialog::slotButtonClicked() {
    QObject* source = sender();
    if (source == ui->btnClose) {
        emit signalClose();
        close();
    } else if (source == ui->btnShowPwd) {
        ui->lineEditPassword->setEchoMode(ui->btnShowPwd->isChecked() ? QLineEdit::Normal
                                                                      : QLineEdit::Password);
    } else if (source == ui->btnLogin) {
        if (!validateInput()) {
            return;
        }
        if (isOpenVPNKind(vpnType) && !storeCredentials()) {
            return;
        }
        emit signalConfirm();
        close();
    }
}
