// Feeds arbitrary UTF-16 text to the hexadecimal decoding. Every text either deciphers or fails
// with the cipher's own error; a deciphered text in the stored form enciphers back to itself,
// and every value comes back from its own ciphertext.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cipher/crypt_lib.h"

using kivo::cipher::TCryptLib;
using kivo::cipher::TCryptLibError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    TCryptLib lib;
    lib.SetPassword(u"518204");
    try {
        const std::u16string value = lib.DecryptStr(text);
        const bool stored_form =
            text.size() % 2 == 0 && text.find_first_not_of(u"0123456789ABCDEF") == text.npos;
        if (stored_form && lib.EncryptStr(value) != text)
            std::abort();
    } catch (const TCryptLibError&) {
    }
    if (lib.DecryptStr(lib.EncryptStr(text)) != text)
        std::abort();
    return 0;
}
