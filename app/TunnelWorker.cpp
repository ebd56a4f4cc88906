#include "TunnelWorker.h"

#include <QMetaObject>
#include <chrono>

TunnelWorker::TunnelWorker(QObject* parent, int endWaitMs)
    : QObject(parent), guard(std::make_shared<Guard>()), state(std::make_shared<State>()),
      endWaitMs(endWaitMs) {
    guard->receiver = this;
    thread = std::thread(&TunnelWorker::loop, state);
}

TunnelWorker::~TunnelWorker() {
    {
        // No result reaches this object from here on.
        std::lock_guard<std::mutex> lock(guard->mutex);
        guard->receiver = nullptr;
    }
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->stop = true;
        state->wake.notify_all();
        ended =
            state->idle.wait_for(lock, std::chrono::milliseconds(endWaitMs), [this] { return state->ended; });
    }
    if (ended) {
        thread.join();
    } else {
        // A hung program holds a job: the thread keeps its own share of the queue and
        // ends with that job.
        thread.detach();
    }
}

void TunnelWorker::post(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->jobs.push_back(std::move(job));
    state->wake.notify_all();
}

void TunnelWorker::run(std::function<void()> job, std::function<void()> done) {
    post([job, done, receiver = guard] {
        job();
        if (done) {
            deliver(receiver, done);
        }
    });
}

bool TunnelWorker::isIdle() const {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->jobs.empty() && !state->running;
}

bool TunnelWorker::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(state->mutex);
    return state->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return state->jobs.empty() && !state->running; });
}

void TunnelWorker::loop(std::shared_ptr<State> state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stop || !state->jobs.empty(); });
        if (state->jobs.empty()) {
            // Asked to stop and nothing left to do.
            break;
        }
        std::function<void()> job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->running = true;
        lock.unlock();
        job();
        lock.lock();
        state->running = false;
        state->idle.notify_all();
    }
    state->ended = true;
    state->idle.notify_all();
}

void TunnelWorker::deliver(const std::shared_ptr<Guard>& guard, std::function<void()> call) {
    std::lock_guard<std::mutex> lock(guard->mutex);
    if (guard->receiver != nullptr) {
        QMetaObject::invokeMethod(guard->receiver, std::move(call), Qt::QueuedConnection);
    }
}
