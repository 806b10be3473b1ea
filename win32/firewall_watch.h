#pragma once

// The window's watch on Windows Defender Firewall. A user without
// administrator rights gets no firewall prompt: block rules are written
// silently and a search then finds nothing, as on a network without devices.
// So the window checks whether the firewall lets quillane.exe receive UDP, at
// start and after a search that found no device, and offers to allow it.
//
// The firewall service is asked on a thread of its own, never on the window's
// thread; the answer comes back through the window's call queue.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/run_events.h"
#include "support/firewall.h"

namespace win32 {

class FirewallWatch {
public:
    using Post = std::function<void(std::function<void()>)>;  // any thread; runs it on the window's
    using Report = std::function<void(const quillane::FirewallCheck&)>;  // on the window's thread

    FirewallWatch(Post post, Report report);
    // Answers still under way are dropped; nothing is waited for.
    ~FirewallWatch();
    FirewallWatch(const FirewallWatch&) = delete;
    FirewallWatch& operator=(const FirewallWatch&) = delete;

    // Checks whether PROGRAM (a full path) may receive UDP; only the answer
    // of the latest check is reported.
    void Check(const std::string& program);
    // Starts `CLI firewall --allow` elevated (the "runas" verb: Windows asks
    // for consent), then, once it has ended, checks PROGRAM again. False when
    // it could not be started (also when the operator declined).
    bool AllowThenCheck(HWND owner, const std::string& cli, const std::string& program);

private:
    struct Shared;
    void CheckOnWorker(const std::string& program, HANDLE waitFirst);
    std::shared_ptr<Shared> m_shared;
};

// The check of the system's firewall for one program (bounded); tests put
// their own in. Null restores the real one.
using FirewallChecker = std::function<quillane::FirewallCheck(const std::string& program)>;
void SetFirewallCheckHook(FirewallChecker check);
// Starts PROGRAM with PARAMETERS elevated and returns its process handle
// (the caller closes it), or null; tests put their own in.
using ElevatedStarter =
    std::function<HANDLE(HWND owner, const std::wstring& program, const std::wstring& parameters)>;
void SetElevatedStartHook(ElevatedStarter start);

// Tells of every search the station finishes (on the loop's thread).
class SearchEndObserver : public quillane::RunObserver {
public:
    explicit SearchEndObserver(std::function<void()> searchEnded) : m_searchEnded(std::move(searchEnded)) {}
    void RunEnded(quillane::RunKind kind) override {
        if (kind == quillane::RunKind::kSearch) m_searchEnded();
    }

private:
    std::function<void()> m_searchEnded;
};

}  // namespace win32
