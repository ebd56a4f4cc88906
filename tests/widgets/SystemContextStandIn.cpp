// Test-only stand-in: the one operation of SystemContext that the widget kit calls,
// used while the context layer does not link yet.
#include "SystemContext.h"

SettingManager* SystemContext::GetSettingManager() {
    static SettingManager manager;
    return &manager;
}
