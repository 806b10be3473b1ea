#pragma once

// The TFTP server's daily log: one file per day, named by a strftime pattern,
// continued into the next day's file at the first line written after midnight.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

namespace quillane {

// Local broken-down time; the log's clock (tests set their own day).
using LocalTimeSource = std::function<std::tm()>;
std::tm CurrentLocalTime();

inline constexpr const char* kTftpLogBanner = "Quillane TFTP Server";

class TftpLog {
public:
    TftpLog() = default;
    ~TftpLog();
    TftpLog(const TftpLog&) = delete;
    TftpLog& operator=(const TftpLog&) = delete;

    // Opens today's file for appending. A missing folder is not created: the
    // log then stays closed and every Write does nothing.
    void Open(const std::string& namePattern, LocalTimeSource clock);
    void Close();
    bool IsOpen() const;

    // Writes "[time] text\n" after switching to a new day's file if the day
    // changed; the old file ends with the name of the new one, the new one
    // starts with the banner. If the new file cannot be opened, logging stops.
    void Write(const std::string& text);

    // Log file name pattern for an executable: folder, "log", base name
    // (without extension), then the date, ".log".
    static std::string NamePattern(const std::string& executablePath, char separator);
    static std::string FormatTime(const std::tm& time, const char* format);

private:
    void RotateIfNewDay(const std::tm& now);

    mutable std::mutex m_lock;  // the log file and its day
    std::FILE* m_file = nullptr;
    std::string m_pattern;
    LocalTimeSource m_clock;
    int m_day = -1;  // day of the year of the open file
};

}  // namespace quillane
