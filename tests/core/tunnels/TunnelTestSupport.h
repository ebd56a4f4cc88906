// Shared by the tunnel tests: a temporary project folder that is the working directory
// for the test, with helpers to place script doubles and read files.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "zrwlog.h"

inline std::string ReadText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::string();
    }
    return file.readAll().toStdString();
}

inline bool WriteText(const std::string& path, const std::string& text, int mode = 0644) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();
    return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

// A project folder that is the working directory while the object lives, with the log
// written to log.txt in it.
class ProjectFolder {
public:
    ProjectFolder() {
        char cwd[4096] = {};
        previous = getcwd(cwd, sizeof(cwd)) ? cwd : "/";
        path = dir.path().toStdString();
        chdir(path.c_str());
        logPath = path + "/log.txt";
        ZRWLogOpenFile(logPath.c_str());
    }
    ~ProjectFolder() {
        ZRWLogClose();
        chdir(previous.c_str());
    }
    // Places an executable script at a path relative to the project folder.
    void Script(const std::string& relative, const std::string& body) {
        std::string full = path + "/" + relative;
        QDir().mkpath(QString::fromStdString(full.substr(0, full.rfind('/'))));
        WriteText(full, "#!/bin/bash\n" + body, 0755);
    }
    std::string Log() const { return ReadText(logPath); }

    QTemporaryDir dir;
    std::string path;
    std::string logPath;
    std::string previous;
};
