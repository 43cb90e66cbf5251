// Conversions between the UTF-8 texts used throughout the program and the UTF-16 code units the
// cipher counts.
#pragma once

#include <string>
#include <string_view>

namespace kivo::cipher {

// Malformed UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace kivo::cipher
