// One kind of tunnel behind the connection controller: how its connect is made and
// polled, what its result does, how a connect under way is cancelled, how the connected
// tunnel is ended and how its traffic is read. The connect button, the controller's slots
// and the main window's close all reach a kind through its road, so that each of these is
// written once.
//
// The controller keeps what every kind shares: the status and its slots, the attempt
// number, the tunnel worker and the sampler that run the slow commands, and the timings.
// A road runs its slow commands on that worker and acts on their results only while its
// attempt is still the current one.
#pragma once

#include <QString>
#include <functional>
#include <string>

class AppContext;
class ConnectionController;
class HomeWidget;
class QTimer;
class TunnelWorker;
struct ConnectionTimings;
struct ProfileInfo;

// The traffic of the connected tunnel in MiB: upload is what the client sent, download what
// it received.
struct TrafficTotals {
    double upload = 0;
    double download = 0;
};

class TunnelRoad {
public:
    explicit TunnelRoad(ConnectionController& controller);
    virtual ~TunnelRoad();
    TunnelRoad(const TunnelRoad&) = delete;
    TunnelRoad& operator=(const TunnelRoad&) = delete;

    // The connect button's connect of the selected profile.
    virtual void connect() = 0;
    // A new attempt has begun: what the previous one left for its poll or its readings goes.
    virtual void beginAttempt() {}
    // The current attempt is over: whatever of it runs on the GUI thread (its poll) stops.
    virtual void dropAttempt() {}
    // The selected profile has been reported connected.
    virtual void connected() {}
    // Ends the connect under way for the profile of that name, as a cancel does; then runs
    // `done`, when given, on the GUI thread once the tunnel's programs have ended.
    virtual void cancel(const std::string& profileName, std::function<void()> done) = 0;
    // Ends the connected tunnel of the profile of that name; `done` as for cancel. False
    // when nothing could be started (then `done` never runs).
    virtual bool disconnect(const std::string& profileName, std::function<void()> done) = 0;
    // Reads the connected tunnel's counters into `totals`, leaving what it did not read;
    // true when a reading was had. A kind without a traffic source reads nothing.
    virtual bool readTraffic(TrafficTotals* totals);

protected:
    // What the controller holds, for its roads.
    HomeWidget* page() const;
    TunnelWorker* worker() const;
    TunnelWorker* sampler() const;
    int currentAttempt() const;
    bool quitting() const;
    // True while `attempt` is the current attempt and the status still connecting.
    bool stillConnecting(int attempt) const;
    const ConnectionTimings& timings() const;
    // The profile of the cached list with the selected name, or false.
    bool findSelectedProfile(ProfileInfo* profile) const;
    // A toast over the page with the text of the key, unless the client is closing.
    void showToast(const char* key) const;
    // The same with the text's "%1" filled in.
    void showToast(const char* key, const QString& argument) const;
    // The connected tunnel has ended by itself: the connection time goes back to 0 and no
    // profile is the current one, as after a disconnect.
    void forgetConnection();

    // A completion poll timer of the controller, made on first use, whose tick runs the
    // controller's `slot`; started with the poll interval.
    QTimer* startPoll(QTimer*& timer, const char* name, const char* slot);
    static bool polling(QTimer* timer);
    static void stopPoll(QTimer* timer);

    static AppContext* appContext();
    // The project path: the working directory. False when it cannot be had (the folder was
    // removed, or its path is too long).
    static bool projectPath(std::string* path);
    static bool fileExists(const std::string& path);

    ConnectionController& controller;
};
