#pragma once

#include <iosfwd>

#include "arguments.h"

namespace quillane::cli {

// Exit codes of quillane-cli.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUnusable = 1;    // bad arguments, or the station could not start
inline constexpr int kExitSomeFailed = 3;  // some devices failed or were not found

// Each command prints its result to `out` and its messages and progress to `err`.
int RunSearchCommand(const Invocation& invocation, std::ostream& out, std::ostream& err);
int RunChangeCommand(const Invocation& invocation, std::ostream& out, std::ostream& err);
int RunUpgradeCommand(const Invocation& invocation, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
