#include "headless_view.h"

#include <utility>

namespace quillane::cli {

void HeadlessView::SetProgress(int percent) {
    std::function<void(int)> listener;
    {
        std::lock_guard lock(m_mutex);
        listener = m_progressListener;
    }
    if (listener) listener(percent);
}

void HeadlessView::ShowMessage(const std::string& text, const std::string& caption) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({text, caption});
}

void HeadlessView::OnProgress(std::function<void(int)> listener) {
    std::lock_guard lock(m_mutex);
    m_progressListener = std::move(listener);
}

std::vector<HeadlessView::Message> HeadlessView::TakeMessages() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

}  // namespace quillane::cli
