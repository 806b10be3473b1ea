#pragma once

// A value told often, from any thread, of which only a change is news: a
// transfer reports its share with every block, and a window redraws its
// progress bar once per new value.

#include <atomic>

namespace quillane {

class ChangedValue {
public:
    // True when `value` differs from the one told before (the first always does).
    bool Changes(int value) { return m_last.exchange(value) != value; }

private:
    std::atomic<int> m_last{kNone};
    static constexpr int kNone = -1;
};

}  // namespace quillane
