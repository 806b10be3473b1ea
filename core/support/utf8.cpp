#include "support/utf8.h"

namespace quillane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t cp) {
    return cp >= 0xD800 && cp < 0xE000;
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes the sequence starting at `at`; sets `used` to the bytes it took.
// A malformed sequence takes one byte and gives U+FFFD.
char32_t DecodeOne(std::string_view utf8, size_t at, size_t& used) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    used = 1;
    if (lead < 0x80) return lead;
    size_t length;
    char32_t cp;
    char32_t smallest;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, smallest = 0x10000;
    } else {
        return kReplacement;
    }
    if (at + length > utf8.size()) return kReplacement;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[at + k]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || IsSurrogate(cp)) return kReplacement;
    used = length;
    return cp;
}

}  // namespace

size_t WellFormedUtf8Length(std::string_view utf8, size_t at) {
    size_t used = 0;
    const char32_t cp = DecodeOne(utf8, at, used);
    return cp == kReplacement && used == 1 ? 0 : used;
}

std::string WellFormedUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        const size_t length = WellFormedUtf8Length(utf8, at);
        if (length == 0) {
            AppendUtf8(out, kReplacement);
            ++at;
        } else {
            out += utf8.substr(at, length);
            at += length;
        }
    }
    return out;
}

std::wstring WideFromUtf8(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t at = 0, used = 0; at < utf8.size(); at += used) AppendWide(out, DecodeOne(utf8, at, used));
    return out;
}

std::string Utf8FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = static_cast<char32_t>(wide[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < wide.size()) {
                const auto low = static_cast<char32_t>(wide[i + 1]);
                if (low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        AppendUtf8(out, (cp > 0x10FFFF || IsSurrogate(cp)) ? U'?' : cp);
    }
    return out;
}

}  // namespace quillane
