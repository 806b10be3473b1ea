#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/station_view.h"
#include "runs/run_requests.h"

namespace quillane::test {

// A window stand-in: records what the station shows and answers its questions
// from fields the test sets. Workers may call it on their threads (the
// recording is locked); a test reads the records once those threads are quiet.
class RecordingView : public StationView {
public:
    struct Message {
        std::string text, caption;
        bool operator==(const Message&) const = default;
    };

    // Any thread.
    void EnableControl(int id, bool enabled) override {
        std::lock_guard lock(m_mutex);
        enabled_[id] = enabled;
        controlLog.push_back((enabled ? "enable " : "disable ") + std::to_string(id));
    }
    void SetCaption(int id, const std::string& text) override {
        {
            std::lock_guard lock(m_mutex);
            captions[id] = text;
            controlLog.push_back("caption " + std::to_string(id) + " " + text);
            captionLog.emplace_back(id, text);
        }
        if (onCaption) onCaption(id, text);
    }
    void SetProgress(int percent) override {
        progress = percent;
        {
            std::lock_guard lock(m_mutex);
            progressHistory.push_back(percent);
        }
        if (onProgress) onProgress(percent);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        messages.push_back({text, caption});
    }
    int FindTypeSelection() const override { return findType; }
    uint32_t RangeStart() const override { return rangeStart; }
    uint32_t RangeEnd() const override { return rangeEnd; }

    // GUI thread.
    void SetRange(uint32_t start, uint32_t end) override {
        rangeStart = start;
        rangeEnd = end;
    }
    void SetChecked(int id, bool checked) override { checks[id] = checked; }
    void SetFindTypeItems(const std::array<std::string, 2>& items, int selection) override {
        findTypeItems = items;
        findType = selection;
    }
    void SetTableColumns(const std::array<std::string, 12>& h, const std::array<int, 12>& w) override {
        headers = h;
        widths = w;
    }
    void SetProgressRange(int low, int high) override { progressRange = {low, high}; }
    std::optional<std::string> AskForFile(const FileDialogFilter& filter) override {
        fileFilter = filter.label + "|" + filter.pattern + "|" + filter.extension;
        return fileAnswer;
    }
    std::optional<IpSettingsValues> AskIpSettings(const std::string& appDir, int language,
                                                  const IpDeviceValues& device) override {
        ipSettingsAsked.push_back({appDir, language, device});
        return ipSettingsAnswer;
    }
    ScreenRect ControlScreenRect(int id) const override {
        return rects.count(id) ? rects.at(id) : ScreenRect{};
    }

    // The search request a Find press makes of the fields below.
    SearchRequest Search() const { return {findType.load(), rangeStart.load(), rangeEnd.load()}; }

    // A control never disabled counts as enabled.
    bool Enabled(int id) const {
        std::lock_guard lock(m_mutex);
        return enabled_.count(id) ? enabled_.at(id) : true;
    }
    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return messages;
    }
    std::string Caption(int id) const {
        std::lock_guard lock(m_mutex);
        return captions.count(id) ? captions.at(id) : std::string();
    }
    // Every text one control was given, in order.
    std::vector<std::string> CaptionsOf(int id) const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& [control, text] : captionLog)
            if (control == id) texts.push_back(text);
        return texts;
    }

    // What the station showed.
    std::map<int, bool> enabled_;
    std::map<int, std::string> captions;                  // the last text of each control
    std::vector<std::pair<int, std::string>> captionLog;  // every text, in order
    std::map<int, bool> checks;
    std::vector<Message> messages;
    std::atomic<int> progress{-1};
    std::vector<int> progressHistory;  // every value the bar was set to, in order
    std::array<std::string, 2> findTypeItems;
    std::array<std::string, 12> headers;
    std::array<int, 12> widths{};
    std::pair<int, int> progressRange{-1, -1};
    std::string fileFilter;
    std::vector<std::string> controlLog;  // EnableControl and SetCaption calls, in order
    struct IpSettingsQuestion {
        std::string appDir;
        int language;
        IpDeviceValues device;
    };
    std::vector<IpSettingsQuestion> ipSettingsAsked;

    // What the window answers.
    std::atomic<int> findType{-1};
    std::atomic<uint32_t> rangeStart{0};
    std::atomic<uint32_t> rangeEnd{0};
    // Runs after each progress value is recorded: a test presses a button at that point.
    std::function<void(int percent)> onProgress;
    // Runs after each caption is recorded: a test presses a button at that point.
    std::function<void(int id, const std::string& text)> onCaption;
    std::optional<std::string> fileAnswer;
    std::map<int, ScreenRect> rects;
    std::optional<IpSettingsValues> ipSettingsAnswer;  // nullopt: the operator cancels

private:
    mutable std::mutex m_mutex;
};

}  // namespace quillane::test
