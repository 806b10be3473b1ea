// quillane-cli firewall on a fake firewall: the exit status and words of
// --check, the rules --allow and --remove add and take away, a refusal for
// want of administrator rights, and the word on systems without it.

#include "firewall_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"

namespace quillane::cli {
namespace {

const std::vector<std::string> kPrograms = {"C:\\Q\\quillane.exe", "C:\\Q\\quillane-cli.exe"};

class FakeFirewall : public FirewallAccess {
public:
    FirewallSnapshot Read() override { return snapshot; }
    bool Add(const FirewallRule& rule, std::string& why) override {
        if (!administrator) {
            why = "Windows Firewall did not take the rule: this needs administrator rights";
            return false;
        }
        snapshot.rules.push_back(rule);
        return true;
    }
    bool Remove(const std::string& name, std::string& why) override {
        if (!administrator) {
            why = "this needs administrator rights";
            return false;
        }
        std::erase_if(snapshot.rules, [&](const FirewallRule& rule) { return rule.name == name; });
        removed.push_back(name);
        return true;
    }
    FirewallSnapshot snapshot;
    bool administrator = true;
    std::vector<std::string> removed;
};

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunWith(FirewallAction action, std::shared_ptr<FirewallAccess> firewall) {
    std::ostringstream out, err;
    const int status = RunFirewallCommand(action, firewall, kPrograms, out, err);
    return {status, out.str(), err.str()};
}

std::shared_ptr<FakeFirewall> Firewall(std::vector<FirewallRule> rules, bool read = true) {
    auto firewall = std::make_shared<FakeFirewall>();
    firewall->snapshot.read = read;
    firewall->snapshot.why = read ? "" : "Windows Firewall did not say which profiles are in force";
    firewall->snapshot.activeProfiles = {{kFirewallPrivate, true, false, false}};
    firewall->snapshot.rules = std::move(rules);
    return firewall;
}

TEST(FirewallCommand, CheckExitsByWhatTheFirewallLets) {
    FirewallRule block = AllowRulesFor({kPrograms[1]})[0];
    block.allow = false;
    block.name = "quillane-cli.exe";
    struct Case {
        const char* what;
        std::shared_ptr<FakeFirewall> firewall;
        int status;
        const char* says;
    } cases[] = {
        {"both allowed", Firewall(AllowRulesFor(kPrograms)), kExitDone, "lets both programs"},
        {"one uncovered", Firewall(AllowRulesFor({kPrograms[0]})), kExitSomeFailed,
         "no rule lets it receive UDP"},
        {"one blocked", Firewall({AllowRulesFor(kPrograms)[0], block}), kExitSomeFailed,
         "blocked (rule \"quillane-cli.exe\")"},
        {"unreadable", Firewall({}, false), kExitUnusable, "cannot tell"},
    };
    for (const Case& c : cases) {
        const Outcome run = RunWith(FirewallAction::Check, c.firewall);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos)
            << c.what << ": " << run.out << run.err;
    }
    const Outcome uncovered = RunWith(FirewallAction::Check, Firewall({}));
    EXPECT_NE(uncovered.out.find("Private profile: firewall on"), std::string::npos) << uncovered.out;
    EXPECT_NE(uncovered.out.find("quillane-cli firewall --allow"), std::string::npos) << uncovered.out;
}

// Allowing twice leaves one rule per program; the group's rule for another
// copy of the tool and rules of other programs stay.
TEST(FirewallCommand, AllowReplacesTheGroupsRulesForTheseProgramsOnly) {
    FirewallRule otherCopy = AllowRulesFor({"D:\\Old\\quillane.exe"})[0];
    FirewallRule foreign;
    foreign.name = "Some other program";
    foreign.application = "C:\\Other\\other.exe";
    auto firewall = Firewall({otherCopy, foreign});
    EXPECT_EQ(RunWith(FirewallAction::Allow, firewall).status, kExitDone);
    EXPECT_EQ(RunWith(FirewallAction::Allow, firewall).status, kExitDone);
    ASSERT_EQ(firewall->snapshot.rules.size(), 4u);
    EXPECT_EQ(RunWith(FirewallAction::Check, firewall).status, kExitDone);

    EXPECT_EQ(RunWith(FirewallAction::Remove, firewall).status, kExitDone);
    ASSERT_EQ(firewall->snapshot.rules.size(), 1u);
    EXPECT_EQ(firewall->snapshot.rules[0].name, "Some other program");
    EXPECT_EQ(RunWith(FirewallAction::Check, firewall).status, kExitSomeFailed);
}

TEST(FirewallCommand, ChangesWithoutAdministratorRightsSaySoAndFail) {
    auto firewall = Firewall(AllowRulesFor(kPrograms));
    firewall->administrator = false;
    for (FirewallAction action : {FirewallAction::Allow, FirewallAction::Remove}) {
        const Outcome run = RunWith(action, firewall);
        EXPECT_EQ(run.status, kExitUnusable);
        EXPECT_NE(run.err.find("administrator"), std::string::npos) << run.err;
    }
}

TEST(FirewallCommand, WithoutWindowsFirewallItSaysItAppliesToWindowsOnly) {
    const Outcome run = RunWith(FirewallAction::Check, nullptr);
    EXPECT_EQ(run.status, kExitUnusable);
    EXPECT_NE(run.err.find("Windows only"), std::string::npos) << run.err;
}

TEST(FirewallCommand, ArgumentsNameExactlyOneAction) {
    EXPECT_EQ(ParseFirewallArguments({"--allow"}).action, FirewallAction::Allow);
    EXPECT_EQ(ParseFirewallArguments({"--remove"}).action, FirewallAction::Remove);
    EXPECT_TRUE(ParseFirewallArguments({"--check"}).error.empty());
    EXPECT_FALSE(ParseFirewallArguments({}).error.empty());
    EXPECT_FALSE(ParseFirewallArguments({"--check", "--allow"}).error.empty());
    EXPECT_FALSE(ParseFirewallArguments({"--open"}).error.empty());
    EXPECT_TRUE(ParseFirewallArguments({"--help"}).help);
    EXPECT_EQ(ToolPrograms("C:\\Q\\"), kPrograms);
}

}  // namespace
}  // namespace quillane::cli
