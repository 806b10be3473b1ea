#pragma once

// The signals by which the system asks the tool to end: SIGTERM (logout, a
// service manager, kill), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal went away). The handler only makes a descriptor readable, so the
// GUI thread runs the orderly stop (services stopped with their bounded waits,
// transfers ended, the log told) instead of the process dying mid-transfer.
// A second signal while that stop runs ends the process at once, by the
// signal's default action. A signal ignored when the process started (nohup)
// stays ignored.

namespace quillane {

// Installs the handlers, once per process; later calls return the same
// descriptor. Returns the descriptor that turns readable with the first
// signal, or -1 when none could be made (and on Windows, where these signals
// do not reach a windowed program).
int InstallStopSignals();

// Empties the descriptor. Returns the first stop signal received, 0 if none.
int TakeStopSignal();

}  // namespace quillane
