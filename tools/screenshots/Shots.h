// The screenshot program's parts: each area of the client registers a group of pictures
// in a file of its own (shots_<area>.cpp); the program renders every group, or the groups
// named on its command line, once per colour mode.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <vector>

namespace shots {

struct Mode {
    int colorMode; // as SettingManager holds it: 1 normal, 2 dark
    const char* name;
    const char* styleSheet;
    QColor window; // the main window's background
    QColor card;   // a page's card
    const char* toastContainer;
    const char* toastText;
};

// Writes one picture as <folder>/<name>-<mode>.png.
using Save = std::function<void(const QString& name, const QImage& image)>;
using Group = void (*)(const Mode& mode, const Save& save);

struct Registrar {
    Registrar(const char* name, Group group);
};

struct Entry {
    const char* name;
    Group group;
};
std::vector<Entry>& groups();

// Lets queued events (layout, polish, paint) run.
void settle();

// Shows the texts of a language (a translation's code) in place of the language the
// program was asked for (--language), or that language again for an empty code; false
// when its translation does not load.
bool showLanguage(const QString& code);

// Paints the widget (shown, so that it is polished and laid out) over a plain background,
// with a margin, scaled up for small widgets. With the screen pictures on (--screen), a
// window is also read back from the X server once the screen shows it (ScreenPicture).
QImage picture(QWidget* widget, const QColor& background, int margin = 16, int scale = 1);

// The picture of a window read back from the X server, taken by the last picture() with
// the screen pictures on, beside what the window paints. The window's translucent parts
// (its shadow margins) show whatever lies beneath on the screen and are not compared.
struct ScreenPicture {
    bool taken = false;
    QImage image;      // the screen at the window's place
    QString notTaken;  // why there is none (not a window, not on the screen)
    int compared = 0;  // pixels the window paints opaque
    int differing = 0; // of those, pixels the screen shows otherwise
    QString coveredBy; // the last window found lying over it, by class and name
    bool same() const { return compared > 0 && differing <= std::max(40, compared / 1000); }
};
// Turns the screen pictures on; false where Qt draws on no X server.
bool readScreenToo();
// Takes the last screen picture and forgets it.
ScreenPicture takeScreenPicture();

// A card of the page's colour that holds one widget; it deletes itself when closed.
QWidget* card(const Mode& mode, QWidget* content, int width);

// A profile store of the pictures' own: the application context is started on a
// temporary data folder (with a TAP adapter present, so no adapter script runs) and
// stopped again when the object goes, so that no group of pictures touches a real
// profile database or finds the profiles of another group.
class ScratchStore {
public:
    ScratchStore();
    ~ScratchStore();
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;
    bool started() const { return isStarted; }

private:
    QTemporaryDir folder;
    bool isStarted = false;
};

} // namespace shots

// Registers a group of pictures: KORVA_SHOTS(name) { ... uses mode and save ... }
#define KORVA_SHOTS(NAME)                                                                                    \
    static void korvaShots_##NAME(const shots::Mode& mode, const shots::Save& save);                         \
    static const shots::Registrar korvaShotsRegistrar_##NAME(#NAME, &korvaShots_##NAME);                     \
    static void korvaShots_##NAME(const shots::Mode& mode, const shots::Save& save)
