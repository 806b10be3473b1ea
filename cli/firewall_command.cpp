#include "firewall_command.h"

#include <chrono>
#include <ostream>

#include "commands.h"

namespace quillane::cli {
namespace {

// Long enough for a busy firewall service; a hung one must not hang scripts.
constexpr std::chrono::seconds kReadBound{30};

constexpr const char* kHelp = R"(usage: quillane-cli firewall --check | --allow | --remove

Windows Defender Firewall blocks unasked inbound traffic. The devices' replies
(UDP 25005), their boot requests (67) and TFTP requests (69, transfers from
25020) are all inbound, so without a rule a search finds nothing.

  --check    for each firewall profile in force: is the firewall on, and does
             an enabled inbound rule let quillane.exe and quillane-cli.exe
             (their full paths in this program's folder) receive UDP?
             exit status 0 they can, 3 something blocks them or no rule
             covers them, 1 the check cannot be made (the message says why)
  --allow    adds inbound rules that allow UDP for both programs' full paths,
             every profile, in the rule group "Quillane" (replacing the
             group's rules for these paths); needs administrator rights
  --remove   removes every rule of the group "Quillane" (administrator)

Rules name the programs' full paths: after moving or copying the programs,
allow them again. Windows only.
)";

std::string VerdictText(FirewallVerdict verdict) {
    switch (verdict) {
        case FirewallVerdict::kAllowed:
            return "allowed";
        case FirewallVerdict::kUncovered:
            return "no rule lets it receive UDP";
        case FirewallVerdict::kBlocked:
            return "blocked";
        case FirewallVerdict::kCannotTell:
            break;
    }
    return "cannot tell";
}

int Check(const std::shared_ptr<FirewallAccess>& firewall, const std::vector<std::string>& programs,
          std::ostream& out, std::ostream& err) {
    const FirewallSnapshot snapshot = ReadFirewallWithin(firewall, kReadBound);
    const FirewallCheck check = CheckFirewall(snapshot, programs);
    if (check.verdict == FirewallVerdict::kCannotTell) {
        err << "quillane-cli: cannot tell whether the firewall lets the tool receive: " << check.why << "\n";
        return kExitUnusable;
    }
    for (const FirewallProfileState& profile : snapshot.activeProfiles) {
        out << FirewallProfileName(profile.profile) << " profile: firewall "
            << (profile.enabled ? "on" : "off")
            << (profile.enabled && profile.blockAllInbound ? ", blocking all incoming traffic" : "") << "\n";
        for (const FirewallFinding& finding : check.findings) {
            if (finding.profile != profile.profile) continue;
            out << "  " << finding.program << ": " << VerdictText(finding.verdict);
            if (!finding.rule.empty()) out << " (rule \"" << finding.rule << "\")";
            out << "\n";
        }
    }
    if (check.verdict == FirewallVerdict::kAllowed) {
        out << "The firewall lets both programs receive the devices' traffic.\n";
        return kExitDone;
    }
    out << "The firewall keeps the devices' traffic from the tool: run 'quillane-cli firewall --allow' as an "
           "administrator.\n";
    return kExitSomeFailed;
}

int Allow(const std::shared_ptr<FirewallAccess>& firewall, const std::vector<std::string>& programs,
          std::ostream& out, std::ostream& err) {
    const FirewallSnapshot snapshot = ReadFirewallWithin(firewall, kReadBound);
    std::string why;
    // The group's rules for these very paths are replaced, so allowing twice
    // leaves one rule per program; rules for other paths (another copy) stay.
    for (const FirewallRule& rule : snapshot.rules) {
        bool forThesePrograms = false;
        for (const std::string& program : programs)
            forThesePrograms |= SameProgramPath(rule.application, program);
        if (rule.grouping == kFirewallGroup && forThesePrograms && !firewall->Remove(rule.name, why)) {
            err << "quillane-cli: " << why << "\n";
            return kExitUnusable;
        }
    }
    for (const FirewallRule& rule : AllowRulesFor(programs)) {
        if (!firewall->Add(rule, why)) {
            err << "quillane-cli: " << why << "\n";
            return kExitUnusable;
        }
        out << "added rule \"" << rule.name << "\": inbound UDP allowed for " << rule.application << "\n";
    }
    return kExitDone;
}

int Remove(const std::shared_ptr<FirewallAccess>& firewall, std::ostream& out, std::ostream& err) {
    const FirewallSnapshot snapshot = ReadFirewallWithin(firewall, kReadBound);
    if (!snapshot.read) {
        err << "quillane-cli: cannot read the firewall's rules: " << snapshot.why << "\n";
        return kExitUnusable;
    }
    int removed = 0;
    std::string why;
    for (const FirewallRule& rule : snapshot.rules) {
        if (rule.grouping != kFirewallGroup) continue;
        if (!firewall->Remove(rule.name, why)) {
            err << "quillane-cli: " << why << "\n";
            return kExitUnusable;
        }
        out << "removed rule \"" << rule.name << "\"\n";
        ++removed;
    }
    if (removed == 0) out << "no rule of the group \"" << kFirewallGroup << "\" to remove\n";
    return kExitDone;
}

}  // namespace

FirewallInvocation ParseFirewallArguments(const std::vector<std::string>& args) {
    FirewallInvocation invocation;
    int actions = 0;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            invocation.help = true;
        } else if (arg == "--check" || arg == "--allow" || arg == "--remove") {
            ++actions;
            invocation.action = arg == "--check"   ? FirewallAction::Check
                                : arg == "--allow" ? FirewallAction::Allow
                                                   : FirewallAction::Remove;
        } else {
            invocation.error = "unknown option '" + arg + "'";
            return invocation;
        }
    }
    if (!invocation.help && actions != 1) invocation.error = "give one of --check, --allow and --remove";
    return invocation;
}

std::string FirewallHelpText() {
    return kHelp;
}

std::vector<std::string> ToolPrograms(const std::string& appDir) {
    return {appDir + "quillane.exe", appDir + "quillane-cli.exe"};
}

int RunFirewallCommand(FirewallAction action, const std::shared_ptr<FirewallAccess>& firewall,
                       const std::vector<std::string>& programs, std::ostream& out, std::ostream& err) {
    if (!firewall) {
        err << "quillane-cli: the firewall command applies to Windows only (Windows Defender Firewall); "
               "nothing to check here\n";
        return kExitUnusable;
    }
    switch (action) {
        case FirewallAction::Check:
            return Check(firewall, programs, out, err);
        case FirewallAction::Allow:
            return Allow(firewall, programs, out, err);
        case FirewallAction::Remove:
            return Remove(firewall, out, err);
    }
    return kExitUnusable;
}

}  // namespace quillane::cli
