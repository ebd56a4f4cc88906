#include "ZRLoadingPie.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "Compositing.h"

namespace {
const int kTickMs = 50;
const int kDotCount = 10;
const QColor kDotColor(52, 115, 246, 255);
} // namespace

ZRLoadingPie::ZRLoadingPie(QWidget* parent, int mode) : QDialog(parent, Qt::WindowFlags()), mode(mode) {
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&timer, SIGNAL(timeout()), this, SLOT(slotUpdataLoading()));
    // A compositing manager that starts or stops while the spinner shows.
    connect(Compositing::instance(), &Compositing::changed, this, [this] {
        if (isVisible()) {
            takeUnderlay();
            update();
        }
    });
    if (mode == ModeLarge) {
        setFixedSize(80, 100);
        auto* caption = new QLabel(QStringLiteral("Loading..."), this);
        caption->setStyleSheet(QStringLiteral("    color: #A3A4A7;\n    font:16px ;\n"));
        caption->move(10, 80);
    } else if (mode == ModeSmall) {
        setFixedSize(24, 24);
    }
}

ZRLoadingPie::~ZRLoadingPie() = default;

void ZRLoadingPie::slotStartLoading() {
    step = 0;
    timer.start(kTickMs);
}

void ZRLoadingPie::slotUpdataLoading() {
    step = step + 1 > kDotCount - 1 ? 0 : step + 1;
    update();
}

void ZRLoadingPie::takeUnderlay() {
    // Without a compositing manager the X server would show the transparent square black:
    // the spinner then paints its dots over a picture of what lies beneath it in its
    // parent's window, taken where it is shown (it moves with that window).
    underlay = QPixmap();
    if (parentWidget() != nullptr && !Compositing::instance()->blendsFor(this)) {
        QWidget* beneath = parentWidget()->window();
        underlay = beneath->grab(QRect(beneath->mapFromGlobal(pos()), size()));
    }
}

void ZRLoadingPie::showEvent(QShowEvent* event) {
    takeUnderlay();
    raise();
    if (mode == ModeLarge || mode == ModeSmall) {
        QDialog::showEvent(event);
    }
}

void ZRLoadingPie::closeEvent(QCloseEvent*) {
    timer.stop();
}

void ZRLoadingPie::paintEvent(QPaintEvent*) {
    int radius;
    qreal largest, shrink, offset;
    if (mode == ModeLarge) {
        radius = (width() - 24) / 2;
        largest = 16;
        shrink = 1.2;
        offset = 8;
    } else if (mode == ModeSmall) {
        radius = (width() - 7) / 2;
        largest = 4.8;
        shrink = 0.32;
        offset = 2.4;
    } else {
        return;
    }
    QPainter painter(this);
    if (!underlay.isNull()) {
        painter.drawPixmap(0, 0, underlay);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(width() >> 1, height() >> 1);
    for (int i = 0; i < kDotCount; ++i) {
        painter.setBrush(QBrush(kDotColor, Qt::SolidPattern));
        const qreal angle = (i - step) * M_PI / 5;
        // The dots shrink toward the top-left corner of their first size's square.
        const int x = static_cast<int>(radius * qSin(angle));
        const int y = static_cast<int>(radius * qCos(angle));
        const qreal size = largest - shrink * i;
        QPainterPath path;
        path.addEllipse(x - offset, y - offset, size, size);
        painter.fillPath(path, painter.brush());
    }
}
