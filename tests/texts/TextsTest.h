// Shared set-up of the tests that walk the client's windows in every language and colour
// mode: the sixteen language codes, a store holding a profile of each kind, and a check
// that reports every text of a window that is not shown whole.
#pragma once

#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

#include "TextRoom.h"

namespace textstest {

// The codes of the sixteen translations, in the order of the language selector's rows 1 to 16.
extern const char* const kLanguages[16];

// The colour modes as SettingManager holds them, with a name for messages.
struct Mode {
    int value;
    const char* name;
};
extern const Mode kModes[2];

// Starts the application context once and leaves one profile of each kind in the store
// (names that fit everywhere, so that only translated texts are measured), the WireGuard
// profile selected; more WireGuard profiles when `extra` is above 0.
void storeProfiles(int extra = 0);

// Removes every profile from the store.
void emptyStore();

// Lets layout, polish and posted events run.
void settle();

// Adds a test failure for every text of the window that is not shown whole.
void expectWhole(QWidget* window, const QString& where);

} // namespace textstest
