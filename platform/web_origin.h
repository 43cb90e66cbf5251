#pragma once
// The origin of a web address, and which pages count as the site of an account's address: the
// only pages the account's saved values are ever filled into.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The origin of an http or https address: scheme and host in lower case (a host in other
// scripts in its ASCII form), the port given or the scheme's default.
struct WebOrigin {
    std::string scheme;
    std::string host;
    int port = 0;
    bool operator==(const WebOrigin&) const = default;
};

// Nothing for any other scheme, no host, or a port that is not 1 to 65535. An address without
// "://" is taken as http, as it is opened.
std::optional<WebOrigin> OriginOf(std::string_view url);

// "scheme://host:port", the port always written.
std::string OriginText(const WebOrigin& origin);

// The origins of the site of the account address `account_url`: its own, and for http the same
// host upgraded to https (on the same port, and from the default http port also on the default
// https port). None when the address has no web origin.
std::vector<WebOrigin> AccountSiteOrigins(std::string_view account_url);

// Whether the page at `page_url` is of that site. A downgrade from https to http is another
// site. Only the account's address itself may leave out its scheme.
bool IsAccountSite(std::string_view account_url, std::string_view page_url);

}  // namespace kivo
