#include "support/narrow_text.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/utf8.h"

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

NarrowText::~NarrowText() {
    FreeNarrow(*this);
}

namespace {

#ifdef _WIN32
std::string Encode(const wchar_t* wide, size_t count) {
    if (count == 0) return {};
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(count), out.data(), needed, nullptr, nullptr);
    return out;
}
#else
std::string Encode(const wchar_t* wide, size_t count) {
    return Utf8FromWide(std::wstring_view(wide, count));
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

NarrowText ToNarrow(std::wstring wide) {
    return MakeNarrow(Encode(wide.data(), wide.size()));
}

NarrowText ToNarrowZ(const wchar_t* wide) {
    if (!wide) return MakeNarrow({});
    return MakeNarrow(Encode(wide, std::wcslen(wide)));
}

NarrowText ToNarrowFromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return ToNarrow(WideFromUtf8(utf8));
#else
    return MakeNarrow(std::string(utf8));
#endif
}

void FreeNarrow(NarrowText& narrow) {
    delete[] narrow.text;
    narrow.text = nullptr;
    narrow.length = 0;
}

}  // namespace quillane
