// The store's files are the user's. The store lies in the user's data folder, which the
// client, running as root, must not be led out of: this SQLite VFS is SQLite's own, except
// that every file it opens, deletes, looks up or resolves (the database and its journal)
// is handled with the user's own file-system identity (InvokingUser.h). A link the user
// planted then leads nowhere the user could not go, and a file SQLite creates belongs to
// the user. Outside an elevated run it is SQLite's own VFS in every respect.
#pragma once

// The VFS's name for sqlite3_open_v2, registered on the first call; null when it cannot be
// registered (SQLite's default is then used).
const char* UserFileVfsName();
