#pragma once

// Every narrow string inside the core is UTF-8. Windows takes wide text
// (UTF-16) at its calls, so the platform edges convert with these; where
// wchar_t is 32 bits wide the wide side is UTF-32.

#include <string>
#include <string_view>

namespace quillane {

// A byte that does not belong to a well-formed UTF-8 sequence (a stray
// continuation byte, an overlong or cut sequence, an encoded surrogate, a value
// above U+10FFFF) becomes U+FFFD, one per byte, so nothing is silently lost.
std::wstring WideFromUtf8(std::string_view utf8);

// The length of the well-formed UTF-8 sequence that starts at `at`; 0 when
// the byte there starts none (the cases WideFromUtf8 replaces).
size_t WellFormedUtf8Length(std::string_view utf8, size_t at);

// The text with every byte outside a well-formed sequence replaced by U+FFFD.
std::string WellFormedUtf8(std::string_view utf8);

// Characters that cannot be encoded (unpaired surrogates, values above
// U+10FFFF) become '?'.
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace quillane
