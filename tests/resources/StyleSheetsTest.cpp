// The two application style sheets: they load without a Qt warning, every image they
// name is in the bundle, they address every object the client's forms give them, and
// a dialog body takes the colours of its mode.
#include "BareApp.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << message;
}

QString readSheet(const char* path) {
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

struct Sheet {
    const char* path;
    bool dark;
};

const Sheet kSheets[] = {{KORVA_STYLESHEET_NORMAL, false}, {KORVA_STYLESHEET_DARK, true}};

class StyleSheetsTest : public ::testing::TestWithParam<Sheet> {
protected:
    static void SetUpTestSuite() {
        guitest::bareApp();
        korvaInitResources();
        korvaLoadBrandFonts();
    }
    void TearDown() override { qApp->setStyleSheet(QString()); }
};

// A small window with the widgets every dialog shares, named as the forms name them.
struct DialogFixture {
    QWidget window;
    QWidget* body;
    QLabel* title;
    QPushButton* cancel;

    DialogFixture() {
        window.setObjectName(QStringLiteral("ZRErrorDialog"));
        window.resize(568, 300);
        auto* outer = new QVBoxLayout(&window);
        body = new QWidget(&window);
        body->setObjectName(QStringLiteral("dialogWidget"));
        body->setAttribute(Qt::WA_StyledBackground);
        outer->addWidget(body);
        auto* layout = new QVBoxLayout(body);
        layout->setContentsMargins(24, 24, 24, 24);
        title = new QLabel(QStringLiteral("Error"), body);
        title->setObjectName(QStringLiteral("labelTitle"));
        layout->addWidget(title);
        auto* close = new QPushButton(body);
        close->setObjectName(QStringLiteral("btnClose"));
        layout->addWidget(close);
        auto* content = new QLabel(QStringLiteral("message"), body);
        content->setObjectName(QStringLiteral("labelContent"));
        layout->addWidget(content);
        cancel = new QPushButton(QStringLiteral("Cancel"), body);
        cancel->setObjectName(QStringLiteral("btnCancel"));
        layout->addWidget(cancel);
        auto* confirm = new QPushButton(QStringLiteral("Retry"), body);
        confirm->setObjectName(QStringLiteral("btnConfirm"));
        confirm->setEnabled(false);
        layout->addWidget(confirm);
        auto* combo = new QComboBox(body);
        combo->addItems({QStringLiteral("English"), QStringLiteral("Deutsch")});
        layout->addWidget(combo);
        auto* edit = new QLineEdit(body);
        layout->addWidget(edit);
        auto* remember = new QCheckBox(QStringLiteral("Remember Me"), body);
        remember->setObjectName(QStringLiteral("btnRemember"));
        remember->setChecked(true);
        layout->addWidget(remember);
        auto* toggle = new QRadioButton(body);
        layout->addWidget(toggle);
        auto* tree = new QTreeWidget(body);
        tree->setObjectName(QStringLiteral("activeProfileTreeWidget"));
        tree->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("office")}));
        layout->addWidget(tree);
        auto* log = new QTextEdit(body);
        log->setObjectName(QStringLiteral("logContentWidget"));
        layout->addWidget(log);
        auto* scroll = new QScrollArea(body);
        scroll->setWidget(new QLabel(QStringLiteral("long\n\n\n\n\n\n\n\n\n\n\n\ntext")));
        scroll->setFixedHeight(60);
        layout->addWidget(scroll);
        auto* line = new QFrame(body);
        line->setObjectName(QStringLiteral("line"));
        line->setFrameShape(QFrame::HLine);
        layout->addWidget(line);
    }
};

TEST_P(StyleSheetsTest, AppliesWithoutQtWarnings) {
    const QString sheet = readSheet(GetParam().path);
    ASSERT_FALSE(sheet.isEmpty());
    DialogFixture fixture;
    fixture.window.show();
    g_warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    qApp->setStyleSheet(sheet);
    const QImage shot = fixture.window.grab().toImage();
    qInstallMessageHandler(previous);
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(QStringLiteral("\n")).toStdString();
}

TEST_P(StyleSheetsTest, DialogBodyTakesTheColoursOfItsMode) {
    DialogFixture fixture;
    fixture.window.show();
    qApp->setStyleSheet(readSheet(GetParam().path));
    const QImage shot = fixture.body->grab().toImage();
    // A point inside the body, clear of the rounded corner and of every child.
    const QColor body = shot.pixelColor(shot.width() - 4, shot.height() / 2);
    EXPECT_EQ(body.name(), GetParam().dark ? QStringLiteral("#262f3e") : QStringLiteral("#ffffff"));
    const QColor text = fixture.title->palette().color(QPalette::WindowText);
    EXPECT_EQ(text.name(), GetParam().dark ? QStringLiteral("#ffffff") : QStringLiteral("#1d2529"));
    EXPECT_EQ(fixture.title->font().family(), QStringLiteral(KORVA_BRAND_FONT_FAMILY));
}

TEST_P(StyleSheetsTest, EveryImageItNamesIsInTheBundle) {
    const QString sheet = readSheet(GetParam().path);
    QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    int images = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext(); ++images) {
        const QString path = it.next().captured(1).trimmed();
        EXPECT_TRUE(path.startsWith(QStringLiteral(KORVA_IMAGE_DIR))) << path.toStdString();
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
    EXPECT_GT(images, 30);
}

TEST_P(StyleSheetsTest, ColoursAreWellFormed) {
    // #RGB, #RRGGBB or #AARRGGBB; a slip of one digit would make Qt drop the colour silently.
    const QString sheet = readSheet(GetParam().path);
    QRegularExpression hex(QStringLiteral("#([0-9A-Fa-f]+)\\b(?![\\w-])"));
    for (auto it = hex.globalMatch(sheet); it.hasNext();) {
        const auto match = it.next();
        const int digits = match.captured(1).size();
        EXPECT_TRUE(digits == 3 || digits == 6 || digits == 8) << match.captured(0).toStdString();
    }
    EXPECT_EQ(sheet.count(QLatin1Char('{')), sheet.count(QLatin1Char('}')));
}

// Selectors that each sheet carries for the objects the forms name.
const char* const kSelectorsInBoth[] = {
    "QWidget#centralWidget",
    "QWidget#dialogWidget",
    "QPushButton#btnClose",
    "QPushButton#btnMin",
    "QPushButton#btnMin:hover",
    "QPushButton#btnCancel",
    "QPushButton#btnCancel:hover",
    "QPushButton#btnConfirm",
    "QPushButton#btnConfirm:hover",
    "QPushButton#btnConfirm:disabled",
    "QScrollBar:vertical",
    "QScrollBar::handle:vertical",
    "QComboBox::drop-down",
    "QComboBox QAbstractItemView",
    "QLabel#labelTabTitle",
    "QLabel#labelTitle",
    "QLabel#labelContent",
    "QLineEdit:focus",
    "QLineEdit:disabled",
    "QCheckBox#btnRemember::indicator:checked",
    "QCheckBox#btnRemember::indicator:unchecked",
    "QHeaderView QCheckBox::indicator:checked",
    "QHeaderView QCheckBox::indicator:unchecked",
    "QPushButton#btnGenKeys",
    "ZRVPNClient QPushButton#btnQuit",
    "ZRVPNClient QLabel#appLogo",
    "ZRVPNClient QWidget#ZRVPNClientWidget",
    "ZRVPNClient QWidget#naviWidget",
    "ZRVPNClient QWidget#topWidget",
    "ZRVPNClient QWidget#rightBottomWidget",
    "ZRVPNClient QRadioButton",
    "ZRVPNClient QPushButton#btnHome",
    "ZRVPNClient QPushButton#btnProfile",
    "ZRVPNClient QPushButton#btnSetting",
    "ZRVPNClient QPushButton#btnHome:checked",
    "HomeWidget QWidget#connectWidget",
    "HomeWidget QWidget#trafficWidget",
    "HomeWidget QWidget#profileWidget",
    "HomeWidget QWidget#profileInfoWidget",
    "HomeWidget QPushButton#btnSelectProfile",
    "HomeWidget QPushButton#btnSelectProfile:hover",
    "HomeWidget QPushButton#btnConnect",
    "HomeWidget QPushButton#btnConnect:hover",
    "HomeWidget QLabel",
    "HomeWidget QLabel#labelConnectStatus",
    "HomeWidget QLabel#labelConnTime",
    "ActiveProfileDialog QTreeWidget#activeProfileTreeWidget",
    "ActiveProfileDialog QTreeWidget#activeProfileTreeWidget::item",
    "AccountLoginDialog QWidget#widgetAccount",
    "AccountLoginDialog QWidget#widgetPassword",
    "AccountLoginDialog QLineEdit#lineEditAccount",
    "AccountLoginDialog QLineEdit#lineEditPassword",
    "AccountLoginDialog QPushButton#btnShowPwd",
    "AccountLoginDialog QPushButton#btnShowPwd:checked",
    "AccountLoginDialog QPushButton#btnLogin",
    "AccountLoginDialog QLabel#labelUserIcon",
    "AccountLoginDialog QLabel#labelPWDIcon",
    "ProfileWidget QPushButton#btnExport:disabled",
    "ProfileWidget QPushButton#btnImport",
    "ProfileWidget QPushButton#btnAddProfile",
    "ProfileWidget QTreeWidget#profileTreeWidget",
    "ProfileWidget QHeaderView::section",
    "ZRInputIpLineEdit QLineEdit",
    "ProfileConfigDialog QScrollArea#scrollArea",
    "ProfileConfigDialog QRadioButton#btnDPD::indicator",
    "ProfileConfigDialog QRadioButton#btnWireGuardFullTraffic::indicator:checked",
    "ProfileConfigDialog QWidget#widgetKeepAlive",
    "ProfileConfigDialog QPushButton#btnShowPwd",
    "ProfileConfigDialog QPushButton#btnSSLShowPwd",
    "SettingWidget QLabel",
    "SettingWidget QWidget#connectionSettingWidget",
    "SettingWidget QWidget#systemSettingWidget",
    "SettingWidget QPushButton#btnLogs",
    "SettingWidget QPushButton#btnLogs:hover",
    "SettingWidget QRadioButton",
    "SettingWidget QRadioButton::indicator:unchecked",
    "SettingWidget QRadioButton::indicator:checked:hover",
    "SettingLogDialog QTextEdit#logContentWidget",
    "VPNMenuDialog QWidget#menuWidget",
    "VPNMenuDialog QPushButton#btnConnect",
    "VPNMenuDialog QPushButton#btnShow",
    "VPNMenuDialog QPushButton#btnQuit",
    "VPNMenuDialog QPushButton#btnConnect:disabled",
    // The home page's button is disabled while a tunnel ends: both modes show it.
    "HomeWidget QPushButton#btnConnect:disabled",
    "VPNMenuDialog QFrame#line",
    "VPNMenuDialog QFrame#line_2",
    "VPNMenuDialog QLabel#labelProfile",
};

TEST_P(StyleSheetsTest, AddressesEveryObjectTheFormsName) {
    const QString sheet = readSheet(GetParam().path);
    for (const char* selector : kSelectorsInBoth)
        EXPECT_TRUE(sheet.contains(QString::fromLatin1(selector))) << selector;
    const bool dark = GetParam().dark;
    EXPECT_EQ(sheet.contains(QStringLiteral("HomeWidget QLabel#labelServerIP")), !dark);
    EXPECT_EQ(sheet.contains(QStringLiteral("HomeWidget QLabel#label_0")), dark);
    // Both sheets size the tray pop-up's status rows; only the dark one colours them.
    EXPECT_EQ(sheet.contains(QStringLiteral(
                  "VPNMenuDialog QLabel#labelStatusTitle, VPNMenuDialog QLabel#labelTimeTitle")),
              dark);
    EXPECT_EQ(sheet.contains(QStringLiteral("QWidget#SettingWidget")), dark);
    EXPECT_EQ(sheet.contains(QStringLiteral("Microsoft YaHei")), !dark);
}

TEST_P(StyleSheetsTest, SectionsStandInTheirOrder) {
    const QString sheet = readSheet(GetParam().path);
    const char* const firsts[] = {"QWidget#dialogWidget",
                                  "ZRVPNClient QPushButton#btnQuit",
                                  "HomeWidget QWidget#connectWidget",
                                  "ProfileWidget QPushButton#btnExport",
                                  "SettingWidget QLabel",
                                  "VPNMenuDialog QWidget#menuWidget"};
    int last = -1;
    for (const char* first : firsts) {
        const int at = sheet.indexOf(QString::fromLatin1(first));
        EXPECT_GT(at, last) << first;
        last = at;
    }
}

// Stand-ins that carry the class names the sheets select on.
class HomeWidget : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

class ActiveProfileDialog : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

TEST_P(StyleSheetsTest, RulesOfAPageReachOnlyItsOwnWidgets) {
    const bool dark = GetParam().dark;
    HomeWidget home;
    home.resize(400, 300);
    auto* layout = new QVBoxLayout(&home);
    auto* card = new QWidget(&home);
    card->setObjectName(QStringLiteral("connectWidget"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setMinimumHeight(100);
    layout->addWidget(card);
    auto* time = new QLabel(QStringLiteral("1h 2m 3s"), &home);
    time->setObjectName(QStringLiteral("labelConnTime"));
    layout->addWidget(time);
    auto* plain = new QLabel(QStringLiteral("IP:"), &home);
    layout->addWidget(plain);

    ActiveProfileDialog chooser;
    auto* chooserLayout = new QVBoxLayout(&chooser);
    auto* named = new QTreeWidget(&chooser);
    named->setObjectName(QStringLiteral("activeProfileTreeWidget"));
    chooserLayout->addWidget(named);
    auto* unnamed = new QTreeWidget(&chooser);
    chooserLayout->addWidget(unnamed);

    // The same card name outside the home page takes no card colour.
    QWidget elsewhere;
    auto* strayCard = new QWidget(&elsewhere);
    strayCard->setObjectName(QStringLiteral("connectWidget"));
    strayCard->setAttribute(Qt::WA_StyledBackground);
    strayCard->resize(50, 50);

    home.show();
    chooser.show();
    elsewhere.show();
    qApp->setStyleSheet(readSheet(GetParam().path));

    const QImage cardShot = card->grab().toImage();
    EXPECT_EQ(cardShot.pixelColor(cardShot.width() / 2, cardShot.height() / 2).name(),
              dark ? QStringLiteral("#1b2535") : QStringLiteral("#ffffff"));
    EXPECT_EQ(time->font().pixelSize(), 22);
    EXPECT_GE(time->font().weight(), static_cast<int>(QFont::Bold));
    EXPECT_EQ(plain->font().pixelSize(), 13);
    EXPECT_EQ(plain->palette().color(QPalette::WindowText).name(QColor::HexArgb),
              dark ? QStringLiteral("#a4ffffff") : QStringLiteral("#ff000000"));

    EXPECT_EQ(named->font().pixelSize(), 13);
    EXPECT_EQ(named->font().family(), QStringLiteral(KORVA_BRAND_FONT_FAMILY));
    EXPECT_NE(unnamed->font().pixelSize(), 13);

    const QImage strayShot = strayCard->grab().toImage();
    EXPECT_NE(strayShot.pixelColor(25, 25).name(),
              dark ? QStringLiteral("#1b2535") : QStringLiteral("#ffffff"));
}

INSTANTIATE_TEST_SUITE_P(BothModes, StyleSheetsTest, ::testing::ValuesIn(kSheets),
                         [](const ::testing::TestParamInfo<Sheet>& info) {
                             return info.param.dark ? std::string("Dark") : std::string("Normal");
                         });

} // namespace

#include "StyleSheetsTest.moc"
