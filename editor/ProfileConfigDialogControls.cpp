// The controls that change the form while it is filled in: the remote-subnet rows of every
// page, the full-traffic toggles, the DNS choice, the show-password buttons, the clear-file
// button and, on the IPsec page, AH or ESP and the DPD switch.
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegExpValidator>
#include <QSpacerItem>

#include "EditorTexts.h"
#include "ProfileConfigDialog.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"

using namespace EditorTexts;

namespace {

int childCount(const QWidget* container) {
    return container != nullptr ? container->children().size() : 0;
}

QString subnetLabelText(int number) {
    return ZRStringConstant::tr(kRemoteSubnetKey).arg(number);
}

} // namespace

QList<ZRInputIpLineEdit*> ProfileConfigDialog::rowAddresses(QWidget* container) {
    return container != nullptr ? container->findChildren<ZRInputIpLineEdit*>() : QList<ZRInputIpLineEdit*>();
}

QList<QLineEdit*> ProfileConfigDialog::rowMasks(QWidget* container) {
    return container != nullptr ? container->findChildren<QLineEdit*>(QString::fromLatin1(kSubnetMaskName))
                                : QList<QLineEdit*>();
}

QList<QLabel*> ProfileConfigDialog::rowLabels(QWidget* container) {
    return container != nullptr ? container->findChildren<QLabel*>(QString::fromLatin1(kSubnetLabelName))
                                : QList<QLabel*>();
}

void ProfileConfigDialog::addRemoteSubnetRow(QWidget* container, int ipsecFlag) {
    if (container == nullptr || container->layout() == nullptr) {
        return;
    }
    const int children = childCount(container);
    if (children >= (ipsecFlag == 1 ? kMaxIPSecChildren : kMaxChildren)) {
        return;
    }
    auto* row = new QWidget(container);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(16);

    auto* label = new QLabel(row);
    label->setObjectName(QString::fromLatin1(kSubnetLabelName));
    label->setFixedSize(140, 32);
    // As the form's row labels: a long translation takes a second line.
    label->setWordWrap(true);
    // The layout is the container's first child, so the new row's number is the count before it.
    label->setText(subnetLabelText(children));

    auto* box = new QWidget(row);
    box->setFixedSize(248, 32);
    auto* boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(6);
    auto* address = new ZRInputIpLineEdit(box);
    address->setFixedSize(166, 32);
    connect(address, SIGNAL(lineEidtTextChanged()), this, SLOT(slotIPInputLineEidtClicked()));
    auto* separator = new QLabel(QString::fromLatin1(kSubnetSeparator), box);
    separator->setFixedSize(6, 32);
    auto* mask = new QLineEdit(box);
    mask->setObjectName(QString::fromLatin1(kSubnetMaskName));
    mask->setFixedSize(66, 32);
    mask->setValidator(new QRegExpValidator(QRegExp(QString::fromLatin1(kMaskPattern)), this));
    connect(mask, SIGNAL(textChanged(const QString)), this, SLOT(slotLineEidtClicked()));
    boxLayout->addWidget(address);
    boxLayout->addWidget(separator);
    boxLayout->addWidget(mask);

    auto* remove = new QPushButton(row);
    remove->setFixedSize(24, 24);
    remove->setIcon(QIcon(QString::fromLatin1(kDeleteRowIcon)));
    remove->setIconSize(QSize(24, 24));
    remove->setStyleSheet(QString::fromLatin1(kDeleteRowStyle));
    remove->setCursor(Qt::PointingHandCursor);
    connect(remove, SIGNAL(clicked()), this, SLOT(slotDeleteGateway()));

    rowLayout->addWidget(label);
    rowLayout->addWidget(box);
    rowLayout->addWidget(remove);
    rowLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    container->layout()->addWidget(row);
}

void ProfileConfigDialog::addRowByButton(QWidget* container, QPushButton* addButton, int ipsecFlag) {
    container->show();
    addRemoteSubnetRow(container, ipsecFlag);
    if (childCount(container) > (ipsecFlag == 1 ? kMaxIPSecRows : kMaxRows)) {
        addButton->setEnabled(false);
    }
}

void ProfileConfigDialog::fullTrafficClicked(QRadioButton* toggle, QWidget* container,
                                             QPushButton* addButton) {
    if (toggle->isChecked()) {
        // The rows stay in their container, hidden with it.
        addButton->hide();
        container->hide();
        return;
    }
    if (rowAddresses(container).isEmpty()) {
        addRemoteSubnetRow(container, 0);
        if (childCount(container) > kMaxRows) {
            addButton->setEnabled(false);
        }
    }
    addButton->show();
    container->show();
}

void ProfileConfigDialog::slotDeleteGateway() {
    auto* button = qobject_cast<QWidget*>(sender());
    QWidget* row = button != nullptr ? button->parentWidget() : nullptr;
    QWidget* container = row != nullptr ? row->parentWidget() : nullptr;
    if (row != nullptr && row->isVisible()) {
        // The row leaves its container at once, so that the counts below already miss it;
        // it is destroyed once its delete button has finished its click.
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
        if (container != nullptr) {
            const QList<QLabel*> labels = rowLabels(container);
            for (int i = 0; i < labels.size(); ++i) {
                labels.at(i)->setText(subnetLabelText(i + 1));
            }
        }
    }

    struct Page {
        QWidget* container;
        QPushButton* add;
        QRadioButton* fullTraffic;
    };
    Page page{nullptr, nullptr, nullptr};
    switch (ui.stackedWidgetVPNType->currentIndex()) {
    case 0:
        if (childCount(ui.IPSecGatewayWidget) <= kMaxIPSecRows) {
            ui.btnIPSecAddMoreAddress->setEnabled(true);
        }
        if (childCount(ui.IPSecGatewayWidget) == 1) {
            ui.IPSecGatewayWidget->hide();
        }
        return;
    case 1:
        page = {ui.sslGatewayWidget, ui.btnSSLAddGateway, ui.btnSSLFullTraffic};
        break;
    case 2:
        page = {ui.gatewayWidget, ui.btnAddGateway, ui.btnOpenFullTraffic};
        break;
    case 3:
        page = {ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, ui.btnWireGuardFullTraffic};
        break;
    default:
        return;
    }
    if (childCount(page.container) <= kMaxRows) {
        page.add->setEnabled(true);
    }
    if (childCount(page.container) == 1) {
        // The last row gone: full traffic again, set without running its click.
        page.container->hide();
        page.fullTraffic->setChecked(true);
        page.add->hide();
    }
}

void ProfileConfigDialog::setDnsAutomatic(ZRInputIpLineEdit* dns, bool automatic) {
    dns->setEnabled(!automatic);
    if (automatic) {
        dns->setStyleSheet(QString::fromLatin1(kAddressPlain));
    }
}

void ProfileConfigDialog::clearImportedFile() {
    resetAllFields();
    m_bFileImported = false;
    m_ovpnFilePath.clear();
    ui.btnOpenVPNImport->show();
    ui.widgetFileName->hide();
    m_btnClearFile->hide();
}

void ProfileConfigDialog::slotOpenVPNButtonClicked() {
    QObject* button = sender();
    if (button == m_btnClearFile) {
        clearImportedFile();
    } else if (button == ui.btnOpenAutoIP) {
        setDnsAutomatic(ui.lineEditOpenDNSAddr, true);
    } else if (button == ui.btnOpenManuIP) {
        setDnsAutomatic(ui.lineEditOpenDNSAddr, false);
    } else if (button == ui.btnAddGateway) {
        addRowByButton(ui.gatewayWidget, ui.btnAddGateway, 0);
    } else if (button == ui.btnOpenFullTraffic) {
        fullTrafficClicked(ui.btnOpenFullTraffic, ui.gatewayWidget, ui.btnAddGateway);
    }
    // btnOpenPrompt changes nothing here: its state is read when saving.
}

void ProfileConfigDialog::slotSSLButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnSSLAutoIP) {
        setDnsAutomatic(ui.lineEditSSLDNSAddr, true);
    } else if (button == ui.btnSSLManuIP) {
        setDnsAutomatic(ui.lineEditSSLDNSAddr, false);
    } else if (button == ui.btnSSLAddGateway) {
        addRowByButton(ui.sslGatewayWidget, ui.btnSSLAddGateway, 0);
    } else if (button == ui.btnSSLFullTraffic) {
        fullTrafficClicked(ui.btnSSLFullTraffic, ui.sslGatewayWidget, ui.btnSSLAddGateway);
    }
}

void ProfileConfigDialog::slotIPSecButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnAH) {
        ui.comboBoxAlgrithmTwo->clear();
        ui.comboBoxAlgrithmTwo->addItem(QString::fromLatin1(kNoEncryptionEntry));
        ui.comboBoxAlgrithmTwo->setEnabled(false);
    } else if (button == ui.btnESP) {
        ui.comboBoxAlgrithmTwo->clear();
        int data = 0;
        for (const char* name : kEspEncryptions) {
            ui.comboBoxAlgrithmTwo->addItem(ZRStringConstant::tr(name), data++);
        }
        ui.comboBoxAlgrithmTwo->setEnabled(true);
    } else if (button == ui.btnIPSecAddMoreAddress) {
        addRowByButton(ui.IPSecGatewayWidget, ui.btnIPSecAddMoreAddress, 1);
    } else if (button == ui.btnDPD) {
        ui.DPDPeriodwidget->setVisible(ui.btnDPD->isChecked());
    }
    // The IKE version and tunnel radios are read when saving.
}
