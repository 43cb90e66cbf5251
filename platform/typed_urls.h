#pragma once
// The list of addresses typed into the address box, newest first.
#include <string>
#include <vector>

#include "platform/user_settings.h"

namespace kivo {

// The typed-address list: values "Url1" (newest) to "Url25" of this key.
inline constexpr const char* kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline constexpr int kTypedUrlCount = 25;

// Puts `url` first ("Url1"); an equal older entry moves up instead of doubling; at most 25.
// An address of blanks only is not recorded.
void RecordTypedUrl(UserSettings settings, const std::string& url);
// The values "Url1" to "Url25" that exist, in that order.
std::vector<std::string> ReadTypedUrls(const UserSettings& settings);
// The drop-down list of typed addresses: each stored value, trimmed, unless its untrimmed text
// already occurs anywhere in the list's content so far (the items joined with line breaks) or
// it is blank.
std::vector<std::string> LoadTypedUrls(const UserSettings& settings);

}  // namespace kivo
