// The widget kit's pictures.
#include "Shots.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ZRErrorDialog.h"
#include "ZRHeaderView.h"
#include "ZRInputIpLineEdit.h"
#include "ZRLoadingPie.h"
#include "ZRPageNavigator.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"

using namespace shots;

namespace {

// Carries the Profiles page's class name, by which the style sheets select its rules.
class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

} // namespace

KORVA_SHOTS(widgets) {
    {
        ZRErrorDialog dialog;
        dialog.setButtonsVisible(true);
        save(QStringLiteral("error-prompt"), picture(&dialog, mode.window, 0));
    }
    {
        ZRErrorDialog dialog;
        dialog.setContent(ZRStringConstant::tr("ZRVPN_TAP_ADAPTER_CREATE_FAILED"));
        save(QStringLiteral("error-prompt-failed"), picture(&dialog, mode.window, 0));
    }
    {
        QWidget anchor;
        anchor.resize(400, 120);
        anchor.show();
        ZRToastDialog* toast = ZRToastDialog::instance();
        toast->showToast(&anchor, QStringLiteral("The profile is currently in use."), 1500);
        save(QStringLiteral("toast"), picture(toast, mode.window));
        toast->hide();
    }
    for (int spinnerMode : {ZRLoadingPie::ModeSmall, ZRLoadingPie::ModeLarge}) {
        ZRLoadingPie spinner(nullptr, spinnerMode);
        save(QLatin1String(spinnerMode == ZRLoadingPie::ModeSmall ? "spinner-small" : "spinner-large"),
             picture(&spinner, mode.window, 8, spinnerMode == ZRLoadingPie::ModeSmall ? 4 : 2));
    }
    struct PagerShot {
        const char* name;
        int total, page, buttons;
    };
    for (const PagerShot& shot :
         {PagerShot{"pager-3-pages", 20, 1, 3}, PagerShot{"pager-15-pages", 100, 7, 7},
          PagerShot{"pager-empty", 0, 1, 1}}) {
        auto* pager = new ZRPageNavigator(nullptr, true, false, mode.colorMode);
        pager->setupPages(shot.total, 7, shot.page, shot.buttons);
        QWidget* host = card(mode, pager, 720);
        save(QLatin1String(shot.name), picture(host, mode.window));
        host->close();
    }
    {
        auto* pager = new ZRPageNavigator(nullptr, true, true, mode.colorMode);
        pager->setupPages(100, 7, 15, 7);
        QWidget* host = card(mode, pager, 820);
        save(QStringLiteral("pager-goto"), picture(host, mode.window));
        host->close();
    }
    {
        // The header as the Profiles page shows it: its list and the page's rules.
        auto* page = new ProfileWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* list = new QTreeWidget;
        list->setObjectName(QStringLiteral("profileTreeWidget"));
        auto* header = new ZRHeaderView(0, 2, Qt::Horizontal);
        list->setHeader(header);
        list->setColumnCount(3);
        list->setHeaderLabels({QString(), QStringLiteral("PROFILE NAME"), QStringLiteral("TYPE")});
        list->setRootIsDecorated(false);
        for (int row = 0; row < 3; ++row) {
            list->addTopLevelItem(new QTreeWidgetItem(
                {QString(), QStringLiteral("Profile %1").arg(row + 1), QStringLiteral("Openvpn")}));
        }
        header->resizeSection(0, 48);
        header->resizeSection(1, 200);
        header->setCheckEx(true);
        list->setFixedSize(420, 220);
        layout->addWidget(list);
        QWidget* host = card(mode, page, 460);
        save(QStringLiteral("header"), picture(host, mode.window, 16, 2));
        host->close();
    }
    for (bool focused : {false, true}) {
        auto* inner = new QWidget;
        auto* layout = new QHBoxLayout(inner);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* field = new ZRInputIpLineEdit;
        field->setFixedSize(166, 32);
        field->setIpAddress(QStringLiteral("192.168.1.10"));
        layout->addWidget(new QLabel(QStringLiteral("Server IP")));
        layout->addWidget(field);
        QWidget* host = card(mode, inner, 320);
        host->show();
        settle();
        // Filling the octets moves the focus along them; the plain picture has none.
        if (focused) {
            host->activateWindow();
            field->findChild<QLineEdit*>()->setFocus();
        } else if (QWidget* focus = QApplication::focusWidget()) {
            focus->clearFocus();
        }
        save(QLatin1String(focused ? "ip-editor-focused" : "ip-editor"), picture(host, mode.window, 16, 2));
        host->close();
    }
}

#include "shots_widgets.moc"
