// The one rule for a profile's name, wherever a name comes in: the editor's Confirm and the
// import of a profile file apply the same function, so that a name one of them takes the
// other takes as well, and a profile can always be saved again under the name it has.
//
// A name passes when:
// - it passes the profile-name rule of the editor's field rules (1 to 128 UTF-8 bytes, 32
//   for WireGuard; whole UTF-8 up to U+D7FF; not only spaces; no CJK ideograph), and for a
//   WireGuard profile also the word rule (letters, digits, marks and "_");
// - it can stand as a file name and a command-line argument (no "/", "\", "..", quotes,
//   control characters or shell metacharacters, not beginning with "-" or ".");
// - it shows as what it is: no bidirectional controls, no invisible or zero-width
//   characters, no spacing other than the plain space, no line or paragraph separators, no
//   character that draws over or around its neighbours, no unassigned character, and no
//   combining mark at the start, where it would join whatever the name is shown after.
#pragma once

namespace ProfileNameRule {

// True when the UTF-8 name may name a profile of the kind (4: WireGuard); a refusal writes
// the log line of the step that refused it.
bool accepts(const char* name, int kind);

// True when the UTF-8 text holds a character that would make it show as something other
// than its characters (the last condition above); the text must be whole UTF-8.
bool showsAsSomethingElse(const char* name);

} // namespace ProfileNameRule
