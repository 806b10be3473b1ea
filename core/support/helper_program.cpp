#include "support/helper_program.h"

#include <sstream>

#include "support/exe_dir.h"

#ifdef _WIN32
#include <windows.h>

#include "support/utf8.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace quillane {

std::string KeyboardCommandLine(int x, int y) {
    return std::string(kKeyboardProgram) + " " + std::to_string(x) + " " + std::to_string(y);
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::istringstream in(commandLine);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

#ifdef _WIN32

namespace {

bool IsProgramFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The system's search for a program name (its own folder rules, then PATH).
std::string SearchSystemPath(const std::string& name) {
    const std::wstring wideName = WideFromUtf8(name);
    std::vector<wchar_t> found(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = SearchPathW(nullptr, wideName.c_str(), nullptr, static_cast<DWORD>(found.size()),
                                    found.data(), nullptr);
        if (n == 0) return {};
        if (n < found.size()) return Utf8FromWide(std::wstring_view(found.data(), n));
        found.resize(n);  // n is the size needed, terminator included
    }
    return {};
}

}  // namespace

std::string FindHelperProgram(const std::string& appDir, const std::string& name) {
    if (name.empty()) return {};
    if (name.find_first_of("\\/") != std::string::npos) return IsProgramFile(name) ? name : std::string();
    if (IsProgramFile(appDir + name)) return appDir + name;
    return SearchSystemPath(name);
}

bool StartHelperProgram(const std::string& appDir, const std::string& commandLine) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return false;
    const std::string program = FindHelperProgram(appDir, words[0]);
    if (program.empty()) return false;
    std::string line = "\"" + program + "\"";
    for (size_t i = 1; i < words.size(); ++i) line += " " + words[i];
    const std::wstring wideProgram = WideFromUtf8(program);
    std::wstring wideLine = WideFromUtf8(line);  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // No inherited handles: the tool's sockets must not live on in the helper.
    if (!CreateProcessW(wideProgram.c_str(), wideLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

#else

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// In the forked child: only async-signal-safe calls. The tool's sockets must
// not live on in the helper, or its ports would stay taken after the tool ends.
void CloseInheritedDescriptors() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3U, ~0U, 0U) == 0) return;
#endif
    const long limit = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (limit > 0 ? limit : 1024); ++fd) close(static_cast<int>(fd));
}

}  // namespace

std::string FindHelperProgram(const std::string& appDir, const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    if (IsExecutableFile(appDir + name)) return appDir + name;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;  // the current folder is not searched
        const std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return {};
}

bool StartHelperProgram(const std::string& appDir, const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return false;
    const std::string program = FindHelperProgram(appDir, words[0]);
    if (program.empty()) return false;
    // Everything the child needs is prepared before fork.
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // Double fork: the helper is re-parented to init, so no zombie is left and
    // nothing waits for it; the intermediate child exits at once.
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            CloseInheritedDescriptors();
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif

}  // namespace quillane
