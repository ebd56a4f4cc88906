#include "ProfileEditorOpener.h"

#include <QDialog>

#include "ProfileConfigDialog.h"

namespace {
ProfileEditorFactory& replacement() {
    static ProfileEditorFactory factory;
    return factory;
}
} // namespace

QDialog* createProfileEditor(QWidget* parent, bool editMode, const QString& name, int profileID, int configID,
                             int vpnType) {
    if (replacement()) {
        return replacement()(parent, editMode, name, profileID, configID, vpnType);
    }
    return new ProfileConfigDialog(parent, editMode, name, profileID, configID, vpnType);
}

void setProfileEditorFactory(ProfileEditorFactory factory) {
    replacement() = std::move(factory);
}
