// A file replaced whole or not at all, in steps that a save interleaves with its rows:
// the new content is written beside the file first (stage), then put in the file's place
// by one rename (install), which the save can still undo (restore) until it keeps it
// (finish). Until install the file stays as it was; after restore it is as it was again,
// or gone when there was none. An object that goes unfinished restores and cleans up.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <sys/types.h>

class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Writes the content into a new file beside path, with the mode, synced. False, with
    // nothing left behind, when that fails (the folder must exist).
    bool stage(const QString& path, const QByteArray& content, mode_t mode);
    // Puts the staged file in path's place; the file there before is kept in memory.
    // False, with the place as it was, when that fails (also when path is a folder).
    bool install();
    // Undoes install: the earlier file back, or the installed one removed.
    bool restore();
    // Keeps the installed file.
    void finish();

    const QString& path() const { return target; }

private:
    void discard();

    QString target;
    std::string staged;
    bool installed = false;
    bool hadEarlier = false;
    QByteArray earlier;
    mode_t earlierMode = 0;
};
