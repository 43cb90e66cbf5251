// The two wrappers through which every stored login field value is enciphered and deciphered.
// They work on UTF-16 code units, as the cipher does; callers holding UTF-8 text convert it with
// the program's own UTF-8/UTF-16 conversions.
#pragma once

#include <string>
#include <string_view>

#include "cipher/crypt_lib.h"

namespace kivo::cipher {

// The password the program always passes for login field values.
inline constexpr std::u16string_view kStoredValuePassword = u"518204";

// Empty password: the value is returned unchanged. Otherwise the component's password is set to
// it and the value enciphered (or deciphered) with the component's keys.
std::u16string EncryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password);
std::u16string DecryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password);

}  // namespace kivo::cipher
