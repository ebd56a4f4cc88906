#include "OpenVPNConfigLines.h"

#include <string>
#include <vector>

namespace OpenVPNConfigLines {

namespace {

std::vector<std::string> standardWords(const QList<QByteArray>& words) {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(words.size()));
    for (const QByteArray& word : words) {
        result.push_back(word.toStdString());
    }
    return result;
}

QList<QByteArray> qtWords(const std::vector<std::string>& words) {
    QList<QByteArray> result;
    result.reserve(static_cast<int>(words.size()));
    for (const std::string& word : words) {
        result.append(QByteArray::fromStdString(word));
    }
    return result;
}

QByteArray withoutCarriageReturns(QByteArray line) {
    // Every carriage return before the line feed: a line written back ends in a line feed
    // alone, and reads back the same.
    while (line.endsWith('\r')) {
        line.chop(1);
    }
    return line;
}

} // namespace

QList<QByteArray> lines(const QByteArray& text) {
    QList<QByteArray> result;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        const int next = end < 0 ? text.size() : end + 1;
        if (end < 0) {
            end = text.size();
        }
        result.append(withoutCarriageReturns(text.mid(start, end - start)));
        start = next;
    }
    return result;
}

QList<QByteArray> words(const QByteArray& line) {
    std::vector<std::string> found;
    if (!OpenVPNConfigSyntax::Tokenize(line.toStdString(), &found) || found.empty()) {
        return QList<QByteArray>();
    }
    found.front() = OpenVPNConfigSyntax::DirectiveName(found.front());
    return qtWords(found);
}

QByteArray directive(const QByteArray& line) {
    const QList<QByteArray> found = words(line);
    return found.isEmpty() ? QByteArray() : found.first();
}

QList<Line> read(const QByteArray& text) {
    const OpenVPNConfigSyntax::Reading reading = OpenVPNConfigSyntax::Read(text.toStdString());
    QList<Line> result;
    result.reserve(static_cast<int>(reading.lines.size()));
    for (const OpenVPNConfigSyntax::Line& from : reading.lines) {
        Line line;
        line.role = from.role;
        line.text = withoutCarriageReturns(QByteArray::fromStdString(from.text));
        line.words = qtWords(from.words);
        line.tag = QByteArray::fromStdString(from.tag);
        line.number = from.number;
        result.append(line);
    }
    return result;
}

Treatment treatmentOf(const QList<QByteArray>& words) {
    return OpenVPNConfigSyntax::TreatmentOf(standardWords(words));
}

QByteArray ruledDirective(const QList<QByteArray>& words) {
    return QByteArray::fromStdString(OpenVPNConfigSyntax::RuledDirective(standardWords(words)));
}

bool isServerDirective(const QList<QByteArray>& words) {
    return OpenVPNConfigSyntax::IsServerDirective(standardWords(words));
}

Treatment blockTreatment(const QByteArray& tag) {
    return OpenVPNConfigSyntax::BlockTreatment(tag.toStdString());
}

} // namespace OpenVPNConfigLines
