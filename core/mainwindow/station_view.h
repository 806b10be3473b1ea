#pragma once

#include <cstdint>
#include <string>

namespace quillane {

// What the station needs of the window. The Qt window implements it; tests
// use a recording fake. Methods marked "any thread" are called by workers and
// must neither block on the GUI thread nor touch widgets directly.
class StationView {
public:
    virtual ~StationView() = default;

    // Any thread.
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void SetCaption(int id, const std::string& text) = 0;  // kIdMainWindow: the title
    virtual void SetProgress(int percent) = 0;
    // Message box with an OK button only. On the GUI thread it is modal; from a
    // worker it is shown later, without waiting for the operator.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

    // Any thread: the window's current values, mirrored so workers never wait.
    virtual int FindTypeSelection() const = 0;  // -1 when nothing is selected
    virtual uint32_t RangeStart() const = 0;    // number form, first octet most significant
    virtual uint32_t RangeEnd() const = 0;
};

}  // namespace quillane
