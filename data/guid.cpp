#include "data/guid.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <random>

namespace kivo::data {
namespace {

// Positions of the hyphens in the 38-character form, counted from 0.
constexpr std::array<std::size_t, 4> kHyphens = {9, 14, 19, 24};

bool IsHyphenPosition(std::size_t i) {
    for (std::size_t h : kHyphens) {
        if (i == h)
            return true;
    }
    return false;
}

void FillRandom(std::array<std::uint8_t, 16>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            break;
        }
    }
    if (filled == bytes.size())
        return;
    std::random_device device;  // only when the kernel call is unavailable
    for (auto& b : bytes) b = static_cast<std::uint8_t>(device());
}

}  // namespace

std::string NewGuidString() {
    std::array<std::uint8_t, 16> bytes;
    FillRandom(bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(kGuidStringLength);
    text.push_back('{');
    std::size_t next = 0;
    for (std::size_t i = 1; i + 1 < kGuidStringLength; ++i) {
        if (IsHyphenPosition(i)) {
            text.push_back('-');
            continue;
        }
        // Two digits per byte, high nibble first.
        const std::uint8_t byte = bytes[next / 2];
        text.push_back(kDigits[next % 2 == 0 ? byte >> 4 : byte & 15]);
        ++next;
    }
    text.push_back('}');
    return text;
}

bool IsGuidString(std::string_view text) {
    if (text.size() != kGuidStringLength || text.front() != '{' || text.back() != '}')
        return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (IsHyphenPosition(i)) {
            if (c != '-')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

}  // namespace kivo::data
