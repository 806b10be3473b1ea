// The firewall check on a fake firewall: which rules and profile settings let
// the tool's programs receive UDP, and the system's own firewall as it
// answers here (Windows under wine: only partly there, so "cannot tell").

#include "support/firewall.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillane {
namespace {

const std::string kWindow = "C:\\Users\\op\\AppData\\Local\\Programs\\Quillane\\quillane.exe";

FirewallProfileState On(int profile = kFirewallPrivate) {
    return {profile, true, false, false};
}

FirewallRule Rule(std::string application, bool allow = true, int protocol = kProtocolUdp) {
    FirewallRule rule;
    rule.name = "rule for " + application;
    rule.application = std::move(application);
    rule.allow = allow;
    rule.protocol = protocol;
    return rule;
}

FirewallSnapshot Snapshot(std::vector<FirewallProfileState> profiles, std::vector<FirewallRule> rules) {
    FirewallSnapshot snapshot;
    snapshot.read = true;
    snapshot.activeProfiles = std::move(profiles);
    snapshot.rules = std::move(rules);
    return snapshot;
}

FirewallRule Disabled(FirewallRule rule) {
    rule.enabled = false;
    return rule;
}

FirewallRule Outbound(FirewallRule rule) {
    rule.inbound = false;
    return rule;
}

FirewallRule InProfiles(FirewallRule rule, int profiles) {
    rule.profiles = profiles;
    return rule;
}

FirewallRule SomePorts(FirewallRule rule) {
    rule.allLocalPorts = false;
    return rule;
}

TEST(FirewallCheck, DecidesByTheProfilesAndTheRules) {
    const std::string otherPath = "C:\\Tools\\quillane.exe";
    struct Case {
        const char* what;
        FirewallSnapshot firewall;
        FirewallVerdict expected;
    } cases[] = {
        {"firewall off", Snapshot({{kFirewallPrivate, false, false, false}}, {}), FirewallVerdict::kAllowed},
        {"rule for the exact path", Snapshot({On()}, {Rule(kWindow)}), FirewallVerdict::kAllowed},
        {"same path in other case and separators",
         Snapshot({On()}, {Rule("c:/users/OP/appdata/local/programs/quillane/QUILLANE.EXE")}),
         FirewallVerdict::kAllowed},
        {"rule for any protocol", Snapshot({On()}, {Rule(kWindow, true, kProtocolAny)}),
         FirewallVerdict::kAllowed},
        {"rule for every program", Snapshot({On()}, {Rule("")}), FirewallVerdict::kAllowed},
        {"rule for another path (a copied exe)", Snapshot({On()}, {Rule(otherPath)}),
         FirewallVerdict::kUncovered},
        {"block rule", Snapshot({On()}, {Rule(kWindow, false)}), FirewallVerdict::kBlocked},
        {"block rule beats an allow rule", Snapshot({On()}, {Rule(kWindow), Rule(kWindow, false)}),
         FirewallVerdict::kBlocked},
        {"block rule for TCP only", Snapshot({On()}, {Rule(kWindow, false, kProtocolTcp)}),
         FirewallVerdict::kUncovered},
        {"disabled rule", Snapshot({On()}, {Disabled(Rule(kWindow))}), FirewallVerdict::kUncovered},
        {"disabled block rule", Snapshot({On()}, {Rule(kWindow), Disabled(Rule(kWindow, false))}),
         FirewallVerdict::kAllowed},
        {"rule for TCP only", Snapshot({On()}, {Rule(kWindow, true, kProtocolTcp)}),
         FirewallVerdict::kUncovered},
        {"outbound rule only", Snapshot({On()}, {Outbound(Rule(kWindow))}), FirewallVerdict::kUncovered},
        {"rule for some ports only (the TFTP transfers need others)",
         Snapshot({On()}, {SomePorts(Rule(kWindow))}), FirewallVerdict::kUncovered},
        {"no rule", Snapshot({On()}, {}), FirewallVerdict::kUncovered},
        {"no rule, inbound allowed by default", Snapshot({{kFirewallPrivate, true, false, true}}, {}),
         FirewallVerdict::kAllowed},
        {"block all incoming connections", Snapshot({{kFirewallPrivate, true, true, false}}, {Rule(kWindow)}),
         FirewallVerdict::kBlocked},
        {"rule for the private profile while the public one is in force",
         Snapshot({On(kFirewallPublic)}, {InProfiles(Rule(kWindow), kFirewallPrivate)}),
         FirewallVerdict::kUncovered},
        {"two profiles in force, the rule covers one",
         Snapshot({On(kFirewallDomain), On(kFirewallPrivate)}, {InProfiles(Rule(kWindow), kFirewallPrivate)}),
         FirewallVerdict::kUncovered},
        {"block rule for every program on every port", Snapshot({On()}, {Rule(kWindow), Rule("", false)}),
         FirewallVerdict::kBlocked},
        {"block rule for every program on some ports",
         Snapshot({On()}, {Rule(kWindow), SomePorts(Rule("", false))}), FirewallVerdict::kAllowed},
        {"firewall not readable", FirewallSnapshot{}, FirewallVerdict::kCannotTell},
        {"no profile in force", Snapshot({}, {Rule(kWindow)}), FirewallVerdict::kCannotTell},
    };
    for (const Case& c : cases) {
        const FirewallCheck check = CheckFirewall(c.firewall, {kWindow});
        EXPECT_EQ(check.verdict, c.expected) << c.what;
        if (check.verdict == FirewallVerdict::kCannotTell) EXPECT_FALSE(check.why.empty()) << c.what;
    }
}

// One finding per profile in force and program; the worst decides, and the
// deciding rule is named.
TEST(FirewallCheck, FindsPerProfileAndProgramAndNamesTheDecidingRule) {
    const std::string cli = "C:\\Q\\quillane-cli.exe";
    FirewallRule block = Rule(cli, false);
    block.name = "quillane-cli.exe";
    const FirewallCheck check = CheckFirewall(
        Snapshot({On(kFirewallPrivate), On(kFirewallPublic)}, {Rule(kWindow), block}), {kWindow, cli});
    ASSERT_EQ(check.findings.size(), 4u);
    EXPECT_EQ(check.verdict, FirewallVerdict::kBlocked);
    EXPECT_EQ(check.findings[0].profile, kFirewallPrivate);
    EXPECT_EQ(check.findings[0].verdict, FirewallVerdict::kAllowed);
    EXPECT_EQ(check.findings[0].rule, "rule for " + kWindow);
    EXPECT_EQ(check.findings[1].program, cli);
    EXPECT_EQ(check.findings[1].verdict, FirewallVerdict::kBlocked);
    EXPECT_EQ(check.findings[1].rule, "quillane-cli.exe");
    EXPECT_EQ(check.findings[3].profile, kFirewallPublic);
}

TEST(FirewallCheck, TheToolsRulesLetEachProgramReceiveUdpInEveryProfile) {
    const std::vector<std::string> programs = {kWindow, "C:\\Q\\quillane-cli.exe"};
    const std::vector<FirewallRule> rules = AllowRulesFor(programs);
    ASSERT_EQ(rules.size(), 2u);
    for (const FirewallRule& rule : rules) {
        EXPECT_EQ(rule.grouping, kFirewallGroup);
        EXPECT_EQ(rule.protocol, kProtocolUdp);
        EXPECT_TRUE(rule.allow && rule.inbound && rule.enabled && rule.allLocalPorts);
    }
    EXPECT_NE(rules[0].name, rules[1].name);
    const auto allProfiles = {On(kFirewallDomain), On(kFirewallPrivate), On(kFirewallPublic)};
    EXPECT_EQ(CheckFirewall(Snapshot(allProfiles, rules), programs).verdict, FirewallVerdict::kAllowed);
}

class SlowFirewall : public FirewallAccess {
public:
    FirewallSnapshot Read() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return Snapshot({On()}, {});
    }
    bool Add(const FirewallRule&, std::string&) override { return false; }
    bool Remove(const std::string&, std::string&) override { return false; }
};

// A firewall that does not answer in time leaves the caller with "cannot tell".
TEST(FirewallCheck, AReadThatMissesItsBoundCannotTell) {
    const FirewallSnapshot late =
        ReadFirewallWithin(std::make_shared<SlowFirewall>(), std::chrono::milliseconds(20));
    EXPECT_FALSE(late.read);
    EXPECT_NE(late.why.find("did not answer"), std::string::npos) << late.why;
    EXPECT_TRUE(ReadFirewallWithin(std::make_shared<SlowFirewall>(), std::chrono::seconds(30)).read);
}

// The real firewall interface: on Windows it answers (wine's is only partly
// there and cannot tell, without crashing or hanging); elsewhere there is none.
TEST(FirewallCheck, TheSystemsFirewallAnswersOrSaysWhyNot) {
    std::shared_ptr<FirewallAccess> system = OpenSystemFirewall();
#ifdef _WIN32
    ASSERT_NE(system, nullptr);
    const FirewallSnapshot snapshot = ReadFirewallWithin(system, std::chrono::seconds(60));
    const FirewallCheck check = CheckFirewall(snapshot, {"C:\\Quillane\\quillane.exe"});
    if (!snapshot.read) EXPECT_FALSE(check.why.empty());
    const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (underWine) EXPECT_EQ(check.verdict, FirewallVerdict::kCannotTell) << check.why;
#else
    EXPECT_EQ(system, nullptr);
#endif
}

}  // namespace
}  // namespace quillane
