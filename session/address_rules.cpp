#include "session/address_rules.h"

#include <algorithm>

namespace kivo {

namespace {

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Whether `text` is a port: digits up to its end or to the start of a path, query or fragment.
bool StartsWithPort(std::string_view text) {
    const size_t end = std::min(text.find_first_of("/?#"), text.size());
    return end > 0 && std::all_of(text.begin(), text.begin() + end, IsAsciiDigit);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size())
        return false;
    for (size_t i = 0; i < start.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(text[i]) != lower(start[i]))
            return false;
    }
    return true;
}

}  // namespace

bool HasScheme(std::string_view text) {
    if (text.empty() || !IsAsciiAlpha(text.front()))
        return false;
    size_t i = 1;
    while (i < text.size() && (IsAsciiAlpha(text[i]) || IsAsciiDigit(text[i]) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.'))
        ++i;
    if (i >= text.size() || text[i] != ':')
        return false;
    return !StartsWithPort(text.substr(i + 1));
}

bool LooksLikeAddress(std::string_view text) {
    if (text.empty() || std::any_of(text.begin(), text.end(), IsBlank))
        return false;
    std::string_view host = text.substr(0, std::min(text.find_first_of("/?#"), text.size()));
    if (const size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    if (host.starts_with('['))
        return host.find(']') != std::string_view::npos;
    bool port = false;
    if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
        if (!StartsWithPort(host.substr(colon + 1)) ||
            host.find_first_not_of("0123456789", colon + 1) != std::string_view::npos)
            return false;
        port = true;
        host = host.substr(0, colon);
    }
    if (host.empty() || host.front() == '.' || host.back() == '.' || host.front() == '-')
        return false;
    for (char c : host) {
        const bool allowed = IsAsciiAlpha(c) || IsAsciiDigit(c) || c == '-' || c == '.' ||
                             static_cast<unsigned char>(c) >= 0x80;  // a non-ASCII domain
        if (!allowed)
            return false;
    }
    std::string lower(host);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower == "localhost" || port || host.find('.') != std::string_view::npos;
}

std::string AddressForView(std::string_view address) {
    const std::string_view text = Trimmed(address);
    if (!HasScheme(text) && LooksLikeAddress(text))
        return "http://" + std::string(text);
    return std::string(text);
}

std::string AddressForTyped(std::string_view typed, const std::string& search_address) {
    const std::string_view text = Trimmed(typed);
    if (text.empty())
        return {};
    if (HasScheme(text) || LooksLikeAddress(text))
        return AddressForView(text);
    return search_address + std::string(text);
}

std::string CompletionRest(std::string_view typed, const std::vector<std::string>& urls) {
    if (typed.empty())
        return {};
    for (const std::string& url : urls) {
        std::string_view form = url;
        for (int step = 0; step < 3; ++step) {
            if (StartsWithIgnoringCase(form, typed))
                return std::string(form.substr(typed.size()));
            if (step == 0) {
                const size_t scheme = form.find("://");
                if (scheme == std::string_view::npos)
                    break;
                form.remove_prefix(scheme + 3);
            } else if (StartsWithIgnoringCase(form, "www.")) {
                form.remove_prefix(4);
            } else {
                break;
            }
        }
    }
    return {};
}

}  // namespace kivo
