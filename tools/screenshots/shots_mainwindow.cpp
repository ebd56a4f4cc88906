// The main window with each of its three pages.
#include "Shots.h"

#include <QPushButton>

#include "ZRVPNClient.h"

using namespace shots;

KORVA_SHOTS(mainwindow) {
    const struct {
        const char* button;
        const char* name;
    } pages[] = {{"btnHome", "mainwindow-home"},
                 {"btnProfile", "mainwindow-profiles"},
                 {"btnSetting", "mainwindow-settings"}};
    for (const auto& page : pages) {
        ZRVPNClient window;
        if (auto* button = window.findChild<QPushButton*>(QLatin1String(page.button))) {
            button->click();
        }
        save(QLatin1String(page.name), picture(&window, mode.window, 0));
        window.hide();
    }
}
