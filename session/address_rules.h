#pragma once
// What a view opens for an address, and the go button for the text typed into the address box.
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Whether the text starts with a scheme ("http:", "about:", "file:" ...). A host followed by a
// port ("localhost:8080", "127.0.0.1:8765/who") is no scheme.
bool HasScheme(std::string_view text);

// Whether a text without scheme reads as an address: no blanks, and a host that is "localhost",
// holds a dot, carries a port or is a bracketed IPv6 address.
bool LooksLikeAddress(std::string_view text);

// The address a view is given for an address from anywhere (the catalogue, an account, the
// history, the favorites, the last session, a page): blanks around it dropped, and "http://"
// before it when it has no scheme but reads as an address ("www.game.com"). Anything else is
// passed as it is.
std::string AddressForView(std::string_view address);

// The address to open for `typed`: the text itself when it has a scheme, "http://" before it when
// it reads as an address, else a search for it (`search_address` followed by the text). Blanks
// around the text are dropped; a blank text gives an empty address.
std::string AddressForTyped(std::string_view typed, const std::string& search_address);

// What the address box appends to `typed` from the visited addresses (newest first): the rest of
// the first address that continues the text, compared ignoring letter case, also once its scheme
// and a leading "www." are set aside. Nothing when none continues it.
std::string CompletionRest(std::string_view typed, const std::vector<std::string>& urls);

}  // namespace kivo
