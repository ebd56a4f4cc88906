#include "ProfileEditorOpener.h"

#include <QDialog>

#ifdef KORVA_HAVE_PROFILE_EDITOR
#include "ProfileConfigDialog.h"
#endif

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
#ifdef KORVA_HAVE_PROFILE_EDITOR
    return new ProfileConfigDialog(parent, editMode, name, profileID, configID, vpnType);
#else
    Q_UNUSED(parent);
    Q_UNUSED(editMode);
    Q_UNUSED(name);
    Q_UNUSED(profileID);
    Q_UNUSED(configID);
    Q_UNUSED(vpnType);
    return nullptr;
#endif
}

void setProfileEditorFactory(ProfileEditorFactory factory) {
    replacement() = std::move(factory);
}
