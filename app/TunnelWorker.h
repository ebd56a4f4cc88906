// One background thread that runs the slow tunnel commands (the VPN programs' start and
// end, strongSwan's preparation and teardown, the WireGuard tools, "wg show") one after
// the other, in the order they were asked for, so that the GUI thread never waits for
// a VPN program. A job's result is handed back on the GUI thread; a job that a hung
// program holds up delays the jobs behind it, never the window.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TunnelWorker : public QObject {
    Q_OBJECT
public:
    // endWaitMs: how long the destructor waits for the jobs in hand; a job still held up
    // by a hung program after that is left to finish on its own.
    explicit TunnelWorker(QObject* parent = nullptr, int endWaitMs = kEndWaitMs);
    ~TunnelWorker() override;
    TunnelWorker(const TunnelWorker&) = delete;
    TunnelWorker& operator=(const TunnelWorker&) = delete;

    // Runs job on the worker thread after every job asked for before it.
    void post(std::function<void()> job);

    // Runs job on the worker thread, then done with its result on this object's thread
    // (the GUI thread), unless this object has gone by then.
    template <typename Result> void run(std::function<Result()> job, std::function<void(Result)> done) {
        auto result = std::make_shared<Result>();
        post([job, done, result, receiver = guard] {
            *result = job();
            deliver(receiver, [done, result] { done(*result); });
        });
    }
    // The same for a job without a result.
    void run(std::function<void()> job, std::function<void()> done);

    // True when no job is waiting or running.
    bool isIdle() const;
    // Waits until no job is waiting or running, at most timeoutMs; true when idle.
    bool waitIdle(int timeoutMs);

    // How long the destructor waits for the jobs in hand by default.
    static constexpr int kEndWaitMs = 20000;

private:
    struct Guard {
        std::mutex mutex;
        QObject* receiver = nullptr;
    };
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable idle;
        std::deque<std::function<void()>> jobs;
        bool running = false;
        bool stop = false;
        bool ended = false;
    };

    static void loop(std::shared_ptr<State> state);
    // Queues call on the receiver's thread while the receiver exists.
    static void deliver(const std::shared_ptr<Guard>& guard, std::function<void()> call);

    std::shared_ptr<Guard> guard;
    std::shared_ptr<State> state;
    std::thread thread;
    int endWaitMs;
};
