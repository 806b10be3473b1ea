#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane {

// An owned narrow copy of a wide text: UTF-8 on POSIX, the ANSI code page on
// Windows. `text` holds `length` bytes plus a terminating zero, or is null.
struct NarrowText {
    char* text = nullptr;
    int32_t length = 0;

    NarrowText() = default;
    NarrowText(const NarrowText&) = delete;
    NarrowText& operator=(const NarrowText&) = delete;
    NarrowText(NarrowText&& other) noexcept;
    NarrowText& operator=(NarrowText&& other) noexcept;
    ~NarrowText();

    std::string str() const { return text ? std::string(text, static_cast<size_t>(length)) : std::string(); }
};

// Converts the whole string, embedded zero characters included. Characters the
// narrow encoding cannot carry become '?'.
NarrowText ToNarrow(std::wstring wide);
// The same for a zero-terminated text; a null pointer converts as "".
NarrowText ToNarrowZ(const wchar_t* wide);
// The system's narrow form of a UTF-8 text from inside the core: converted to
// the ANSI code page on Windows; elsewhere the narrow encoding is UTF-8 and the
// bytes stay as they are (file names there are bytes, well-formed or not).
NarrowText ToNarrowFromUtf8(std::string_view utf8);
// Releases the buffer; safe on an empty record.
void FreeNarrow(NarrowText& narrow);

}  // namespace quillane
