// The process-wide context through which every window, page and dialog reaches the
// shared state: the application object, the translator, the SettingManager and the
// AppContext. It is created during static initialisation, before main, and deleted
// by a static holder when the process exits.
#pragma once

#include "SettingManager.h"

class AppContext;
class QObject;
struct EXCEPTION_POINTERS;
class QTranslator;

class SystemContext {
public:
    // Deletes the instance at process exit.
    class Deleter {
    public:
        ~Deleter();
    };

    static SystemContext* Instance();
    static SettingManager* GetSettingManager();

    void SetApplication(QObject* app);
    QObject* GetApplication();
    AppContext* GetAppContext();
    QTranslator* GetTranslator();
    void SetTranslator(QTranslator* translator);

private:
    friend void InitSystemContext(SystemContext* context);
    friend class Deleter;

    SystemContext();
    ~SystemContext();
    SystemContext(const SystemContext&) = delete;
    SystemContext& operator=(const SystemContext&) = delete;

    QObject* application;
    QTranslator* translator;
    SettingManager settingManager;
    AppContext* appContext;
};

// The earliest start-up steps: application context, data and log folders, the log
// file, the crash handler and the first log line.
void InitSystemContext(SystemContext* context);

// The top-level crash filter: writes the dump and the crash report, names the dump in
// the log and shows the crash message. It runs inside the crash signal handler, so it
// does nothing that is unsafe there; the process then ends with 128 + the signal.
long TopLevelExceptionFilter(EXCEPTION_POINTERS* exception);
