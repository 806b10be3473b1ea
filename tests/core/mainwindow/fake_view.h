#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mainwindow/station_view.h"

namespace quillane::testing {

// Records what the station shows and answers its questions from fields the test sets.
class RecordingView : public StationView {
public:
    struct Message {
        std::string text, caption;
        bool operator==(const Message&) const = default;
    };

    void EnableControl(int id, bool enabled) override {
        enabled_[id] = enabled;
        controlLog.push_back((enabled ? "enable " : "disable ") + std::to_string(id));
    }
    void SetCaption(int id, const std::string& text) override {
        captions[id] = text;
        controlLog.push_back("caption " + std::to_string(id) + " " + text);
    }
    void SetProgress(int percent) override { progress = percent; }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }
    int FindTypeSelection() const override { return findType; }
    uint32_t RangeStart() const override { return rangeStart; }
    uint32_t RangeEnd() const override { return rangeEnd; }

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
    std::optional<std::string> AskForFile(const std::string& label, const std::string& pattern,
                                          const std::string& extension) override {
        fileFilter = label + "|" + pattern + "|" + extension;
        return fileAnswer;
    }
    std::optional<IpSettingsValues> AskIpSettings(const std::string& appDir, int language,
                                                  const IpDeviceValues& device) override {
        ipSettingsAsked.push_back({appDir, language, device});
        return ipSettingsAnswer;
    }
    ScreenRect ControlScreenRect(int id) const override { return rects.count(id) ? rects.at(id) : ScreenRect{}; }

    bool Enabled(int id) const { return enabled_.count(id) ? enabled_.at(id) : true; }

    std::map<int, bool> enabled_;
    std::map<int, std::string> captions;
    std::map<int, bool> checks;
    std::vector<Message> messages;
    int progress = -1;
    int findType = -1;
    uint32_t rangeStart = 0, rangeEnd = 0;
    std::array<std::string, 2> findTypeItems;
    std::array<std::string, 12> headers;
    std::array<int, 12> widths{};
    std::pair<int, int> progressRange{-1, -1};
    std::optional<std::string> fileAnswer;
    std::string fileFilter;
    std::map<int, ScreenRect> rects;
    std::vector<std::string> controlLog;  // EnableControl and SetCaption calls, in order
    struct IpSettingsQuestion {
        std::string appDir;
        int language;
        IpDeviceValues device;
    };
    std::vector<IpSettingsQuestion> ipSettingsAsked;
    std::optional<IpSettingsValues> ipSettingsAnswer;  // nullopt: the operator cancels
};

// A fresh folder standing in for the executable's folder; removed afterwards.
class TempAppDir {
public:
    TempAppDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillane-ui-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        path_ += "/";
    }
    ~TempAppDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace quillane::testing
