#pragma once

// quillane-cli firewall --check | --allow | --remove: whether Windows
// Defender Firewall lets quillane.exe and quillane-cli.exe receive UDP, and
// the tool's own allow rules (group "Quillane") added or removed.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "support/firewall.h"

namespace quillane::cli {

enum class FirewallAction { Check, Allow, Remove };

struct FirewallInvocation {
    FirewallAction action = FirewallAction::Check;
    bool help = false;
    std::string error;  // not empty: the arguments are unusable
};

// args: the arguments after "firewall".
FirewallInvocation ParseFirewallArguments(const std::vector<std::string>& args);
std::string FirewallHelpText();

// The two programs' full paths in APP_DIR (which ends in a separator).
std::vector<std::string> ToolPrograms(const std::string& appDir);

// FIREWALL null: this system has no firewall of that kind (not Windows).
// Exit 0: allowed / done; 3 (check) something blocks or no rule covers a
// program; 1: the check or the change could not be made (the message says why).
int RunFirewallCommand(FirewallAction action, const std::shared_ptr<FirewallAccess>& firewall,
                       const std::vector<std::string>& programs, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
