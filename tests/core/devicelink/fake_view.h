#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mainwindow/station_view.h"

namespace quillane {

// A window stand-in: the search settings are set by the test, everything the
// station shows is recorded.
class FakeView : public StationView {
public:
    void EnableControl(int id, bool enabled) override {
        std::lock_guard lock(m_mutex);
        enabled_.emplace_back(id, enabled);
    }
    void SetCaption(int id, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        captions_.emplace_back(id, text);
    }
    void SetProgress(int percent) override {
        progress_ = percent;
        std::lock_guard lock(m_mutex);
        progressHistory.push_back(percent);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        messages_.emplace_back(text, caption);
    }
    int FindTypeSelection() const override { return findType; }
    uint32_t RangeStart() const override {
        if (onRangeRead) onRangeRead();
        return rangeStart;
    }
    uint32_t RangeEnd() const override { return rangeEnd; }

    std::vector<std::pair<std::string, std::string>> Messages() const {
        std::lock_guard lock(m_mutex);
        return messages_;
    }

    std::atomic<int> findType{0};
    std::atomic<uint32_t> rangeStart{0};
    std::atomic<uint32_t> rangeEnd{0};
    std::function<void()> onRangeRead;  // runs as a search reads its range
    std::vector<int> progressHistory;   // every value the bar was set to, in order

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, bool>> enabled_;
    std::vector<std::pair<int, std::string>> captions_;
    std::vector<std::pair<std::string, std::string>> messages_;
    std::atomic<int> progress_{-1};
};

}  // namespace quillane
