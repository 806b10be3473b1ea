#pragma once

// When the station's runs begin and end, for whoever drives the station
// without a window (the command-line tool, tests): it waits for these
// instead of watching the request flags.

namespace quillane {

enum class RunKind {
    kSearch,         // ends when the probes are out (replies may still come)
    kAddressChange,  // ends when every device answered or was given up on
    kUpgrade,        // ends when the run gave the controls back
};

// Told on the thread that starts or ends the run (the GUI thread, the command
// loop, a transfer thread), possibly with the list lock held: implementations
// only take note and wake their own thread.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A handler handed a run to the workers (a refused press starts none).
    virtual void RunStarted(RunKind /*kind*/) {}
    virtual void RunEnded(RunKind /*kind*/) {}
};

}  // namespace quillane
