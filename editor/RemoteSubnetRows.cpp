#include "RemoteSubnetRows.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegExpValidator>
#include <QSpacerItem>
#include <QStringList>
#include <algorithm>
#include <string>

#include "EditorTexts.h"
#include "ProfileConfigDialog.h"
#include "TextFit.h"
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

QString trimmed(const QString& text) {
    std::string bytes = text.toStdString();
    return QString::fromStdString(ProfileConfigDialog::trimString(bytes));
}

} // namespace

RemoteSubnetRows::RemoteSubnetRows(QWidget* container, QPushButton* addButton, QRadioButton* fullTraffic,
                                   QObject* dialog)
    : rowContainer(container), addButton(addButton), fullTraffic(fullTraffic), dialog(dialog) {}

void RemoteSubnetRows::addRow(QWidget* container, int ipsecFlag, QObject* dialog) {
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
    // As the form's row labels: a long translation takes a second line, and the caption
    // stands in the form's caption column, as wide as that column is in this language.
    label->setWordWrap(true);
    // The layout is the container's first child, so the new row's number is the count before it.
    label->setText(subnetLabelText(children));
    const int width =
        std::max(kCaptionWidth, dialog != nullptr ? dialog->property(kCaptionWidthProperty).toInt() : 0);
    label->setFixedSize(width, std::max(kCaptionHeight, TextFit::labelHeight(label, width)));

    auto* box = new QWidget(row);
    box->setFixedSize(248, 32);
    auto* boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(6);
    auto* address = new ZRInputIpLineEdit(box);
    address->setFixedSize(166, 32);
    QObject::connect(address, SIGNAL(lineEidtTextChanged()), dialog, SLOT(slotIPInputLineEidtClicked()));
    auto* separator = new QLabel(QString::fromLatin1(kSubnetSeparator), box);
    separator->setFixedSize(6, 32);
    auto* mask = new QLineEdit(box);
    mask->setObjectName(QString::fromLatin1(kSubnetMaskName));
    mask->setFixedSize(66, 32);
    mask->setValidator(new QRegExpValidator(QRegExp(QString::fromLatin1(kMaskPattern)), dialog));
    QObject::connect(mask, SIGNAL(textChanged(const QString)), dialog, SLOT(slotLineEidtClicked()));
    boxLayout->addWidget(address);
    boxLayout->addWidget(separator);
    boxLayout->addWidget(mask);

    auto* remove = new QPushButton(row);
    remove->setFixedSize(24, 24);
    remove->setIcon(QIcon(QString::fromLatin1(kDeleteRowIcon)));
    remove->setIconSize(QSize(24, 24));
    remove->setStyleSheet(QString::fromLatin1(kDeleteRowStyle));
    remove->setCursor(Qt::PointingHandCursor);
    // Return in the dialog stays Confirm's while the button holds the focus.
    remove->setAutoDefault(false);
    QObject::connect(remove, SIGNAL(clicked()), dialog, SLOT(slotDeleteGateway()));

    rowLayout->addWidget(label);
    rowLayout->addWidget(box);
    rowLayout->addWidget(remove);
    rowLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    container->layout()->addWidget(row);
}

void RemoteSubnetRows::removeRowOf(QWidget* deleteButton) {
    QWidget* row = deleteButton != nullptr ? deleteButton->parentWidget() : nullptr;
    QWidget* container = row != nullptr ? row->parentWidget() : nullptr;
    if (row == nullptr || !row->isVisible()) {
        return;
    }
    // The row leaves its container at once, so that the counts after it already miss it;
    // it is destroyed once its delete button has finished its click.
    row->hide();
    row->setParent(nullptr);
    row->deleteLater();
    if (container != nullptr) {
        const QList<QLabel*> rowLabels = labels(container);
        for (int i = 0; i < rowLabels.size(); ++i) {
            rowLabels.at(i)->setText(subnetLabelText(i + 1));
        }
    }
}

QList<ZRInputIpLineEdit*> RemoteSubnetRows::addresses(QWidget* container) {
    return container != nullptr ? container->findChildren<ZRInputIpLineEdit*>() : QList<ZRInputIpLineEdit*>();
}

QList<QLineEdit*> RemoteSubnetRows::masks(QWidget* container) {
    return container != nullptr ? container->findChildren<QLineEdit*>(QString::fromLatin1(kSubnetMaskName))
                                : QList<QLineEdit*>();
}

QList<QLabel*> RemoteSubnetRows::labels(QWidget* container) {
    return container != nullptr ? container->findChildren<QLabel*>(QString::fromLatin1(kSubnetLabelName))
                                : QList<QLabel*>();
}

QPair<QString, QString> RemoteSubnetRows::split(const QString& item, bool atLast) {
    const int slash = atLast ? item.lastIndexOf(QLatin1Char('/')) : item.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return qMakePair(item, item);
    }
    return qMakePair(item.left(slash), item.mid(slash + 1));
}

int RemoteSubnetRows::ipsecFlag() const {
    return fullTraffic == nullptr ? 1 : 0;
}

void RemoteSubnetRows::addRowUpToLimit() {
    addRow(rowContainer, ipsecFlag(), dialog);
    if (childCount(rowContainer) > (ipsecFlag() == 1 ? kMaxIPSecRows : kMaxRows)) {
        addButton->setEnabled(false);
    }
}

void RemoteSubnetRows::add() {
    rowContainer->show();
    addRowUpToLimit();
}

void RemoteSubnetRows::fullTrafficClicked() {
    if (fullTraffic->isChecked()) {
        // The rows stay in their container, hidden with it.
        addButton->hide();
        rowContainer->hide();
        return;
    }
    if (addresses().isEmpty()) {
        addRowUpToLimit();
    }
    addButton->show();
    rowContainer->show();
}

void RemoteSubnetRows::rowDeleted() {
    if (childCount(rowContainer) <= (ipsecFlag() == 1 ? kMaxIPSecRows : kMaxRows)) {
        addButton->setEnabled(true);
    }
    if (childCount(rowContainer) != 1) {
        return;
    }
    rowContainer->hide();
    if (fullTraffic != nullptr) {
        // The last row gone: full traffic again, set without running its click.
        fullTraffic->setChecked(true);
        addButton->hide();
    }
}

void RemoteSubnetRows::fill(const QList<QPair<QString, QString>>& subnets) {
    rowContainer->show();
    for (int i = 0; i < subnets.size(); ++i) {
        addRowUpToLimit();
    }
    const QList<ZRInputIpLineEdit*> rowAddresses = addresses();
    const QList<QLineEdit*> rowMasks = masks();
    for (int i = 0; i < rowAddresses.size() && i < rowMasks.size() && i < subnets.size(); ++i) {
        ProfileConfigDialog::setLoadedAddress(rowAddresses.at(i), subnets.at(i).first);
        rowMasks.at(i)->setText(subnets.at(i).second);
    }
}

void RemoteSubnetRows::load(const QString& text, bool uncheckFullTraffic) {
    if (text.isEmpty()) {
        fullTraffic->setChecked(true);
        addButton->hide();
        rowContainer->hide();
        return;
    }
    if (uncheckFullTraffic) {
        fullTraffic->setChecked(false);
    }
    addButton->show();
    // As a token split gives them: an empty piece before a comma counts, nothing follows a
    // trailing comma.
    QStringList pieces = text.split(QLatin1Char(','));
    if (pieces.size() > 1 && pieces.last().isEmpty()) {
        pieces.removeLast();
    }
    QList<QPair<QString, QString>> subnets;
    for (const QString& piece : pieces) {
        const QPair<QString, QString> parts = split(piece, true);
        subnets.append(qMakePair(trimmed(parts.first), trimmed(parts.second)));
    }
    fill(subnets);
}
