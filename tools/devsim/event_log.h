#pragma once

// The simulator's event log: one JSON object per line, so that tests can
// assert on what every device saw and sent. Safe to write from any thread.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace devsim {

// One log line under construction: {"t":..., "key":value, ...}.
class LogLine {
public:
    LogLine& Add(const char* key, const std::string& value);
    LogLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    LogLine& Add(const char* key, int64_t value);
    LogLine& Add(const char* key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    LogLine& Add(const char* key, uint32_t value) { return Add(key, static_cast<int64_t>(value)); }
    LogLine& Add(const char* key, uint64_t value) { return Add(key, static_cast<int64_t>(value)); }
    LogLine& Add(const char* key, bool value);
    LogLine& Add(const char* key, double value);
    // Adds the fields of another line after these.
    LogLine& Append(const LogLine& other) {
        if (!other.m_text.empty()) m_text += (m_text.empty() ? "" : ",") + other.m_text;
        return *this;
    }
    const std::string& Text() const { return m_text; }

private:
    void Key(const char* key);
    std::string m_text;
};

class EventLog {
public:
    // Writes to `path`, or to standard output when it is empty or "-".
    bool Open(const std::string& path);
    ~EventLog();

    void Write(const LogLine& line);
    void Flush();

private:
    std::mutex m_mutex;
    FILE* m_file = stdout;
    bool m_ownsFile = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace devsim
