#include "run_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <ostream>

#include "json_text.h"
#include "support/utf8_files.h"

namespace quillane::cli {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

void Put(std::string& out, const char* key, const std::string& value) {
    out += std::string(out.size() > 1 ? ", " : "") + JsonString(key) + ": " + JsonString(value);
}

void PutRaw(std::string& out, const char* key, const std::string& json) {
    out += std::string(out.size() > 1 ? ", " : "") + JsonString(key) + ": " + json;
}

std::string TextOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

// Whether the file's last byte is a line end (or the file is empty).
bool EndsWithLineBreak(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return true;
    const long size = std::ftell(file);
    if (size <= 0) return true;
    if (std::fseek(file, size - 1, SEEK_SET) != 0) return true;
    const int last = std::fgetc(file);
    std::fseek(file, 0, SEEK_END);
    return last == '\n';
}

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms % 1000));
    return text;
}

std::string FormatRecord(const DeviceRecord& r) {
    std::string out = "{";
    Put(out, "command", r.command);
    Put(out, "started", IsoTime(r.started));
    Put(out, "ended", IsoTime(r.ended));
    PutRaw(out, "device", std::to_string(r.device));
    PutRaw(out, "addressBefore", TextOrNull(r.addressBefore));
    PutRaw(out, "addressAfter", TextOrNull(r.addressAfter));
    PutRaw(out, "versionBefore", TextOrNull(r.versionBefore));
    PutRaw(out, "versionAfter", TextOrNull(r.versionAfter));
    if (r.firmware) {
        PutRaw(out, "firmware",
               "{" + JsonString("name") + ": " + JsonString(r.firmware->name) + ", " + JsonString("size") +
                   ": " + std::to_string(r.firmware->size) + ", " + JsonString("sha256") + ": " +
                   JsonString(r.firmware->sha256) + "}");
    }
    Put(out, "result", r.result);
    if (!r.reason.empty()) Put(out, "reason", r.reason);
    return out + "}\n";
}

bool AppendRecords(const std::string& utf8Path, const std::vector<std::string>& lines, std::string& error) {
    // "a+b": writes always go to the end, whatever the position reads leave.
    File file(OpenFileUtf8(utf8Path, "a+b"), &std::fclose);
    if (!file) {
        error = "cannot open the report " + utf8Path + ": " + std::strerror(errno);
        return false;
    }
    std::string text = EndsWithLineBreak(file.get()) ? "" : "\n";
    for (const std::string& line : lines) text += line;
    const bool written =
        std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() && std::fflush(file.get()) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        error = "cannot write the report " + utf8Path + ": " + std::strerror(written ? errno : writeErrno);
        return false;
    }
    return true;
}

bool RunReport::Write(std::ostream& err) {
    if (m_path.empty() || m_lines.empty()) return true;
    std::string error;
    if (AppendRecords(m_path, m_lines, error)) return true;
    err << "quillane-cli: " << error << "\n";
    return false;
}

}  // namespace quillane::cli
