#include "event_log.h"

#include <cinttypes>

namespace devsim {

void LogLine::Key(const char* key) {
    m_text += m_text.empty() ? "\"" : ",\"";
    m_text += key;
    m_text += "\":";
}

LogLine& LogLine::Add(const char* key, const std::string& value) {
    Key(key);
    m_text += '"';
    for (unsigned char c : value) {
        if (c == '"' || c == '\\') {
            m_text += '\\';
            m_text += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            m_text += escaped;
        } else {
            m_text += static_cast<char>(c);
        }
    }
    m_text += '"';
    return *this;
}

LogLine& LogLine::Add(const char* key, int64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

LogLine& LogLine::Add(const char* key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

LogLine& LogLine::Add(const char* key, double value) {
    Key(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    m_text += text;
    return *this;
}

bool EventLog::Open(const std::string& path) {
    if (path.empty() || path == "-") return true;
    FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return false;
    m_file = file;
    m_ownsFile = true;
    return true;
}

EventLog::~EventLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fflush(m_file);
    if (m_ownsFile) std::fclose(m_file);
}

void EventLog::Write(const LogLine& line) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start)
            .count();
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fprintf(m_file, "{\"t\":%" PRId64 ".%03d,%s}\n", static_cast<int64_t>(elapsed / 1000),
                 static_cast<int>(elapsed % 1000), line.Text().c_str());
}

void EventLog::Flush() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fflush(m_file);
}

}  // namespace devsim
