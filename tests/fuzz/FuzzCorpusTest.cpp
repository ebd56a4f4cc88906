// Replays every fuzz target's corpus (the seeds and the inputs kept from fixed crashes)
// through the target: in a build without libFuzzer this keeps each parser's known inputs
// from crashing again, and a sanitizer build checks them with its sanitizers.
#include <QDir>
#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "zrwlog.h"

namespace {

std::map<std::string, korvafuzz::Entry>& targets() {
    static std::map<std::string, korvafuzz::Entry> table;
    return table;
}

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const auto& target : targets()) {
        names.push_back(target.first);
    }
    return names;
}

class FuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(FuzzCorpus, EveryKeptInputRunsThroughItsTargetCleanly) {
    // The parsers log what they refuse; the log stays quiet here as in a fuzz run.
    ZRWLogSetOutput(0);
    const korvafuzz::Entry entry = targets().at(GetParam());
    const QDir folder(QString::fromUtf8(KORVA_FUZZ_CORPUS_DIR) + QLatin1Char('/') +
                      QString::fromStdString(GetParam()));
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no seed corpus in " << folder.path().toStdString();
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        // A crash shows the input it came from.
        std::fprintf(stderr, "%s: %s\n", GetParam().c_str(), name.toUtf8().constData());
        entry(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, testing::ValuesIn(targetNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace

bool korvafuzz::registerTarget(const char* name, Entry entry) {
    targets()[name] = entry;
    return true;
}
