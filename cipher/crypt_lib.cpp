#include "cipher/crypt_lib.h"

#include <algorithm>
#include <utility>

namespace kivo::cipher {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

// Value of a hexadecimal digit of either case, or -1.
int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

std::uint8_t Mask(std::uint32_t key) {
    return static_cast<std::uint8_t>(key ^ (key >> 8) ^ (key >> 16) ^ (key >> 24));
}

std::uint32_t CodeUnit(const std::u16string& text, std::size_t position) {
    return position < text.size() ? text[position] : 0u;
}

}  // namespace

TCryptLib::TCryptLib()
    : password_(u"604719"), mult_key_(3572), add_key_(2846), compression_(true) {}

void TCryptLib::SetPassword(std::u16string password) {
    if (password.size() > kMaxPasswordLength) {
        password_.clear();
        throw TCryptLibError(kPasswordTooLong);
    }
    password_ = std::move(password);
}

void TCryptLib::SetMultKey(std::int32_t value) {
    if (value == 0) {
        mult_key_ = 1;
        throw TCryptLibError(kMultKeyTooBig);
    }
    mult_key_ = value;
}

void TCryptLib::SetAddKey(std::int32_t value) {
    if (value == 0) {
        add_key_ = 1;
        throw TCryptLibError(kAddKeyTooBig);
    }
    add_key_ = value;
}

void TCryptLib::SetupKeys() {
    // Only characters 1, 2, 5, 6, 9 and 10 of the password take part.
    key_ = CodeUnit(password_, 0) + 65536u * CodeUnit(password_, 1);
    run_key_ = CodeUnit(password_, 4) + 65536u * CodeUnit(password_, 5);
    int_key_ = CodeUnit(password_, 8) + 65536u * CodeUnit(password_, 9);
    seed_ = key_;
}

std::uint32_t TCryptLib::Next(std::uint32_t range) {
    seed_ = seed_ * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed_) * range) >> 32);
}

void TCryptLib::EncipherBlock(std::uint8_t* block, std::size_t size) {
    const auto last = static_cast<std::uint32_t>(size - 1);
    for (std::size_t i = 0; i < size; ++i) ind_[i] = static_cast<std::uint16_t>(Next(last));
    const auto mult = static_cast<std::uint32_t>(mult_key_);
    const auto add = static_cast<std::uint32_t>(add_key_);
    std::uint32_t run = run_key_;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t k = Mask(run);
        const auto r = static_cast<std::uint8_t>(Next(255));
        const std::uint8_t c = block[i] ^ k ^ r;
        block[i] = c;
        run = (c + run + int_key_) * mult + add;
    }
    run_key_ = run;
    // ind_ holds the partner positions counted from 0 (the draws give 1 ... m - 1 from 1).
    for (std::size_t i = 0; i < size; ++i) std::swap(block[i], block[ind_[i]]);
}

void TCryptLib::DecipherBlock(std::uint8_t* block, std::size_t size) {
    const auto last = static_cast<std::uint32_t>(size - 1);
    for (std::size_t i = 0; i < size; ++i) ind_[i] = static_cast<std::uint16_t>(Next(last));
    for (std::size_t i = size; i-- > 0;) std::swap(block[i], block[ind_[i]]);
    const auto mult = static_cast<std::uint32_t>(mult_key_);
    const auto add = static_cast<std::uint32_t>(add_key_);
    std::uint32_t run = run_key_;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = block[i];
        const std::uint8_t k = Mask(run);
        const auto r = static_cast<std::uint8_t>(Next(255));
        block[i] = c ^ k ^ r;
        run = (c + run + int_key_) * mult + add;
    }
    run_key_ = run;
}

std::u16string TCryptLib::EncipherToHex(std::string_view bytes) {
    std::u16string text;
    text.reserve(2 * bytes.size());
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBlockSize) {
        const std::size_t size = std::min(kBlockSize, bytes.size() - offset);
        std::copy_n(bytes.data() + offset, size, buf_.data());
        EncipherBlock(buf_.data(), size);
        for (std::size_t i = 0; i < size; ++i) {
            text.push_back(kHexDigits[buf_[i] >> 4]);
            text.push_back(kHexDigits[buf_[i] & 15]);
        }
    }
    return text;
}

std::string TCryptLib::DecipherFromHex(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t offset = 0; offset < text.size(); offset += kHexPieceSize) {
        const std::u16string_view piece = text.substr(offset, kHexPieceSize);
        const std::size_t size = piece.size() / 2;  // an odd last digit is ignored
        for (std::size_t i = 0; i < size; ++i) {
            const int high = HexValue(piece[2 * i]);
            const int low = HexValue(piece[2 * i + 1]);
            if (high < 0 || low < 0)
                throw TCryptLibError(kNotHexText);
            buf_[i] = static_cast<std::uint8_t>(high * 16 + low);
        }
        if (size == 0)
            continue;
        DecipherBlock(buf_.data(), size);
        bytes.append(reinterpret_cast<const char*>(buf_.data()), size);
    }
    return bytes;
}

std::u16string TCryptLib::EncryptStr(std::u16string_view value) {
    SetupKeys();
    const bool narrow =
        std::all_of(value.begin(), value.end(), [](char16_t c) { return c <= 0xFF; });
    std::string bytes;
    if (narrow) {
        bytes.reserve(value.size());
        for (char16_t c : value) bytes.push_back(static_cast<char>(c));
        return EncipherToHex(bytes);
    }
    bytes.reserve(2 * value.size());
    for (char16_t c : value) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    std::u16string text(kWideMarker);
    text += EncipherToHex(bytes);
    return text;
}

std::u16string TCryptLib::DecryptStr(std::u16string_view text) {
    SetupKeys();
    if (text.starts_with(kWideMarker)) {
        const std::string bytes = DecipherFromHex(text.substr(kWideMarker.size()));
        // Two bytes per code unit: an odd count means the text was cut or altered.
        if (bytes.size() % 2 != 0)
            throw TCryptLibError(kNotHexText);
        std::u16string value;
        value.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            value.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                  static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        }
        return value;
    }
    const std::string bytes = DecipherFromHex(text);
    std::u16string value;
    value.reserve(bytes.size());
    for (char b : bytes) value.push_back(static_cast<std::uint8_t>(b));
    return value;
}

}  // namespace kivo::cipher
