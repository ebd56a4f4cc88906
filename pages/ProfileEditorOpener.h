// The one place where the Profiles page gets its profile editor. The page connects the
// editor's signalLoadProfileList() where it needs it, runs the editor modally and deletes
// it when it closes; this only creates it.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

// Creates an editor from the arguments of ProfileConfigDialog's constructor: parent, edit
// flag, profile name, ProfileID, ConfigID and VPNType (add: false, "", 0, 0, 0).
using ProfileEditorFactory = std::function<QDialog*(QWidget* parent, bool editMode, const QString& name,
                                                    int profileID, int configID, int vpnType)>;

// A new editor: the profile editor, or the test's stand-in.
QDialog* createProfileEditor(QWidget* parent, bool editMode, const QString& name, int profileID, int configID,
                             int vpnType);

// Replaces the editor the page creates, for tests; an empty function restores the real one.
void setProfileEditorFactory(ProfileEditorFactory factory);
