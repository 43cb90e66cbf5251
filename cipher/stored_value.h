// The two wrappers through which every stored login field value is enciphered and deciphered.
#pragma once

#include <string>
#include <string_view>

#include "cipher/crypt_lib.h"

namespace kivo::cipher {

// The password the program always passes for login field values.
inline constexpr std::string_view kStoredValuePassword = "518204";

// Empty password: the value is returned unchanged. Otherwise the component's password is set to
// it and the value enciphered (or deciphered) with the component's keys.
std::u16string EncryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password);
std::u16string DecryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password);

// The same on UTF-8 texts.
std::string EncryptValue(TCryptLib& lib, std::string_view value, std::string_view password);
std::string DecryptValue(TCryptLib& lib, std::string_view value, std::string_view password);

}  // namespace kivo::cipher
