#pragma once

namespace quillane {

// Raises the process's soft limit of open files to its hard limit, so the
// services' own bounds (live TFTP transfers, queued datagrams) are what limits
// them, not the 1,024 descriptors many systems give a process by default.
// Returns the soft limit now in force, or -1 where there is none to raise.
long RaiseOpenFileLimit();

}  // namespace quillane
