#include "ActiveProfileDialog.h"

#include <QEvent>
#include <QMouseEvent>
#include <QTreeWidgetItem>

#include <utility>

#include "ActiveProfileTreeDelegate.h"
#include "AppContext.h"
#include "PaintedShadow.h"
#include "ProfileSummary.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"
#include "ui_ActiveProfileDialog.h"

namespace {

const int kShadowBlurRadius = 24;

using Role = ActiveProfileTreeDelegate::Role;

// A profile's row: what the row painter and the dialog ask of it, kept in the row's own
// fields rather than set role by role into the item's data (an opening makes a row for
// each of thousands of profiles). It answers as an item with that data set would: the
// kind also as the display text, the server and the kind only for a kind of 1 to 4.
class ProfileRow : public QTreeWidgetItem {
public:
    ProfileRow(QString name, int id, QString server, QString kind, bool knownKind)
        : QTreeWidgetItem(UserType), name(std::move(name)), server(std::move(server)), kind(std::move(kind)),
          id(id), knownKind(knownKind) {}

    QVariant data(int column, int role) const override {
        if (column == 0) {
            switch (role) {
            case Role::NameRole:
                return name;
            case Role::ProfileIdRole:
                return id;
            case Role::ServerRole:
                return knownKind ? QVariant(server) : QVariant();
            case Qt::DisplayRole:
            case Role::KindRole:
                return knownKind ? QVariant(kind) : QVariant();
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

private:
    const QString name;
    const QString server;
    const QString kind;
    const int id;
    const bool knownKind;
};

} // namespace

ActiveProfileDialog::ActiveProfileDialog(QWidget* parent)
    : ZRBaseDialog(parent), ui(new Ui::ActiveProfileDialog) {
    ui->setupUi(this);
    setFramelessStyle();
    setShadow(ui->dialogWidget, kShadowBlurRadius);
    // The body is opaque and holds everything inside its rounding: its shadow is made once
    // per size and colour mode for all the openings of the chooser.
    PaintedShadow::of(ui->dialogWidget)->setSharedBody(QStringLiteral("ActiveProfileDialog"));

    // Every row is as high as the style sheet's item rule makes it: the list need not ask
    // each of thousands of rows for its height to place the one it shows selected.
    ui->activeProfileTreeWidget->setUniformRowHeights(true);
    delegate = new ActiveProfileTreeDelegate(ui->activeProfileTreeWidget);
    delegate->setColorMode(SystemContext::GetSettingManager()->colorMode());
    ui->activeProfileTreeWidget->setItemDelegate(delegate);

    connect(this, SIGNAL(signalColorModeChanged(int)), delegate, SLOT(slotColorModeChanged(int)));
    connect(ui->activeProfileTreeWidget, SIGNAL(itemClicked(QTreeWidgetItem*, int)), this,
            SLOT(slotItemClicked(QTreeWidgetItem*, int)));
    connect(ui->btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->btnCancel, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui->btnConfirm, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));

    // The keyboard: the list passes Return on to the dialog, where it confirms the selected
    // row, also while Close or Cancel holds the focus (Space presses those); Esc cancels.
    ui->btnClose->setAutoDefault(false);
    ui->btnCancel->setAutoDefault(false);
    ui->btnConfirm->setDefault(true);

    loadProfileList();
}

ActiveProfileDialog::~ActiveProfileDialog() {
    delete ui;
}

void ActiveProfileDialog::setCurrentProfileName(const QString& name) {
    profileName = name;
}

QString ActiveProfileDialog::currentProfileName() const {
    return profileName;
}

void ActiveProfileDialog::loadProfileList() {
    QTreeWidget* tree = ui->activeProfileTreeWidget;
    tree->clear();
    // The profiles and what each row shows of its kind's record come in one read of the
    // store (a read per profile made a long list slow to open). Where that read fails, a
    // kind's table cannot be read: the records are read one by one, so that only the
    // profiles of that kind are left out.
    std::vector<ProfileSummary> summaries;
    std::vector<int> reads;
    if (ReloadProfileListWithSummaries(summaries) == 0) {
        reads.assign(summaries.size(), PROFILE_SUMMARY_OK);
    } else {
        if (ReloadProfileList() != 0) {
            return;
        }
        const std::vector<ProfileInfo>& stored =
            *SystemContext::Instance()->GetAppContext()->GetProfileList();
        summaries.resize(stored.size());
        reads.resize(stored.size());
        for (size_t i = 0; i < stored.size(); ++i) {
            reads[i] = ReadProfileSummary(stored[i], &summaries[i]);
        }
    }
    AppContext* app = SystemContext::Instance()->GetAppContext();
    const std::vector<ProfileInfo>& list = *app->GetProfileList();
    QString kindLabels[VPN_TYPE_WIREGUARD + 1];
    for (int kind = VPN_TYPE_IPSEC; kind <= VPN_TYPE_WIREGUARD; ++kind) {
        kindLabels[kind] = ZRStringConstant::tr(VPNTypeLabelKey(kind));
    }
    // The rows go in at once: one insert into the list's model instead of one per row.
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(list.size()) + 1);
    for (size_t i = 0; i < list.size(); ++i) {
        const ProfileInfo& profile = list[i];
        // A profile whose record cannot be read cannot be shown or connected; the rows
        // after it still are.
        if (reads[i] == PROFILE_SUMMARY_UNREADABLE) {
            continue;
        }
        const bool knownKind = VPNTypeLabelKey(profile.ProfileType) != nullptr;
        auto* item = new ProfileRow(ProfileNameText(profile), profile.ProfileID, summaries[i].serverIP,
                                    knownKind ? kindLabels[profile.ProfileType] : QString(), knownKind);
        items.append(item);
    }
    auto* addRow = new QTreeWidgetItem;
    addRow->setData(0, ActiveProfileTreeDelegate::AddRowRole, true);
    items.append(addRow);
    tree->addTopLevelItems(items);
}

void ActiveProfileDialog::showEvent(QShowEvent* event) {
    QTreeWidget* tree = ui->activeProfileTreeWidget;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        if (item->data(0, ActiveProfileTreeDelegate::NameRole).toString() == profileName) {
            tree->setCurrentItem(item);
            break;
        }
    }
    // The arrow keys move through the rows from the start.
    tree->setFocus();
    ZRBaseDialog::showEvent(event);
}

void ActiveProfileDialog::slotButtonClicked() {
    QObject* source = sender();
    if (source == ui->btnClose || source == ui->btnCancel) {
        close();
    } else if (source == ui->btnConfirm) {
        confirmChoice();
    }
}

void ActiveProfileDialog::confirmChoice() {
    QTreeWidgetItem* current = ui->activeProfileTreeWidget->currentItem();
    if (current == nullptr) {
        return;
    }
    profileName = current->data(0, ActiveProfileTreeDelegate::NameRole).toString();
    if (ReloadProfileList() != 0) {
        return;
    }
    const std::vector<ProfileInfo>& list = *SystemContext::Instance()->GetAppContext()->GetProfileList();
    for (size_t i = 0; i < list.size(); ++i) {
        if (ProfileNameText(list[i]) != profileName) {
            continue;
        }
        ProfileSummary summary;
        if (ReadProfileSummary(list[i], &summary) != PROFILE_SUMMARY_OK) {
            return;
        }
        // The position in the list just read, which the home page indexes with.
        rowIndex = static_cast<int>(i);
        vpnType = list[i].ProfileType;
        configId = list[i].ConfigID;
        serverIP = summary.serverIP;
        localIP = summary.localIP;
        subMask = summary.subMask;
        emit signalProfileChoosed(rowIndex, profileName, vpnType, configId, serverIP, localIP, subMask);
        close();
        return;
    }
}

void ActiveProfileDialog::slotAccountConfirm() {
    emit signalProfileChoosed(rowIndex, profileName, vpnType, configId, serverIP, localIP, subMask);
    close();
}

void ActiveProfileDialog::slotItemClicked(QTreeWidgetItem* item, int column) {
    if (item != nullptr && item->data(column, ActiveProfileTreeDelegate::AddRowRole).toBool()) {
        SystemContext::GetSettingManager()->notifyAddNewProfile();
        close();
    }
}

void ActiveProfileDialog::changeEvent(QEvent* event) {
    if (event->type() != QEvent::StyleChange) {
        return;
    }
    const int mode = SystemContext::GetSettingManager()->colorMode();
    if (mode == lastColorMode) {
        return;
    }
    lastColorMode = mode;
    emit signalColorModeChanged(mode);
    ZRBaseDialog::changeEvent(event);
}

void ActiveProfileDialog::mousePressEvent(QMouseEvent* event) {
    dragPosition = event->globalPos();
}

void ActiveProfileDialog::mouseMoveEvent(QMouseEvent* event) {
    const QPoint delta = event->globalPos() - dragPosition;
    dragPosition = event->globalPos();
    move(pos() + delta);
}

void ActiveProfileDialog::mouseReleaseEvent(QMouseEvent* event) {
    move(pos() + event->globalPos() - dragPosition);
}
