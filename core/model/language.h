#pragma once

// The window's language as "Config.ini" keeps it (CurLanguage): 1 Chinese,
// 2 English. Any other number shows the Chinese face, but the texts written
// only for a known language (messages, refusals, findings) stay empty.
// Made from the stored number (m_nLanguage holds it), so every place that
// chooses a text asks this type rather than comparing numbers.

namespace quillane {

class Language {
public:
    constexpr Language(int stored) : m_stored(stored) {}  // NOLINT: the stored number is the language
    constexpr bool IsEnglish() const { return m_stored == kEnglishNumber; }
    constexpr bool HasTexts() const { return m_stored == kChineseNumber || m_stored == kEnglishNumber; }
    constexpr int Stored() const { return m_stored; }
    constexpr bool operator==(const Language&) const = default;

    static constexpr int kChineseNumber = 1;
    static constexpr int kEnglishNumber = 2;

private:
    int m_stored;
};

inline constexpr Language kChinese{Language::kChineseNumber};
inline constexpr Language kEnglish{Language::kEnglishNumber};

}  // namespace quillane
