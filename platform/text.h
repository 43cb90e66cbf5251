#pragma once
// Conversions between the UTF-8 text used inside the program and the UTF-16 code units that
// cross process boundaries and feed the cipher.
#include <string>
#include <string_view>

namespace kivo {

// Invalid sequences become U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view text);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// ASCII-only upper casing, as the process sweep and key comparisons need.
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A name or value of a form body or query as bytes: "+" is a blank and %XX the byte XX; a "%"
// not followed by two hex digits stays as it is.
std::string DecodeFormComponent(std::string_view text);

}  // namespace kivo
