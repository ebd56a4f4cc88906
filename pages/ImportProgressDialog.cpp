#include "ImportProgressDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "ZRStringConstant.h"

namespace {

// The dialog's body and margins as the program's other prompts have them; room around the
// body for its shadow.
constexpr int kBodyWidth = 520;
constexpr int kShadowMargin = 24;
constexpr int kBodyMargin = 24;
constexpr int kBodySpacing = 16;
constexpr int kTitleHeight = 28;
constexpr int kBarHeight = 8;
constexpr int kShadowBlurRadius = 24;
// How often the dialog looks at the worker's progress.
constexpr int kPollMs = 100;

constexpr const char* kTitleKey = "ZRVPN_IMPORT_PROGRESS_TITLE";
constexpr const char* kReadingKey = "ZRVPN_IMPORT_PROGRESS_READING";
constexpr const char* kCountKey = "ZRVPN_IMPORT_PROGRESS_COUNT";

} // namespace

ImportProgressDialog::ImportProgressDialog(const ImportProgress* progress, QWidget* parent)
    : ZRBaseDialog(parent), progress(progress) {
    setObjectName(QStringLiteral("ImportProgressDialog"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kShadowMargin, kShadowMargin, kShadowMargin, kShadowMargin);
    outer->setSpacing(0);
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("dialogWidget"));
    body->setFixedWidth(kBodyWidth);
    outer->addWidget(body);

    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(kBodyMargin, kBodyMargin, kBodyMargin, kBodyMargin);
    column->setSpacing(kBodySpacing);
    titleWidget = new QWidget(body);
    titleWidget->setObjectName(QStringLiteral("titleWidget"));
    titleWidget->setFixedHeight(kTitleHeight);
    auto* titleRow = new QHBoxLayout(titleWidget);
    titleRow->setContentsMargins(0, 0, 0, 0);
    labelTitle = new QLabel(titleWidget);
    labelTitle->setObjectName(QStringLiteral("labelTitle"));
    titleRow->addWidget(labelTitle);
    column->addWidget(titleWidget);
    labelContent = new QLabel(body);
    labelContent->setObjectName(QStringLiteral("labelContent"));
    labelContent->setWordWrap(true);
    column->addWidget(labelContent);
    bar = new QProgressBar(body);
    bar->setObjectName(QStringLiteral("progressImport"));
    bar->setFixedHeight(kBarHeight);
    bar->setTextVisible(false);
    column->addWidget(bar);

    setFramelessStyle();
    setShadow(body, kShadowBlurRadius);
    follow(true);
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, this, [this] { follow(false); });
    poll.start();
}

ImportProgressDialog::~ImportProgressDialog() = default;

void ImportProgressDialog::finish() {
    finished = true;
    poll.stop();
    accept();
}

void ImportProgressDialog::reject() {
    if (finished) {
        ZRBaseDialog::reject();
    }
}

void ImportProgressDialog::showEvent(QShowEvent* event) {
    setDragRect(QRect(titleWidget->mapTo(this, QPoint(0, 0)), titleWidget->size()));
    ZRBaseDialog::showEvent(event);
}

void ImportProgressDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        follow(true);
    }
    ZRBaseDialog::changeEvent(event);
}

void ImportProgressDialog::follow(bool always) {
    const int stage = progress->stage;
    const int done = progress->done;
    const int total = progress->total;
    if (!always && stage == shownStage && done == shownDone && total == shownTotal) {
        return;
    }
    shownStage = stage;
    shownDone = done;
    shownTotal = total;
    labelTitle->setText(ZRStringConstant::tr(kTitleKey));
    if (stage == ImportProgress::Merging) {
        labelContent->setText(ZRStringConstant::tr(kCountKey).arg(done).arg(total));
        // A file without profiles fills the bar at once.
        bar->setRange(0, total > 0 ? total : 1);
        bar->setValue(total > 0 ? done : 1);
    } else {
        // Deciphering and checking: no count yet, the bar runs to and fro.
        labelContent->setText(ZRStringConstant::tr(kReadingKey));
        bar->setRange(0, 0);
    }
}
