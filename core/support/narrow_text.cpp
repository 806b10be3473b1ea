#include "support/narrow_text.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillane {

NarrowText::NarrowText(NarrowText&& other) noexcept
    : text(std::exchange(other.text, nullptr)), length(std::exchange(other.length, 0)) {}

NarrowText& NarrowText::operator=(NarrowText&& other) noexcept {
    if (this != &other) {
        FreeNarrow(*this);
        text = std::exchange(other.text, nullptr);
        length = std::exchange(other.length, 0);
    }
    return *this;
}

NarrowText::~NarrowText() { FreeNarrow(*this); }

namespace {

#ifdef _WIN32
std::string Encode(const wchar_t* wide, size_t count) {
    if (count == 0) return {};
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(count), out.data(), needed, nullptr, nullptr);
    return out;
}
#else
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

std::string Encode(const wchar_t* wide, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = static_cast<char32_t>(wide[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            // UTF-16 surrogate pairs, where wchar_t is 16 bits wide.
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < count) {
                const char32_t low = static_cast<char32_t>(wide[i + 1]);
                if (low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        const bool unpaired = cp >= 0xD800 && cp < 0xE000;
        AppendUtf8(out, (cp > 0x10FFFF || unpaired) ? U'?' : cp);
    }
    return out;
}
#endif

NarrowText MakeNarrow(const std::string& bytes) {
    NarrowText narrow;
    narrow.length = static_cast<int32_t>(bytes.size());
    narrow.text = new char[bytes.size() + 1];
    std::memcpy(narrow.text, bytes.data(), bytes.size());
    narrow.text[bytes.size()] = '\0';
    return narrow;
}

}  // namespace

NarrowText ToNarrow(std::wstring wide) { return MakeNarrow(Encode(wide.data(), wide.size())); }

NarrowText ToNarrowZ(const wchar_t* wide) {
    if (!wide) return MakeNarrow({});
    return MakeNarrow(Encode(wide, std::wcslen(wide)));
}

void FreeNarrow(NarrowText& narrow) {
    delete[] narrow.text;
    narrow.text = nullptr;
    narrow.length = 0;
}

}  // namespace quillane
