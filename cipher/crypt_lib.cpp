#include "cipher/crypt_lib.h"

#include <algorithm>
#include <utility>

namespace kivo::cipher {
namespace {

// The two upper-case digits of every byte value.
constexpr std::array<std::array<char16_t, 2>, 256> kHexPairs = [] {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::array<std::array<char16_t, 2>, 256> pairs{};
    for (int b = 0; b < 256; ++b) pairs[b] = {kDigits[b >> 4], kDigits[b & 15]};
    return pairs;
}();

constexpr std::uint8_t kNotDigit = 0xFF;

// Value of each Latin-1 character read as a hexadecimal digit of either case, or kNotDigit.
constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(kNotDigit);
    for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < 6; ++i) {
        values['A' + i] = static_cast<std::uint8_t>(10 + i);
        values['a' + i] = static_cast<std::uint8_t>(10 + i);
    }
    return values;
}();

std::uint8_t DigitValue(char16_t c) {
    return c < 256 ? kDigitValues[c] : kNotDigit;
}

// The generator: s := s * 134775813 + 1 (mod 2^32); a draw below N is the upper half of s * N.
constexpr std::uint32_t kGeneratorMultiplier = 134775813u;

std::uint32_t Advance(std::uint32_t seed) {
    return seed * kGeneratorMultiplier + 1u;
}

std::uint32_t Scale(std::uint32_t seed, std::uint32_t range) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * range) >> 32);
}

// The state after n more steps, by composing the step s -> a s + c with itself.
std::uint32_t JumpAhead(std::uint32_t seed, std::uint32_t n) {
    std::uint32_t mul = 1, add = 0;                               // the steps taken so far
    std::uint32_t step_mul = kGeneratorMultiplier, step_add = 1;  // 2^k steps
    for (; n != 0; n >>= 1) {
        if (n & 1) {
            mul *= step_mul;
            add = add * step_mul + step_add;
        }
        step_add = step_add * step_mul + step_add;
        step_mul *= step_mul;
    }
    return seed * mul + add;
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
    seed_ = Advance(seed_);
    return Scale(seed_, range);
}

void TCryptLib::EncipherBlock(std::uint8_t* block, std::size_t size) {
    // The m exchange partners are drawn first and the m keystream bytes after them. Both runs
    // of the generator are followed side by side, the second one started from the state after
    // m draws, so that neither waits for the other.
    const auto last = static_cast<std::uint32_t>(size - 1);
    std::uint32_t partner_seed = seed_;
    std::uint32_t stream_seed = JumpAhead(seed_, static_cast<std::uint32_t>(size));
    const auto mult = static_cast<std::uint32_t>(mult_key_);
    const auto add = static_cast<std::uint32_t>(add_key_);
    std::uint32_t run = run_key_;
    for (std::size_t i = 0; i < size; ++i) {
        partner_seed = Advance(partner_seed);
        ind_[i] = static_cast<std::uint16_t>(Scale(partner_seed, last));
        stream_seed = Advance(stream_seed);
        const auto r = static_cast<std::uint8_t>(Scale(stream_seed, 255));
        const std::uint8_t c = block[i] ^ Mask(run) ^ r;
        block[i] = c;
        run = (c + run + int_key_) * mult + add;
    }
    seed_ = stream_seed;
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

void TCryptLib::EncipherToHex(std::u16string_view value, bool wide, std::u16string& text) {
    // Narrow: one byte per character. Wide: two per code unit, low byte first.
    const std::size_t total = wide ? 2 * value.size() : value.size();
    const std::size_t start = text.size();
    text.resize(start + 2 * total);
    char16_t* out = text.data() + start;
    for (std::size_t offset = 0; offset < total; offset += kBlockSize) {
        const std::size_t size = std::min(kBlockSize, total - offset);
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t n = offset + i;
            buf_[i] = static_cast<std::uint8_t>(wide ? value[n / 2] >> (8 * (n % 2)) : value[n]);
        }
        EncipherBlock(buf_.data(), size);
        for (std::size_t i = 0; i < size; ++i, out += 2) {
            std::copy_n(kHexPairs[buf_[i]].data(), 2, out);
        }
    }
}

std::string TCryptLib::DecipherFromHex(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t offset = 0; offset < text.size(); offset += kHexPieceSize) {
        const std::u16string_view piece = text.substr(offset, kHexPieceSize);
        const std::size_t size = piece.size() / 2;  // an odd last digit is ignored
        const char16_t* in = piece.data();
        std::uint8_t invalid = 0;
        for (std::size_t i = 0; i < size; ++i, in += 2) {
            const std::uint8_t high = DigitValue(in[0]);
            const std::uint8_t low = DigitValue(in[1]);
            invalid |= (high | low) & 0xF0;
            buf_[i] = static_cast<std::uint8_t>(high << 4 | low);
        }
        if (invalid)
            throw TCryptLibError(kNotHexText);
        if (size == 0)
            continue;
        DecipherBlock(buf_.data(), size);
        bytes.append(reinterpret_cast<const char*>(buf_.data()), size);
    }
    return bytes;
}

std::u16string TCryptLib::EncryptStr(std::u16string_view value) {
    SetupKeys();
    const bool wide = std::any_of(value.begin(), value.end(), [](char16_t c) { return c > 0xFF; });
    std::u16string text(wide ? kWideMarker : std::u16string_view());
    EncipherToHex(value, wide, text);
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
    std::u16string value(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), value.begin(),
                   [](char b) { return static_cast<std::uint8_t>(b); });
    return value;
}

}  // namespace kivo::cipher
