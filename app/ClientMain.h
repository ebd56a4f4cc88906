// The body of the program's entry function and the free functions around it: the
// application context's start and stop with their log lines, the default translation,
// and the tray pop-up with the handlers of its three buttons.
#pragma once

#include <functional>

class ZRVPNClient;

// Runs the client from its single-instance test to its stop and returns the exit code.
// beforeLoop, when given, runs just before the event loop starts (tests close the
// window from there).
int RunClient(int argc, char** argv, const std::function<void()>& beforeLoop = nullptr);

// AppContext::Start on the application context; 0 whatever the start reported.
int StartAppContext();
// AppContext::Stop and the stop line; -1 without the line when the stop failed.
int StopAppContext();
// Installs the English translation through the system context's translator.
void LoadDefaultTranslation();

// Opens the tray pop-up with its bottom centre at the icon's top-left corner (x, y) and
// returns when it has closed. A request while a pop-up is open places that one again.
void ShowTrayPopup(ZRVPNClient* window, int x, int y);
void OnTrayConnectClicked(ZRVPNClient* window);
void OnTrayShowClicked(ZRVPNClient* window);
void OnTrayQuitClicked(ZRVPNClient* window);
