#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/file_dialog_filter.h"
#include "model/ip_settings.h"

namespace quillane {

// A control's rectangle in screen coordinates.
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// What the station needs of the window. The Qt window implements it; tests
// use a recording fake. Methods marked "any thread" are called by workers and
// must neither block on the GUI thread nor touch widgets directly; workers
// only ever tell the window something, never ask it.
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

    // GUI thread only: the controls a press turns into a request. Workers
    // never read the window; they work from the request.
    virtual int FindTypeSelection() const = 0;  // -1 when nothing is selected
    virtual uint32_t RangeStart() const = 0;    // number form, first octet most significant
    virtual uint32_t RangeEnd() const = 0;

    // GUI thread only. Views that lack a control keep the defaults, which do
    // nothing (worker-side fakes need none of these).
    virtual void SetRange(uint32_t /*start*/, uint32_t /*end*/) {}
    virtual void SetChecked(int /*id*/, bool /*checked*/) {}
    virtual void SetFindTypeItems(const std::array<std::string, 2>& /*items*/, int /*selection*/) {}
    virtual void SetTableColumns(const std::array<std::string, 12>& /*headers*/,
                                 const std::array<int, 12>& /*widths*/) {}
    virtual void SetProgressRange(int /*low*/, int /*high*/) {}
    // The file-open dialog; nullopt when the operator cancels.
    virtual std::optional<std::string> AskForFile(const FileDialogFilter& /*filter*/) { return std::nullopt; }
    // The IP settings dialog, opened with a device's values (all 0 for none);
    // the confirmed entries, or nullopt when the operator cancels.
    virtual std::optional<IpSettingsValues> AskIpSettings(const std::string& /*appDir*/, int /*language*/,
                                                          const IpDeviceValues& /*device*/) {
        return std::nullopt;
    }
    virtual ScreenRect ControlScreenRect(int /*id*/) const { return {}; }
};

}  // namespace quillane
