#include "model/table_export.h"

namespace quillane {
namespace {

bool NeedsQuotes(const std::string& field) {
    if (field.find_first_of(",\"\r\n") != std::string::npos) return true;
    return !field.empty() &&
           (field.front() == ' ' || field.back() == ' ' || field.front() == '\t' || field.back() == '\t');
}

void AppendCsvField(std::string& out, const std::string& field) {
    if (!NeedsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string CsvText(const TextRows& rows, std::string_view lineEnd) {
    std::string out;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) out += ',';
            AppendCsvField(out, row[i]);
        }
        out += lineEnd;
    }
    return out;
}

std::string CsvFileContent(const TextRows& rows) {
    return std::string(kUtf8ByteOrderMark) + CsvText(rows, "\r\n");
}

std::string TabSeparatedText(const TextRows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) out += '\t';
            for (char c : row[i]) out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
        }
        out += '\n';
    }
    return out;
}

}  // namespace quillane
