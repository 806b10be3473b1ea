#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "model/station_view.h"

namespace quillane::cli {

// The station's view without a window: the command line calls the
// station's verbs with requests of its own, so no dialog is ever asked; messages are
// kept for the command to print, and the progress bar's value goes to
// whoever listens. Controls and captions have nothing to show.
class HeadlessView : public StationView {
public:
    struct Message {
        std::string text, caption;
    };

    explicit HeadlessView(const SearchOptions& search) : m_search(search) {}

    // Any thread.
    void EnableControl(int, bool) override {}
    void SetCaption(int, const std::string&) override {}
    void SetProgress(int percent) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    int FindTypeSelection() const override { return m_search.range ? 1 : 0; }
    uint32_t RangeStart() const override { return m_search.rangeFirst; }
    uint32_t RangeEnd() const override { return m_search.rangeLast; }
    // Called with every progress value, on the thread that sets it.
    void OnProgress(std::function<void(int)> listener);
    // The messages shown so far, oldest first; they are forgotten.
    std::vector<Message> TakeMessages();

private:
    const SearchOptions m_search;
    std::mutex m_mutex;  // guards the two members below
    std::function<void(int)> m_progressListener;
    std::vector<Message> m_messages;
};

}  // namespace quillane::cli
