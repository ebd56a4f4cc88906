// Reading a file that the user chose (an imported configuration, and the certificates
// and keys it names) with that user's rights. The client runs as root; started by another
// user through pkexec, it reads such a file with the user's own file-system identity and
// groups (UserFileAccess, InvokingUser.h), so that a configuration can bring in nothing the
// user could not read: no root-only file, no file behind a folder the user cannot enter.
// Links lead only where the user may go. Only a regular file is read: a FIFO, a device or
// a folder is refused at once, without waiting.
#pragma once

#include <QByteArray>
#include <QString>

namespace InvokingUserFile {

// Reads the whole file at path, at most maxBytes; false when it cannot be read with the
// invoking user's rights, is not a regular file or is larger.
bool read(const QString& path, qint64 maxBytes, QByteArray* content);

} // namespace InvokingUserFile
