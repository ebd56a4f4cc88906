#include "ZRInputIpLineEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QRegExp>
#include <QRegExpValidator>

namespace {
const char* const kOctetPattern = "([0-9]|[1-9][0-9]|1[0-9][0-9]|2[0-4][0-9]|25[0-5])";
const char* const kAddressPattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";
const char* const kFocusedStyle = "ZRInputIpLineEdit{border:1px solid #04B0FF}";
const char* const kUnfocusedStyle = "ZRInputIpLineEdit{border:none}";
const int kOctetCount = 4;
const int kLastOctet = kOctetCount - 1;
const int kOctetMax = 255;
// The ideographic full stop that Chinese input methods commit for ".".
const QChar kIdeographicFullStop(0x3002);
} // namespace

ZRInputIpLineEdit::ZRInputIpLineEdit(QWidget* parent) : QLineEdit(parent) {
    const QRegExp octetExpression(QString::fromLatin1(kOctetPattern));
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(2, 2, 2, 2);

    QLabel* dots[kLastOctet];
    for (QLabel*& dot : dots) {
        dot = new QLabel(QStringLiteral("."), this);
    }
    for (QLineEdit*& octet : octetEdits) {
        octet = new QLineEdit(this);
        octet->setFrame(false);
        octet->setMaxLength(3);
        octet->setAlignment(Qt::AlignCenter);
        octet->installEventFilter(this);
        octet->setValidator(new QRegExpValidator(octetExpression, this));
        octet->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        octet->setStyleSheet(QStringLiteral("QLineEdit{padding:0px}"));
    }
    for (int i = 0; i < kOctetCount; ++i) {
        layout->addWidget(octetEdits[i]);
        if (i < kLastOctet) {
            layout->addWidget(dots[i]);
        }
    }
    setReadOnly(true);
    for (QLineEdit* octet : octetEdits) {
        connect(octet, SIGNAL(textChanged(QString)), this, SLOT(IpTextChanged(QString)));
    }
}

ZRInputIpLineEdit::~ZRInputIpLineEdit() = default;

bool ZRInputIpLineEdit::isValidIp(const QString& address) {
    QRegExp expression(QString::fromLatin1(kAddressPattern));
    return expression.exactMatch(address);
}

void ZRInputIpLineEdit::fillOctets(const QString& address) {
    const QStringList parts = address.split(QLatin1Char('.'));
    for (int i = 0; i < kOctetCount && i < parts.size(); ++i) {
        octetEdits[i]->setText(parts.at(i));
    }
}

void ZRInputIpLineEdit::setIpAddress(const QString& address) {
    if (!isValidIp(address)) {
        QMessageBox::warning(this, QStringLiteral("Attention"), QStringLiteral("Your IP Address is Invalid!"),
                             QMessageBox::Ok);
        return;
    }
    fillOctets(address);
}

QString ZRInputIpLineEdit::ipAddress() const {
    QStringList parts;
    for (QLineEdit* octet : octetEdits) {
        parts.append(octet->text());
    }
    const QString address = parts.join(QLatin1Char('.'));
    return address == QLatin1String("...") ? QString() : address;
}

void ZRInputIpLineEdit::clearIpAddress() {
    for (QLineEdit* octet : octetEdits) {
        octet->setText(QString());
    }
}

int ZRInputIpLineEdit::octetIndex(QObject* object) const {
    for (int i = 0; i < kOctetCount; ++i) {
        if (octetEdits[i] == object) {
            return i;
        }
    }
    return -1;
}

void ZRInputIpLineEdit::IpTextChanged(QString text) {
    emit lineEidtTextChanged();
    const int index = octetIndex(sender());
    if (text.length() >= 3 && index >= 0 && index < kLastOctet) {
        octetEdits[index + 1]->setFocus();
    }
}

void ZRInputIpLineEdit::focusOctet(int index, int cursorPosition) {
    QLineEdit* octet = octetEdits[index];
    octet->setFocus();
    octet->setCursorPosition(cursorPosition < 0 ? octet->text().length() : cursorPosition);
}

bool ZRInputIpLineEdit::eventFilter(QObject* watched, QEvent* event) {
    const int i = octetIndex(watched);
    if (i < 0) {
        return QObject::eventFilter(watched, event);
    }
    QLineEdit* octet = octetEdits[i];
    const bool atStart = octet->cursorPosition() == 0;
    const bool atEnd = octet->cursorPosition() == octet->text().length();

    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if (keyEvent->modifiers() == Qt::ControlModifier && key == Qt::Key_V) {
            const QString clip = QApplication::clipboard()->text();
            if (isValidIp(clip)) {
                fillOctets(clip);
                // The octets hold the address now; pasting it into the focused one as
                // well would add its first digits to that octet.
                return true;
            }
        } else if (key == Qt::Key_Left) {
            if (atStart && i > 0) {
                focusOctet(i - 1, -1);
            }
        } else if (key == Qt::Key_Right) {
            if (atEnd && i < kLastOctet) {
                focusOctet(i + 1, 0);
            }
        } else if (key == Qt::Key_Backspace) {
            // Moves only; the next Backspace deletes in the previous octet.
            if ((octet->text().isEmpty() || atStart) && i > 0) {
                focusOctet(i - 1, -1);
            }
        } else if (key == Qt::Key_Period) {
            if (atEnd && !octet->text().isEmpty() && i < kLastOctet) {
                focusOctet(i + 1, 0);
            }
        } else if (key >= Qt::Key_0 && key <= Qt::Key_9 && !octet->hasSelectedText()) {
            const QString text = octet->text();
            const int value = text.toInt();
            if (text.length() == 3 || value * 10 > kOctetMax) {
                // The octet is full: the digit is refused here, the next octet selected.
                if (i < kLastOctet) {
                    octetEdits[i + 1]->setFocus();
                    octetEdits[i + 1]->selectAll();
                }
            } else if (key == Qt::Key_0 && text.length() == 2 && value * 10 < kOctetMax && value != 0 &&
                       !atStart) {
                // Typing 0 inside two digits ("25" -> "205"); in front of them it would
                // make a leading zero, which the octet's own validator refuses.
                QString withZero = text;
                withZero.insert(octet->cursorPosition(), QLatin1Char('0'));
                octet->setText(withZero);
            }
        }
        break;
    }
    case QEvent::InputMethod: {
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        const bool isStop = committed == QLatin1String(".") || committed == QString(kIdeographicFullStop);
        if (isStop && atEnd && !octet->text().isEmpty() && i < kLastOctet) {
            focusOctet(i + 1, 0);
        }
        break;
    }
    case QEvent::FocusIn:
        setStyleSheet(QString::fromLatin1(kFocusedStyle));
        break;
    case QEvent::FocusOut:
        setStyleSheet(QString::fromLatin1(kUnfocusedStyle));
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ZRInputIpLineEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
}
