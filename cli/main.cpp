// quillane-cli: the station without a window, for scripted runs.

#include <iostream>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "firewall_command.h"
#include "support/exe_dir.h"
#include "support/open_file_limit.h"
#include "support/utf8_command_line.h"

using namespace quillane::cli;

namespace {

int RunFirewall(const std::vector<std::string>& args) {
    const FirewallInvocation invocation = ParseFirewallArguments(args);
    if (invocation.help) {
        std::cout << FirewallHelpText();
        return kExitDone;
    }
    if (!invocation.error.empty()) {
        std::cerr << "quillane-cli: " << invocation.error << "\nTry 'quillane-cli firewall --help'.\n";
        return kExitUnusable;
    }
    return RunFirewallCommand(invocation.action, quillane::OpenSystemFirewall(),
                              ToolPrograms(quillane::ExecutableDirectory()), std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    quillane::UseUtf8Console();
    // An upgrade runs the TFTP server, which bounds its transfers itself.
    quillane::RaiseOpenFileLimit();
    const std::vector<std::string> args = quillane::Utf8Arguments(argc, argv);
    if (!args.empty() && args[0] == "firewall") return RunFirewall({args.begin() + 1, args.end()});
    const Invocation invocation = ParseArguments(args);
    if (invocation.help) {
        std::cout << HelpText(invocation.command);
        return kExitDone;
    }
    if (!invocation.error.empty()) {
        const std::string name = CommandName(invocation.command);
        std::cerr << "quillane-cli: " << invocation.error << "\n"
                  << "Try 'quillane-cli " << (name.empty() ? "" : name + " ") << "--help'.\n";
        return kExitUnusable;
    }
    switch (invocation.command) {
        case Command::Search:
            return RunSearchCommand(invocation, std::cout, std::cerr);
        case Command::Change:
            return RunChangeCommand(invocation, std::cout, std::cerr);
        case Command::Upgrade:
            return RunUpgradeCommand(invocation, std::cout, std::cerr);
        case Command::None:
            break;
    }
    std::cerr << HelpText(Command::None);
    return kExitUnusable;
}
