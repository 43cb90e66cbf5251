#include "cipher/stored_value.h"

#include <utility>

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

}  // namespace kivo::cipher
