// The stored-value cipher: a byte cipher keyed by a short password and two integer constants.
// A linear congruential keystream is combined with a running key that follows the ciphertext,
// and every block of at most 32768 bytes is then shuffled by key-dependent exchanges. The
// ciphertext travels as hexadecimal text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kivo::cipher {

class TCryptLibError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TCryptLib {
  public:
    static constexpr std::size_t kMaxPasswordLength = 12;  // UTF-16 code units
    static constexpr std::size_t kBlockSize = 32768;       // bytes per enciphered block
    static constexpr std::size_t kHexPieceSize = 2 * kBlockSize;

    // Ciphertext of a value holding characters above U+00FF starts with this marker, followed
    // by the hexadecimal text of its UTF-16LE bytes. The marker's first two characters are not
    // hexadecimal digits, so no text of the byte-per-character form can start with it.
    static constexpr std::u16string_view kWideMarker = u"U16:";

    static constexpr const char* kPasswordTooLong = "TCryptLib.Password is too long";
    static constexpr const char* kMultKeyTooBig = "TCryptLib.MultKey is too big";
    static constexpr const char* kAddKeyTooBig = "TCryptLib.AddKey is too big";
    static constexpr const char* kNotHexText = "TCryptLib: decrypting error - not hexlook string";

    TCryptLib();

    const std::u16string& Password() const { return password_; }
    // More than 12 code units: the password becomes empty and TCryptLibError is thrown.
    void SetPassword(std::u16string password);

    std::int32_t MultKey() const { return mult_key_; }
    // Zero: the multiplier becomes 1 and TCryptLibError is thrown.
    void SetMultKey(std::int32_t value);

    std::int32_t AddKey() const { return add_key_; }
    // Zero: the addend becomes 1 and TCryptLibError is thrown.
    void SetAddKey(std::int32_t value);

    // Kept for the component's shape; the string operations never compress.
    bool Compression() const { return compression_; }
    void SetCompression(bool value) { compression_ = value; }

    // Values whose code units are all at most U+00FF become one byte per character and two
    // upper-case hexadecimal digits per byte. Any other value is carried as kWideMarker
    // followed by the hexadecimal text of its enciphered UTF-16LE bytes.
    std::u16string EncryptStr(std::u16string_view value);

    // Reads either case; an odd last digit of a 65536-digit piece is ignored; any other
    // character that is not a hexadecimal digit throws TCryptLibError(kNotHexText).
    std::u16string DecryptStr(std::u16string_view text);

  private:
    void SetupKeys();
    std::uint32_t Next(std::uint32_t range);
    void EncipherBlock(std::uint8_t* block, std::size_t size);
    void DecipherBlock(std::uint8_t* block, std::size_t size);
    // Appends the hexadecimal text of the enciphered value to text.
    void EncipherToHex(std::u16string_view value, bool wide, std::u16string& text);
    std::string DecipherFromHex(std::u16string_view text);

    std::u16string password_;
    std::int32_t mult_key_;
    std::int32_t add_key_;
    bool compression_;

    // State of one operation.
    std::uint32_t key_ = 0;      // first key: seeds the generator
    std::uint32_t run_key_ = 0;  // running key, changed after every byte
    std::uint32_t int_key_ = 0;  // constant addend of the running-key step
    std::uint32_t seed_ = 0;     // generator state
    std::array<std::uint8_t, kBlockSize> buf_{};
    std::array<std::uint16_t, kBlockSize> ind_{};
};

}  // namespace kivo::cipher
