#include "cipher/stored_value.h"

#include <utility>

#include "cipher/utf16.h"

namespace kivo::cipher {

std::u16string EncryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password) {
    if (password.empty())
        return std::u16string(value);
    lib.SetPassword(std::move(password));
    return lib.EncryptStr(value);
}

std::u16string DecryptValue(TCryptLib& lib, std::u16string_view value, std::u16string password) {
    if (password.empty())
        return std::u16string(value);
    lib.SetPassword(std::move(password));
    return lib.DecryptStr(value);
}

std::string EncryptValue(TCryptLib& lib, std::string_view value, std::string_view password) {
    if (password.empty())
        return std::string(value);
    return Utf16ToUtf8(EncryptValue(lib, Utf8ToUtf16(value), Utf8ToUtf16(password)));
}

std::string DecryptValue(TCryptLib& lib, std::string_view value, std::string_view password) {
    if (password.empty())
        return std::string(value);
    return Utf16ToUtf8(DecryptValue(lib, Utf8ToUtf16(value), Utf8ToUtf16(password)));
}

}  // namespace kivo::cipher
