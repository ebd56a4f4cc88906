#include "TunnelRoad.h"

#include <QTimer>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "ConnectionController.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"

TunnelRoad::TunnelRoad(ConnectionController& controller) : controller(controller) {}

TunnelRoad::~TunnelRoad() = default;

bool TunnelRoad::readTraffic(TrafficTotals*) {
    return false;
}

HomeWidget* TunnelRoad::page() const {
    return controller.page;
}

TunnelWorker* TunnelRoad::worker() const {
    return controller.worker;
}

TunnelWorker* TunnelRoad::sampler() const {
    return controller.sampler;
}

int TunnelRoad::currentAttempt() const {
    return controller.attempt;
}

bool TunnelRoad::quitting() const {
    return controller.quitting;
}

bool TunnelRoad::stillConnecting(int attempt) const {
    return controller.attemptStillConnecting(attempt);
}

const ConnectionTimings& TunnelRoad::timings() const {
    return controller.timings();
}

bool TunnelRoad::findSelectedProfile(ProfileInfo* profile) const {
    return controller.findSelectedProfile(profile);
}

void TunnelRoad::showToast(const char* key) const {
    controller.showToast(ZRStringConstant::tr(key));
}

void TunnelRoad::showToast(const char* key, const QString& argument) const {
    controller.showToast(ZRStringConstant::tr(key).arg(argument));
}

void TunnelRoad::forgetConnection() {
    controller.finishDisconnect();
}

QTimer* TunnelRoad::startPoll(QTimer*& timer, const char* name, const char* slot) {
    if (timer == nullptr) {
        timer = new QTimer(&controller);
        timer->setObjectName(QLatin1String(name));
        QObject::connect(timer, SIGNAL(timeout()), &controller, slot);
    }
    timer->start(timings().connectPollMs);
    return timer;
}

bool TunnelRoad::polling(QTimer* timer) {
    return timer != nullptr && timer->isActive();
}

void TunnelRoad::stopPoll(QTimer* timer) {
    if (timer != nullptr) {
        timer->stop();
    }
}

AppContext* TunnelRoad::appContext() {
    return SystemContext::Instance()->GetAppContext();
}

bool TunnelRoad::projectPath(std::string* path) {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof(buffer)) == nullptr) {
        return false;
    }
    *path = buffer;
    return true;
}

bool TunnelRoad::fileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}
