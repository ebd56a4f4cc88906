#include "ProfileWidget.h"

#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QLayoutItem>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "DeleteProfileDialog.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "OpenVPNContext.h"
#include "PaintedShadow.h"
#include "PixelFont.h"
#include "ProfileEditorOpener.h"
#include "ProfilePageConstants.h"
#include "ProfileTreeDelegate.h"
#include "SystemContext.h"
#include "TextFit.h"
#include "TunnelPaths.h"
#include "WireGuardContext.h"
#include "ZRHeaderView.h"
#include "ZRPageNavigator.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

using namespace ProfilePage;

namespace {

const char* const kMeasureFontFamily = "Halvex Vento";
// The name title is measured at 9 pt, weight 500; the buttons' texts at 14 pt, weight 400;
// both at their pixel sizes on a 96-dpi screen, whatever the desktop's dpi.
const int kTitleFontPointSize = 9;
const int kButtonFontPointSize = 14;

int textWidth(const QFont& font, const QString& text) {
    return QFontMetrics(font).boundingRect(QRect(), Qt::AlignLeft, text).width();
}

bool connectionBusy(int status) {
    return status == CONNECT_STATUS_CONNECTING || status == CONNECT_STATUS_CONNECTED;
}

// A profile name that can stand as a file name in its configuration folder: nothing that
// would lead the path out of it.
bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f) {
            return false;
        }
    }
    return true;
}

// Removes folder/name+extension when the folder exists and the path names a regular file.
// The outcome is not looked at: a file that is already gone is no failure.
void removeConfigFile(const char* folder, const QString& name, const char* extension) {
    const QString dir = QString::fromUtf8(folder);
    if (!isPlainFileName(name) || !QDir(dir).exists()) {
        return;
    }
    const QString path = dir + QLatin1Char('/') + name + QString::fromUtf8(extension);
    if (QFileInfo(path).isFile()) {
        QFile::remove(path);
    }
}

} // namespace

ProfileWidget::ProfileWidget(QWidget* parent) : QWidget(parent) {
    ui.setupUi(this);
    // The list is read before the list widget gets its header, arrows and rows: its row
    // height is a style sheet of its own, which costs least while the widget holds nothing.
    const bool listRead = readProfileList() == 0;
    if (listRead) {
        setRowStyle(appContext()->GetProfileList()->empty() ? kPlaceholderRowStyle : kRowStyle);
    }
    // The pager's records text is whole in every language: its place keeps the form's
    // width as the least and grows with it.
    ui.pageWidget->setMaximumWidth(QWIDGETSIZE_MAX);
    TextFit::widenWithContent(ui.pageWidget);

    delegate = new ProfileTreeDelegate(ui.profileTreeWidget);
    ui.profileTreeWidget->setItemDelegate(delegate);

    initHeaderView();
    initPageNavigator();

    connect(ui.btnAddProfile, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnImport, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnExport, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(delegate, SIGNAL(signalEditButtonClicked(int)), this, SLOT(slotEditButtonClicked(int)));
    connect(delegate, SIGNAL(signalDeleteButtonClicked(int)), this, SLOT(slotDeleteButtonClicked(int)));
    connect(delegate, SIGNAL(signalConnectButtonClicked(int)), this, SLOT(slotConnectButtonClicked(int)));

    if (listRead) {
        initProfileList();
    }
    fitButtonWidths();
}

ProfileWidget::~ProfileWidget() {
    delete pageNavigator;
    delete delegate;
    delete sortUpButton;
    delete sortDownButton;
}

AppContext* ProfileWidget::appContext() {
    return SystemContext::Instance()->GetAppContext();
}

QString ProfileWidget::kindLabel(int vpnType) {
    switch (vpnType) {
    case VPN_TYPE_IPSEC:
        return ZRStringConstant::tr("ZRVPN_IPSEC_VPN");
    case VPN_TYPE_SSLVPN:
        return ZRStringConstant::tr("ZRVPN_SSL_TUNNEL_VPN");
    case VPN_TYPE_OPENVPN:
        return ZRStringConstant::tr("ZRVPN_OPEN_VPN");
    case VPN_TYPE_WIREGUARD:
        return ZRStringConstant::tr("ZRVPN_WIREGUARD_VPN");
    default:
        return QString();
    }
}

int ProfileWidget::buttonCount(int profiles) {
    const int pages = profiles / kPageSize + (profiles % kPageSize != 0 ? 1 : 0);
    return pages == 0 ? 1 : std::min(pages, kMaxPagerButtons);
}

// Header, arrows and columns

void ProfileWidget::initHeaderView() {
    headerTitles =
        QStringList{QString(), ZRStringConstant::tr("ZRVPN_PROFILE_NAME"),
                    ZRStringConstant::tr("ZRVPN_PROFILE_TYPE"), ZRStringConstant::tr("ZRVPN_PROFILE_ACTION")};
    auto* header = new ZRHeaderView(-1, -1, Qt::Horizontal, nullptr);
    ui.profileTreeWidget->setHeader(header);
    ui.profileTreeWidget->setHeaderLabels(headerTitles);
    for (int i = 0; i < header->count(); ++i) {
        header->setSectionResizeMode(i, QHeaderView::Fixed);
    }
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The first column is narrower than the header's own minimum, which follows the widest
    // glyph of its font.
    header->setMinimumSectionSize(kFirstColumnWidth);

    sortUpButton = new QPushButton(ui.profileTreeWidget);
    sortDownButton = new QPushButton(ui.profileTreeWidget);
    for (QPushButton* arrow : {sortUpButton, sortDownButton}) {
        arrow->setFixedSize(kArrowSize, kArrowSize);
        connect(arrow, SIGNAL(clicked()), this, SLOT(slotSortBtnClicked()));
    }
    applySortImages();
}

void ProfileWidget::applySortImages() {
    const int shade = colorMode == COLOR_MODE_DARK ? 1 : 0;
    SetWidgetStyleSheet(sortUpButton, QString::fromLatin1(kSortUpStyle[sortState][shade]));
    SetWidgetStyleSheet(sortDownButton, QString::fromLatin1(kSortDownStyle[sortState][shade]));
}

void ProfileWidget::setColumnWidths(QTreeWidget* list, int count, int width,
                                    const QMap<int, int>& fixedWidths) {
    int remaining = width;
    for (auto it = fixedWidths.constBegin(); it != fixedWidths.constEnd(); ++it) {
        remaining -= it.value();
    }
    const int shared = count - fixedWidths.size();
    for (int column = 0; column < count; ++column) {
        if (fixedWidths.contains(column)) {
            list->setColumnWidth(column, fixedWidths.value(column));
        } else if (shared > 0) {
            list->setColumnWidth(column, remaining / shared);
        }
    }
}

void ProfileWidget::placeSortArrows() {
    const QFont font = pixelFont(QString::fromLatin1(kMeasureFontFamily), kTitleFontPointSize, QFont::Medium);
    const int x = kFirstColumnWidth + textWidth(font, headerTitles.value(kColumnName)) + kArrowGap;
    sortUpButton->move(x, kArrowUpBottom - sortUpButton->height());
    sortDownButton->move(x, kArrowDownTop);
}

void ProfileWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    const QMap<int, int> fixedWidths{{0, kFirstColumnWidth}, {kColumnAction, kActionColumnWidth}};
    setColumnWidths(ui.profileTreeWidget, headerTitles.size(), ui.profileTreeWidget->width(), fixedWidths);
    placeSortArrows();
}

void ProfileWidget::setDropShadow() {
    // Painted beneath the list by the page from an image made once per size: a graphics
    // effect would render the whole list into an image of its own on every change of a row.
    PaintedShadow* shadow = PaintedShadow::of(ui.profileTreeWidget);
    if (shadow == nullptr) {
        shadow = new PaintedShadow(ui.profileTreeWidget, kListCornerRadius);
        shadow->setOffset(QPointF(0, 2));
        shadow->setBlurRadius(kShadowBlurRadius);
    }
    shadow->setColor(QColor(QString::fromLatin1(colorMode == COLOR_MODE_DARK ? kShadowDark : kShadowLight)));
}

void ProfileWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) {
        const int mode = SystemContext::GetSettingManager()->colorMode();
        if (mode != colorMode) {
            colorMode = mode;
            delegate->setColorMode(mode);
            pageNavigator->setColorMode(mode);
            applySortImages();
            setDropShadow();
        }
    } else if (event->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
        relayoutTexts();
    }
    QWidget::changeEvent(event);
}

void ProfileWidget::fitButtonWidths() {
    // Each button takes its text's width in the brand font at 14 points and its margin;
    // where that leaves the text too little room in the font and padding that the style
    // sheet gives the button (Export's disabled look has its picture beside the text), it
    // takes the room its text needs.
    const QFont font = pixelFont(QString::fromLatin1(kMeasureFontFamily), kButtonFontPointSize);
    TextFit::fixWidth(ui.btnExport, textWidth(font, ui.btnExport->text()) + kExportExtraWidth,
                      TextFit::buttonWidth(ui.btnExport));
    TextFit::fixWidth(ui.btnImport, textWidth(font, ui.btnImport->text()) + kImportExtraWidth,
                      TextFit::buttonWidth(ui.btnImport));
    TextFit::fixWidth(ui.btnAddProfile, textWidth(font, ui.btnAddProfile->text()) + kAddExtraWidth,
                      TextFit::buttonWidth(ui.btnAddProfile));
}

void ProfileWidget::relayoutTexts() {
    headerTitles =
        QStringList{QString(), ZRStringConstant::tr("ZRVPN_PROFILE_NAME"),
                    ZRStringConstant::tr("ZRVPN_PROFILE_TYPE"), ZRStringConstant::tr("ZRVPN_PROFILE_ACTION")};
    ui.profileTreeWidget->setHeaderLabels(headerTitles);
    placeSortArrows();
    pageNavigator->updateRecordsLabel(static_cast<int>(appContext()->GetProfileList()->size()), kPageSize);

    fitButtonWidths();

    // The rows' kind labels follow the language; the kind itself stays in the row.
    for (int i = 0; i < ui.profileTreeWidget->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui.profileTreeWidget->topLevelItem(i);
        if (item->data(kColumnName, kRoleProfileID).toInt() != kPlaceholderID) {
            item->setText(kColumnType, kindLabel(item->data(kColumnName, kRoleProfileType).toInt()));
        }
    }
}

// Reading and filling

int ProfileWidget::readProfileList() {
    AppContext* app = appContext();
    app->ClearProfileList();
    const int result = app->GetSqlite()->GetProfileList(*app->GetProfileList());
    if (result != 0) {
        ZRWLog(6, 3, kReadFailedLine, result);
    }
    listRead = result == 0;
    return result;
}

void ProfileWidget::setRowStyle(const char* style) {
    // A new style sheet repolishes the list: only when the height changes.
    const QString sheet = QString::fromLatin1(style);
    if (ui.profileTreeWidget->styleSheet() != sheet) {
        ui.profileTreeWidget->setStyleSheet(sheet);
    }
}

QTreeWidgetItem* ProfileWidget::createRow(const ProfileInfo& profile, bool connected) const {
    auto* item = new QTreeWidgetItem(QTreeWidgetItem::Type);
    const size_t nameLength = strnlen(profile.ProfileName, sizeof(profile.ProfileName));
    item->setData(kColumnName, kRoleProfileName,
                  QString::fromUtf8(profile.ProfileName, static_cast<int>(nameLength)));
    item->setData(kColumnName, kRoleConfigID, profile.ConfigID);
    item->setData(kColumnName, kRoleProfileID, profile.ProfileID);
    item->setData(kColumnName, kRoleProfileType, profile.ProfileType);
    item->setData(kColumnName, kRoleConnected, connected);
    item->setData(kColumnAction, kRoleConnected, connected);
    item->setText(kColumnType, kindLabel(profile.ProfileType));
    return item;
}

void ProfileWidget::addPlaceholderRow() {
    auto* item = new QTreeWidgetItem(QTreeWidgetItem::Type);
    for (int column = 0; column < kColumnCount; ++column) {
        item->setData(column, kRoleProfileID, kPlaceholderID);
    }
    ui.profileTreeWidget->addTopLevelItem(item);
}

void ProfileWidget::addPageRows(const std::vector<uint32_t>* order) {
    const std::vector<ProfileInfo>& list = *appContext()->GetProfileList();
    const int n = static_cast<int>(list.size());
    int first = 0;
    int end = std::min(n, kPageSize);
    if (currentPage > 0) {
        // A page that lies past the list (its last row deleted, or the list shorter than
        // when the page was chosen) becomes the list's last page.
        const int lastPage = std::max(1, (n + kPageSize - 1) / kPageSize);
        currentPage = std::min(currentPage, lastPage);
        first = kPageSize * (currentPage - 1);
        end = std::min(n, kPageSize * currentPage);
    }
    AppContext* app = appContext();
    const bool busy = connectionBusy(app->GetConnectStatus());
    ProfileInfo current;
    app->GetCurrentProfile(&current);
    QList<QTreeWidgetItem*> items;
    items.reserve(std::max(0, end - first));
    for (int i = first; i < end; ++i) {
        const ProfileInfo& profile =
            list[order != nullptr ? (*order)[static_cast<size_t>(i)] : static_cast<size_t>(i)];
        items.append(createRow(profile, busy && profile.ProfileID == current.ProfileID));
    }
    ui.profileTreeWidget->addTopLevelItems(items);
}

void ProfileWidget::fillFromCachedList() {
    const int n = static_cast<int>(appContext()->GetProfileList()->size());
    if (n == 0) {
        setRowStyle(kPlaceholderRowStyle);
        addPlaceholderRow();
    } else {
        setRowStyle(kRowStyle);
        addPageRows();
    }
    ui.pageWidget->setVisible(n > kPageSize);
    ui.btnExport->setEnabled(n != 0);
}

void ProfileWidget::loadProfileList() {
    ui.profileTreeWidget->clear();
    if (readProfileList() != 0) {
        return;
    }
    fillFromCachedList();
}

void ProfileWidget::initProfileList() {
    ui.profileTreeWidget->clear();
    fillFromCachedList();
    const int n = static_cast<int>(appContext()->GetProfileList()->size());
    if (n != 0) {
        pageNavigator->setupPages(n, kPageSize, 1, buttonCount(n));
    }
}

void ProfileWidget::loadSortedProfileList(const std::vector<uint32_t>* order) {
    if (appContext()->GetProfileList()->empty()) {
        // The plain fill shows the placeholder row.
        loadProfileList();
        return;
    }
    addPageRows(order);
}

int ProfileWidget::updatePageCount(int page) {
    if (readProfileList() != 0) {
        return -1;
    }
    setUpPages(page);
    return 0;
}

void ProfileWidget::setUpPages(int page) {
    const int n = static_cast<int>(appContext()->GetProfileList()->size());
    pageNavigator->setupPages(n, kPageSize, page, buttonCount(n));
}

void ProfileWidget::initPageNavigator() {
    while (QLayoutItem* item = ui.horizontalLayoutPage->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->setParent(nullptr);
            delete widget;
        }
        delete item;
    }
    pageNavigator =
        new ZRPageNavigator(ui.pageWidget, true, false, SystemContext::GetSettingManager()->colorMode());
    connect(pageNavigator, SIGNAL(currentPageChanged(int)), this, SLOT(slotCurrentPageChanged(int)));
    ui.horizontalLayoutPage->addWidget(pageNavigator, 0, Qt::Alignment());
}

void ProfileWidget::slotCurrentPageChanged(int iPage) {
    currentPage = iPage;
    loadProfileList();
    setDropShadow();
}

void ProfileWidget::slotCurrentPage() {
    currentPage = 1;
    initPageNavigator();
    // The list just read sets the pager up: a long list is read once per reload.
    loadProfileList();
    if (listRead) {
        setUpPages(1);
    }
}

void ProfileWidget::slotSortBtnClicked() {
    sortState = (sortState + 1) % 3;
    applySortImages();
    update();

    ui.profileTreeWidget->clear();
    if (readProfileList() != 0) {
        return;
    }
    initPageNavigator();
    // The page shows the sorted order while the cached list keeps the database order, which
    // every other fill shows: the list is read once, not again for the pager.
    std::vector<uint32_t> order;
    if (sortState != 0) {
        order = IPCSqlite::ProfileNameOrder(*appContext()->GetProfileList(), sortState == 2);
    }
    loadSortedProfileList(sortState != 0 ? &order : nullptr);
    if (listRead) {
        setUpPages(currentPage == 0 ? 1 : currentPage);
    }
}

void ProfileWidget::updateConnectStatus(int status) {
    ProfileInfo current;
    appContext()->GetCurrentProfile(&current);
    const bool busy = connectionBusy(status);
    for (int i = 0; i < ui.profileTreeWidget->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui.profileTreeWidget->topLevelItem(i);
        const bool connected = busy && item->data(kColumnName, kRoleProfileID).toInt() == current.ProfileID;
        item->setData(kColumnAction, kRoleConnected, connected);
        item->setData(kColumnName, kRoleConnected, connected);
    }
    ui.profileTreeWidget->viewport()->update();
}

// Row actions

QTreeWidgetItem* ProfileWidget::profileRow(int iIndex) const {
    QTreeWidgetItem* item = ui.profileTreeWidget->topLevelItem(iIndex);
    if (item == nullptr || item->data(kColumnName, kRoleProfileID).toInt() == kPlaceholderID) {
        return nullptr;
    }
    return item;
}

bool ProfileWidget::refuseProfileInUse(const QTreeWidgetItem* item) {
    AppContext* app = appContext();
    ProfileInfo current;
    app->GetCurrentProfile(&current);
    if (!connectionBusy(app->GetConnectStatus()) ||
        item->data(kColumnName, kRoleProfileID).toInt() != current.ProfileID) {
        return false;
    }
    ZRToastDialog::instance()->showToast(this, ZRStringConstant::tr("ZRVPN_PROFILE_IN_USE"), kToastMs);
    return true;
}

void ProfileWidget::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnAddProfile) {
        showAddProfileDialog();
    } else if (button == ui.btnImport) {
        runImport();
    } else if (button == ui.btnExport) {
        runExport();
    }
}

void ProfileWidget::showAddProfileDialog() {
    std::unique_ptr<QDialog> editor(createProfileEditor(this, false, QString(), 0, 0, 0));
    if (!editor) {
        return;
    }
    connect(editor.get(), SIGNAL(signalLoadProfileList()), this, SLOT(slotCurrentPage()));
    editor->exec();
}

void ProfileWidget::openEditor(int iIndex, int vpnType) {
    const QTreeWidgetItem* item = profileRow(iIndex);
    if (item == nullptr) {
        return;
    }
    std::unique_ptr<QDialog> editor(
        createProfileEditor(this, true, item->data(kColumnName, kRoleProfileName).toString(),
                            item->data(kColumnName, kRoleProfileID).toInt(),
                            item->data(kColumnName, kRoleConfigID).toInt(), vpnType));
    if (editor) {
        editor->exec();
    }
}

void ProfileWidget::slotEditButtonClicked(int iIndex) {
    const QTreeWidgetItem* item = profileRow(iIndex);
    if (item == nullptr || refuseProfileInUse(item)) {
        return;
    }
    // The kind comes from the row's data, never from its label, which is in the language
    // that was in force when the row was filled.
    switch (item->data(kColumnName, kRoleProfileType).toInt()) {
    case VPN_TYPE_WIREGUARD:
        slotEditWireGuardVPN(iIndex);
        break;
    case VPN_TYPE_IPSEC:
        slotEditIPSecVPN(iIndex);
        break;
    case VPN_TYPE_SSLVPN:
        slotEditSSLVPN(iIndex);
        break;
    case VPN_TYPE_OPENVPN:
        slotEditOpenVPN(iIndex);
        break;
    default:
        break;
    }
    // A saved change, a new name or a new kind shows; a cancelled editor changes nothing.
    loadProfileList();
}

void ProfileWidget::slotEditWireGuardVPN(int iIndex) {
    openEditor(iIndex, VPN_TYPE_WIREGUARD);
}

void ProfileWidget::slotEditSSLVPN(int iIndex) {
    openEditor(iIndex, VPN_TYPE_SSLVPN);
}

void ProfileWidget::slotEditOpenVPN(int iIndex) {
    openEditor(iIndex, VPN_TYPE_OPENVPN);
}

void ProfileWidget::slotEditIPSecVPN(int iIndex) {
    openEditor(iIndex, VPN_TYPE_IPSEC);
}

void ProfileWidget::slotConnectButtonClicked(int iIndex) {
    if (const QTreeWidgetItem* item = profileRow(iIndex)) {
        emit signalConnectProfile(item->data(kColumnName, kRoleProfileName).toString());
    }
}

void ProfileWidget::slotDeleteButtonClicked(int iIndex) {
    const QTreeWidgetItem* item = profileRow(iIndex);
    if (item == nullptr || refuseProfileInUse(item)) {
        return;
    }
    DeleteProfileDialog dialog(iIndex, item->data(kColumnName, kRoleProfileName).toString(), this);
    connect(&dialog, SIGNAL(signalConfirm(int)), this, SLOT(slotDeleteProfile(int)));
    dialog.exec();
}

void ProfileWidget::slotDeleteProfile(int iIndex) {
    const QTreeWidgetItem* item = profileRow(iIndex);
    // The connection may have started while the question was open.
    if (item == nullptr || refuseProfileInUse(item)) {
        return;
    }
    const int profileID = item->data(kColumnName, kRoleProfileID).toInt();
    ProfileInfo profile;
    if (appContext()->GetSqlite()->GetProfileByID(&profile, profileID) != 0) {
        return;
    }
    bool deleted = false;
    switch (item->data(kColumnName, kRoleProfileType).toInt()) {
    case VPN_TYPE_WIREGUARD:
        deleted = slotDeleteWireGuardVPN(iIndex);
        break;
    case VPN_TYPE_IPSEC:
        deleted = slotDeleteIPSecVPN(iIndex);
        break;
    case VPN_TYPE_SSLVPN:
        deleted = slotDeleteSSLVPN(iIndex);
        break;
    case VPN_TYPE_OPENVPN:
        deleted = slotDeleteOpenVPN(iIndex);
        break;
    default:
        // A kind the program does not know has no kind row to look for.
        profile.ProfileID = profileID;
        deleted = appContext()->GetSqlite()->DeleteProfile(&profile) == 0;
        break;
    }
    if (!deleted) {
        return;
    }
    initPageNavigator();
    loadProfileList();
    if (listRead) {
        setUpPages(currentPage);
    }
}

bool ProfileWidget::deleteProfileOfKind(int iIndex, int vpnType) {
    const QTreeWidgetItem* item = profileRow(iIndex);
    if (item == nullptr) {
        return false;
    }
    const int configID = item->data(kColumnName, kRoleConfigID).toInt();
    const QString name = item->data(kColumnName, kRoleProfileName).toString();
    AppContext* app = appContext();

    // The kind's row is read first: a store that cannot read it deletes nothing.
    int readResult = -1;
    if (vpnType == VPN_TYPE_WIREGUARD) {
        WireGuardVPNInfo info;
        readResult = app->GetWireGuardContext() != nullptr
                         ? app->GetWireGuardContext()->GetWireGuardInfoByID(configID, &info)
                         : -1;
    } else if (vpnType == VPN_TYPE_IPSEC) {
        IPSecVPNInfo info;
        readResult = app->GetIPSecVPNContext() != nullptr
                         ? app->GetIPSecVPNContext()->GetIPSecInfoByID(configID, &info)
                         : -1;
    } else {
        OpenVPNInfo info;
        readResult = app->GetOpenVPNContext() != nullptr
                         ? app->GetOpenVPNContext()->GetOpenVPNInfoByID(configID, &info)
                         : -1;
    }
    if (readResult != 0) {
        return false;
    }

    // Both rows go in one transaction; the file only once they are gone.
    ProfileInfo profile;
    profile.ProfileID = item->data(kColumnName, kRoleProfileID).toInt();
    profile.ProfileType = vpnType;
    profile.ConfigID = configID;
    if (app->GetSqlite()->DeleteProfileWithConfig(&profile) != 0) {
        return false;
    }
    if (vpnType == VPN_TYPE_WIREGUARD) {
        removeConfigFile(TunnelPaths::kWireGuardConfigDir, name, TunnelPaths::kWireGuardConfigExtension);
    } else if (vpnType == VPN_TYPE_SSLVPN || vpnType == VPN_TYPE_OPENVPN) {
        removeConfigFile(TunnelPaths::kOpenVPNConfigDir, name, kOpenVPNConfigExtension);
    }
    return true;
}

bool ProfileWidget::slotDeleteWireGuardVPN(int iIndex) {
    return deleteProfileOfKind(iIndex, VPN_TYPE_WIREGUARD);
}

bool ProfileWidget::slotDeleteSSLVPN(int iIndex) {
    return deleteProfileOfKind(iIndex, VPN_TYPE_SSLVPN);
}

bool ProfileWidget::slotDeleteOpenVPN(int iIndex) {
    return deleteProfileOfKind(iIndex, VPN_TYPE_OPENVPN);
}

bool ProfileWidget::slotDeleteIPSecVPN(int iIndex) {
    return deleteProfileOfKind(iIndex, VPN_TYPE_IPSEC);
}
