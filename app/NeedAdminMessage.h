// The message of a client that cannot obtain administrator rights (see RunElevated): on
// standard error, and in a message box in the system's language when a display is there.
#pragma once

#include <string>

// Shows the message with the reason that elevation failed.
void ShowNeedAdminMessage(int argc, char** argv, const std::string& reason);

// The message of a start that ends because the single-instance lock cannot be taken: on
// standard error with the reason, and in a message box in the system's language when the
// application (which exists already) shows on a display.
void ShowInstanceLockMessage(const std::string& reason);

// The two-letter code of the translation for a Windows language id ("en" for a language
// without one).
std::string TranslationCodeForLanguage(unsigned languageId);
