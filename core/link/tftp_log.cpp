#include "link/tftp_log.h"

#include <iomanip>
#include <locale>
#include <sstream>

#include "support/utf8_files.h"

namespace quillane {

std::tm CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

TftpLog::~TftpLog() {
    Close();
}

// The classic locale keeps month names and the time format the same whatever
// locale the front end sets for the process.
std::string TftpLog::FormatTime(const std::tm& time, const char* format) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::put_time(&time, format);
    return text.str();
}

std::string TftpLog::NamePattern(const std::string& executablePath, char separator) {
    const size_t slash = executablePath.find_last_of(separator);
    std::string folder = slash == std::string::npos ? std::string() : executablePath.substr(0, slash);
    std::string base = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    // Only the file name's own extension is cut, never a dot in a folder name.
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.erase(dot);
    // Percent signs of the path must reach the file name unchanged.
    auto escape = [](std::string text) {
        for (size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 2))
            text.insert(i, 1, '%');
        return text;
    };
    return escape(folder) + separator + "log" + separator + escape(base) + "%Y%m%d.log";
}

void TftpLog::Open(const std::string& namePattern, LocalTimeSource clock) {
    std::lock_guard lock(m_lock);
    m_pattern = namePattern;
    m_clock = clock ? std::move(clock) : LocalTimeSource(CurrentLocalTime);
    const std::tm now = m_clock();
    m_day = now.tm_yday;
    m_file = OpenFileUtf8(FormatTime(now, m_pattern.c_str()), "a");
}

void TftpLog::Close() {
    std::lock_guard lock(m_lock);
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

bool TftpLog::IsOpen() const {
    std::lock_guard lock(m_lock);
    return m_file != nullptr;
}

void TftpLog::RotateIfNewDay(const std::tm& now) {
    if (now.tm_yday == m_day) return;
    m_day = now.tm_yday;
    const std::string name = FormatTime(now, m_pattern.c_str());
    std::fprintf(m_file, "Logging Continued on file %s\n", name.c_str());
    std::fclose(m_file);
    m_file = OpenFileUtf8(name, "a");
    if (m_file) std::fprintf(m_file, "%s\n\n", kTftpLogBanner);
}

void TftpLog::Write(const std::string& text) {
    std::lock_guard lock(m_lock);
    if (!m_file) return;
    const std::tm now = m_clock();
    RotateIfNewDay(now);
    if (!m_file) return;
    std::fprintf(m_file, "[%s] %s\n", FormatTime(now, "%d-%b-%y %X").c_str(), text.c_str());
    std::fflush(m_file);
}

}  // namespace quillane
