// The phases of the client benchmark's aims run (bench_client --aims): each measures one
// part of what a user does with the main window in this process and reports its figures
// and aims. A phase lives in a file of its own (bench_phase_<what>.cpp) and registers
// itself with BENCH_AIMS_PHASE; the run takes them in the order of their numbers.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <string>
#include <vector>

class ZRVPNClient;

namespace benchaims {

// The longest busy stretch of the GUI thread's event loop, from the first event handled
// after a wait to the loop's next wait: what a heartbeat timer would see as its lateness,
// without waking the loop itself (which would spoil a CPU figure).
class LoopMeter : public QObject {
public:
    LoopMeter();
    ~LoopMeter() override;
    // Starts afresh: what runs outside the event loop before the next event (a benchmark's
    // own set-up) is no stall of the loop.
    void reset() {
        longest = 0;
        waiting = true;
    }
    double longest = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer clock;
    qint64 busySince = 0;
    bool waiting = false;
};

// One aim: its figure beside its limit (lower is better). A figure below 0 was not measured,
// and `note` says why.
struct Aim {
    std::string what;
    double figure = -1;
    double limit = 0;
    std::string unit;
    std::string note;
};

// What a phase hands back: its aims, and the longest stall of the event loop while a user
// acts in it (below 0 when the phase measures none).
struct PhaseReport {
    std::vector<Aim> aims;
    double longestStallMs = -1;
};

struct Context {
    ZRVPNClient* window = nullptr;
    LoopMeter* meter = nullptr;
    int seconds = 60; // of each phase that runs for a while
};

using PhaseRun = void (*)(Context&, PhaseReport&);

struct Phase {
    int order;
    const char* name;
    PhaseRun run;
};

std::vector<Phase>& Phases();

struct PhaseRegistrar {
    PhaseRegistrar(int order, const char* name, PhaseRun run);
};

#define BENCH_AIMS_PHASE(order, id, name)                                                                    \
    static void id(benchaims::Context& context, benchaims::PhaseReport& report);                             \
    static const benchaims::PhaseRegistrar id##Registrar(order, name, id);                                   \
    static void id([[maybe_unused]] benchaims::Context& context,                                             \
                   [[maybe_unused]] benchaims::PhaseReport& report)

// Helpers the phases share.
double MsSince(const QElapsedTimer& clock);
double Median(std::vector<double> values);
// Runs the event loop for ms milliseconds, or until the condition holds (checked every
// 20 ms) or the limit passes.
void Spin(int ms);
bool SpinUntil(const std::function<bool()>& condition, int limitMs);
// CPU seconds of this process (all its threads) and of the children it has reaped; of the
// children alone.
double CpuSeconds();
double ChildrenCpuSeconds();
// CPU seconds of a process by its id (0 when it is gone).
double ProcessCpuSeconds(int pid);
// Times `step` `runs` times (after `before`, untimed): median and longest, in ms.
struct Timing {
    double median = 0;
    double max = 0;
};
Timing Time(int runs, const std::function<void()>& before, const std::function<void()>& step);
void PrintTiming(const char* what, const Timing& timing);
// The machine's load averages over 1, 5 and 15 minutes, as "load 1.02 0.80 0.41": printed
// beside every ratio, since a loaded machine stretches the figures unevenly.
std::string LoadAverage();
// The application context's connection status.
int Status();

} // namespace benchaims
