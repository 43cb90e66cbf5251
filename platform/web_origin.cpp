#include "platform/web_origin.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace kivo {

namespace {

using GText = std::unique_ptr<char, decltype(&g_free)>;

std::string Lower(std::string_view text) {
    const GText lower(g_ascii_strdown(text.data(), static_cast<gssize>(text.size())), &g_free);
    return lower.get();
}

int DefaultPort(const std::string& scheme) {
    return scheme == "https" ? 443 : 80;
}

std::optional<int> PortNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const int port = std::stoi(std::string(digits));
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// The host as pages report it: ASCII, lower case; nothing for a name that cannot be one.
std::optional<std::string> AsciiHost(std::string_view host) {
    if (host.starts_with('['))
        return Lower(host);
    const GText ascii(g_hostname_to_ascii(std::string(host).c_str()), &g_free);
    if (!ascii)
        return std::nullopt;
    return Lower(ascii.get());
}

}  // namespace

std::optional<WebOrigin> OriginOf(std::string_view url) {
    const size_t separator = url.find("://");
    WebOrigin origin;
    origin.scheme = separator == std::string_view::npos ? "http" : Lower(url.substr(0, separator));
    if (origin.scheme != "http" && origin.scheme != "https")
        return std::nullopt;
    std::string_view authority =
        separator == std::string_view::npos ? url : url.substr(separator + 3);
    authority = authority.substr(0, authority.find_first_of("/\\?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority, port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(0, close + 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':'))
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    } else if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    const auto ascii = host.empty() ? std::nullopt : AsciiHost(host);
    if (!ascii || ascii->empty())
        return std::nullopt;
    origin.host = *ascii;
    origin.port = DefaultPort(origin.scheme);
    if (!port.empty()) {
        const auto number = PortNumber(port);
        if (!number)
            return std::nullopt;
        origin.port = *number;
    }
    return origin;
}

std::string OriginText(const WebOrigin& origin) {
    return origin.scheme + "://" + origin.host + ":" + std::to_string(origin.port);
}

std::vector<WebOrigin> AccountSiteOrigins(std::string_view account_url) {
    const auto account = OriginOf(account_url);
    if (!account)
        return {};
    std::vector<WebOrigin> origins{*account};
    if (account->scheme == "http") {
        origins.push_back({"https", account->host, account->port});
        if (account->port == 80)
            origins.push_back({"https", account->host, 443});
    }
    return origins;
}

bool IsAccountSite(std::string_view account_url, std::string_view page_url) {
    // A page's address names its scheme; only the account's own address may leave it out.
    if (page_url.find("://") == std::string_view::npos && page_url != account_url)
        return false;
    const auto page = OriginOf(page_url);
    const auto origins = AccountSiteOrigins(account_url);
    return page && std::find(origins.begin(), origins.end(), *page) != origins.end();
}

}  // namespace kivo
