#include "firewall_watch.h"

#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "wide_text.h"

using namespace quillane;

namespace win32 {
namespace {

// A firewall service that has not answered by then is taken as "cannot tell".
constexpr std::chrono::seconds kReadBound{30};
// How long the elevated quillane-cli may take before the window checks anyway.
constexpr DWORD kElevatedRunBoundMs = 60000;

std::mutex g_hookMutex;
FirewallChecker g_checkHook;
ElevatedStarter g_startHook;

FirewallCheck CheckSystemFirewall(const std::string& program) {
    std::shared_ptr<FirewallAccess> firewall = OpenSystemFirewall();
    if (!firewall) {
        FirewallCheck none;
        none.why = "no Windows Firewall interface";
        return none;
    }
    return CheckFirewall(ReadFirewallWithin(firewall, kReadBound), {program});
}

HANDLE StartElevated(HWND owner, const std::wstring& program, const std::wstring& parameters) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) return nullptr;
    return info.hProcess;
}

FirewallChecker Checker() {
    std::lock_guard lock(g_hookMutex);
    return g_checkHook ? g_checkHook : FirewallChecker(CheckSystemFirewall);
}

ElevatedStarter Starter() {
    std::lock_guard lock(g_hookMutex);
    return g_startHook ? g_startHook : ElevatedStarter(StartElevated);
}

}  // namespace

void SetFirewallCheckHook(FirewallChecker check) {
    std::lock_guard lock(g_hookMutex);
    g_checkHook = std::move(check);
}

void SetElevatedStartHook(ElevatedStarter start) {
    std::lock_guard lock(g_hookMutex);
    g_startHook = std::move(start);
}

// What the workers share with the watch; they hold it, so a worker that ends
// after the watch (and its window) touches nothing that is gone.
struct FirewallWatch::Shared {
    std::mutex mutex;
    Post post;  // empty once the watch is gone
    Report report;
    std::atomic<uint64_t> latest{0};
};

FirewallWatch::FirewallWatch(Post post, Report report) : m_shared(std::make_shared<Shared>()) {
    m_shared->post = std::move(post);
    m_shared->report = std::move(report);
}

FirewallWatch::~FirewallWatch() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->post = nullptr;
    m_shared->report = nullptr;
}

void FirewallWatch::Check(const std::string& program) {
    CheckOnWorker(program, nullptr);
}

bool FirewallWatch::AllowThenCheck(HWND owner, const std::string& cli, const std::string& program) {
    HANDLE process = Starter()(owner, W(cli), L"firewall --allow");
    if (!process) return false;
    CheckOnWorker(program, process);
    return true;
}

void FirewallWatch::CheckOnWorker(const std::string& program, HANDLE waitFirst) {
    const uint64_t number = ++m_shared->latest;
    std::shared_ptr<Shared> shared = m_shared;
    FirewallChecker check = Checker();
    try {
        std::thread([shared, check, program, waitFirst, number] {
            if (waitFirst) {
                WaitForSingleObject(waitFirst, kElevatedRunBoundMs);
                CloseHandle(waitFirst);
            }
            const FirewallCheck result = check(program);
            std::lock_guard lock(shared->mutex);
            if (!shared->post) return;
            shared->post([shared, report = shared->report, result, number] {
                if (number == shared->latest.load()) report(result);
            });
        }).detach();
    } catch (const std::system_error&) {
        if (waitFirst) CloseHandle(waitFirst);  // no thread: no check this time
    }
}

}  // namespace win32
