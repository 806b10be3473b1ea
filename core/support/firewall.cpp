#include "support/firewall.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace quillane {
namespace {

std::string Folded(const std::string& path) {
    std::string folded = path;
    for (char& c : folded) {
        if (c == '/') c = '\\';
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

bool ForProgram(const FirewallRule& rule, const std::string& program) {
    return rule.application.empty() || SameProgramPath(rule.application, program);
}

bool CoversUdpIn(const FirewallRule& rule, int profile) {
    return rule.enabled && rule.inbound && (rule.profiles & profile) != 0 &&
           (rule.protocol == kProtocolUdp || rule.protocol == kProtocolAny);
}

// Worse verdicts rank higher: one blocked program makes the whole check "blocked".
int Rank(FirewallVerdict verdict) {
    switch (verdict) {
        case FirewallVerdict::kAllowed:
            return 0;
        case FirewallVerdict::kUncovered:
            return 1;
        case FirewallVerdict::kBlocked:
            return 2;
        case FirewallVerdict::kCannotTell:
            return 3;
    }
    return 3;
}

FirewallFinding Decide(const FirewallProfileState& state, const std::vector<FirewallRule>& rules,
                       const std::string& program) {
    FirewallFinding finding{state.profile, program, FirewallVerdict::kAllowed, {}};
    if (!state.enabled) return finding;
    // A block rule for the program: the firewall writes these itself when a
    // user without administrator rights dismisses its prompt.
    for (const FirewallRule& rule : rules) {
        const bool aimsAtProgram =
            rule.application.empty() ? rule.allLocalPorts : SameProgramPath(rule.application, program);
        if (!rule.allow && aimsAtProgram && CoversUdpIn(rule, state.profile)) {
            finding.verdict = FirewallVerdict::kBlocked;
            finding.rule = rule.name;
            return finding;
        }
    }
    if (state.blockAllInbound) {
        finding.verdict = FirewallVerdict::kBlocked;
        return finding;
    }
    for (const FirewallRule& rule : rules) {
        if (rule.allow && rule.allLocalPorts && ForProgram(rule, program) &&
            CoversUdpIn(rule, state.profile)) {
            finding.rule = rule.name;
            return finding;
        }
    }
    if (!state.inboundAllowedByDefault) finding.verdict = FirewallVerdict::kUncovered;
    return finding;
}

}  // namespace

bool SameProgramPath(const std::string& a, const std::string& b) {
    return Folded(a) == Folded(b);
}

std::string FirewallProfileName(int profile) {
    switch (profile) {
        case kFirewallDomain:
            return "Domain";
        case kFirewallPrivate:
            return "Private";
        case kFirewallPublic:
            return "Public";
        default:
            return "profile " + std::to_string(profile);
    }
}

FirewallCheck CheckFirewall(const FirewallSnapshot& firewall, const std::vector<std::string>& programs) {
    FirewallCheck check;
    if (!firewall.read) {
        check.why = firewall.why.empty() ? "the firewall could not be read" : firewall.why;
        return check;
    }
    if (firewall.activeProfiles.empty()) {
        check.why = "the firewall names no profile in force";
        return check;
    }
    check.verdict = FirewallVerdict::kAllowed;
    for (const FirewallProfileState& state : firewall.activeProfiles) {
        for (const std::string& program : programs) {
            check.findings.push_back(Decide(state, firewall.rules, program));
            if (Rank(check.findings.back().verdict) > Rank(check.verdict))
                check.verdict = check.findings.back().verdict;
        }
    }
    return check;
}

std::vector<FirewallRule> AllowRulesFor(const std::vector<std::string>& programs) {
    std::vector<FirewallRule> rules;
    for (const std::string& program : programs) {
        FirewallRule rule;
        rule.name = std::string(kFirewallGroup) + " (" + program + ")";
        rule.application = program;
        rule.protocol = kProtocolUdp;
        rule.grouping = kFirewallGroup;
        rules.push_back(rule);
    }
    return rules;
}

FirewallSnapshot ReadFirewallWithin(std::shared_ptr<FirewallAccess> access, std::chrono::milliseconds bound) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<FirewallSnapshot> snapshot;
    };
    auto shared = std::make_shared<Shared>();
    FirewallSnapshot late;
    late.why = "the firewall did not answer within " + std::to_string(bound.count() / 1000) + " s";
    try {
        std::thread([shared, access] {
            FirewallSnapshot snapshot = access->Read();
            std::lock_guard lock(shared->mutex);
            shared->snapshot = std::move(snapshot);
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        late.why = "no thread could be started to ask the firewall";
        return late;
    }
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, bound, [&] { return shared->snapshot.has_value(); })) return late;
    return *shared->snapshot;
}

}  // namespace quillane
