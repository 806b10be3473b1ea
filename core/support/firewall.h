#pragma once

// Whether the host firewall lets the tool's programs receive UDP from the
// network: the device replies (25005), boot requests (67) and TFTP requests
// (69, transfers from 25020) all come in unasked. What the firewall holds is
// read through FirewallAccess (Windows Defender Firewall on Windows, a fake in
// tests); the decision over it is CheckFirewall.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace quillane {

// Profile bits, as the firewall counts them.
inline constexpr int kFirewallDomain = 1;
inline constexpr int kFirewallPrivate = 2;
inline constexpr int kFirewallPublic = 4;
inline constexpr int kFirewallAllProfiles = 0x7FFFFFFF;

inline constexpr int kProtocolTcp = 6;
inline constexpr int kProtocolUdp = 17;
inline constexpr int kProtocolAny = 256;

// The rule group the tool's own rules belong to.
inline constexpr const char* kFirewallGroup = "Quillane";

struct FirewallProfileState {
    int profile = 0;               // one profile bit
    bool enabled = true;           // the firewall is on in this profile
    bool blockAllInbound = false;  // "block all incoming connections": allow rules do not count
    bool inboundAllowedByDefault = false;
};

struct FirewallRule {
    std::string name;
    std::string application;  // full path; empty: every program
    int protocol = kProtocolAny;
    bool inbound = true;
    bool enabled = true;
    bool allow = true;  // false: a block rule
    int profiles = kFirewallAllProfiles;
    bool allLocalPorts = true;  // false: the rule names some local ports only
    std::string grouping;
};

// What the firewall holds for the profiles in force now.
struct FirewallSnapshot {
    bool read = false;
    std::string why;  // when not read: why not
    std::vector<FirewallProfileState> activeProfiles;
    std::vector<FirewallRule> rules;
};

class FirewallAccess {
public:
    virtual ~FirewallAccess() = default;
    virtual FirewallSnapshot Read() = 0;
    // Adds RULE; false with the reason otherwise (no administrator rights...).
    virtual bool Add(const FirewallRule& rule, std::string& why) = 0;
    // Removes the rule named NAME.
    virtual bool Remove(const std::string& name, std::string& why) = 0;
};

enum class FirewallVerdict {
    kAllowed,     // every program may receive UDP in every active profile
    kUncovered,   // the firewall is on and no rule lets a program receive UDP
    kBlocked,     // a rule or the profile's setting blocks a program
    kCannotTell,  // the firewall could not be read
};

struct FirewallFinding {
    int profile = 0;
    std::string program;
    FirewallVerdict verdict = FirewallVerdict::kCannotTell;
    std::string rule;  // the rule that decided, if one did
};

struct FirewallCheck {
    FirewallVerdict verdict = FirewallVerdict::kCannotTell;  // the worst of the findings
    std::string why;                                         // kCannotTell: why
    std::vector<FirewallFinding> findings;                   // per active profile and program
};

// Whether each of PROGRAMS (full paths) may receive UDP from the network in
// every profile in force. A block rule that names the program (or every
// program, on every port) wins over any allow rule, as in the firewall
// itself; an allow rule counts when it is enabled, inbound, for the program
// (or every program), for UDP (or any protocol), on every local port, and in
// the profile.
FirewallCheck CheckFirewall(const FirewallSnapshot& firewall, const std::vector<std::string>& programs);

// The rules the tool adds for PROGRAMS: inbound UDP allowed, every profile,
// group kFirewallGroup, one rule per program named after its path.
std::vector<FirewallRule> AllowRulesFor(const std::vector<std::string>& programs);

// "Domain", "Private", "Public".
std::string FirewallProfileName(int profile);
// Paths compared as the firewall compares them: without case, either separator.
bool SameProgramPath(const std::string& a, const std::string& b);

// ACCESS's Read on a thread of its own, waited for at most BOUND: a firewall
// service that does not answer leaves the caller with "cannot tell" instead
// of hanging it. A read that misses the bound ends on its own later and is
// dropped (the thread holds the access object).
FirewallSnapshot ReadFirewallWithin(std::shared_ptr<FirewallAccess> access, std::chrono::milliseconds bound);

// The system's firewall: Windows Defender Firewall through its COM interface
// on Windows; null elsewhere (there is no firewall of this kind to ask).
std::unique_ptr<FirewallAccess> OpenSystemFirewall();

}  // namespace quillane
