#include "SettingLogDialog.h"

#include <QFile>
#include <QTextStream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScreenArea.h"

namespace {
const int kShadowBlurRadius = 24;
const double kScreenShare = 0.9;
} // namespace

SettingLogDialog::SettingLogDialog(QWidget* parent) : ZRBaseDialog(parent) {
    ui.setupUi(this);
    setFramelessStyle();
    setShadow(ui.dialogWidget, kShadowBlurRadius);

    // A screen lower than the form: the dialog takes most of it instead.
    const QSize fitted = fittedMinimumSize(availableAreaOf(this), minimumSize());
    if (fitted != minimumSize()) {
        setMinimumSize(fitted);
        setGeometry(QRect(geometry().topLeft(), fitted));
    }

    connect(ui.btnClose, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
}

SettingLogDialog::~SettingLogDialog() = default;

QSize SettingLogDialog::fittedMinimumSize(const QRect& available, const QSize& minimum) {
    // No screen to measure (an area of no size) keeps the form's minimum as well.
    if (available.isEmpty() || available.height() >= minimum.height()) {
        return minimum;
    }
    return QSize(static_cast<int>(available.width() * kScreenShare),
                 static_cast<int>(available.height() * kScreenShare));
}

void SettingLogDialog::loadLogFile(const char* path) {
    // The client runs as root: a link at the path is not followed, and only a regular file
    // is read (a FIFO would never answer).
    const int fd = path != nullptr ? ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1;
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Text, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    QTextStream stream(&file);
    // Plain text: a log line that looks like markup shows as it was written.
    ui.logContentWidget->setPlainText(stream.readAll());
    file.close();
}

void SettingLogDialog::showEvent(QShowEvent* event) {
    setDragRect(QRect(ui.titleWidget->mapTo(this, QPoint(0, 0)), ui.titleWidget->size()));
    ZRBaseDialog::showEvent(event);
}

void SettingLogDialog::slotButtonClicked() {
    if (sender() == ui.btnClose) {
        close();
    }
}
