#include "platform/typed_urls.h"

#include <algorithm>

namespace kivo {

std::vector<std::string> ReadTypedUrls(const UserSettings& settings) {
    std::vector<std::string> urls;
    for (int n = 1; n <= kTypedUrlCount; ++n) {
        if (auto url = settings.Read(kTypedUrlsKey, "Url" + std::to_string(n))) urls.push_back(*url);
    }
    return urls;
}

std::vector<std::string> LoadTypedUrls(const UserSettings& settings) {
    std::vector<std::string> list;
    std::string content;
    for (const std::string& url : ReadTypedUrls(settings)) {
        if (content.find(url) != std::string::npos) continue;
        const size_t first = url.find_first_not_of(" \t\r\n");
        if (first == std::string::npos) continue;
        const size_t last = url.find_last_not_of(" \t\r\n");
        list.push_back(url.substr(first, last - first + 1));
        if (!content.empty()) content += "\r\n";
        content += list.back();
    }
    return list;
}

void RecordTypedUrl(UserSettings settings, const std::string& url) {
    if (url.find_first_not_of(" \t") == std::string::npos) return;
    std::vector<std::string> urls = ReadTypedUrls(settings);
    std::erase(urls, url);
    urls.insert(urls.begin(), url);
    if (urls.size() > static_cast<size_t>(kTypedUrlCount)) urls.resize(kTypedUrlCount);
    std::vector<std::pair<std::string, std::string>> values;
    for (size_t i = 0; i < urls.size(); ++i)
        values.emplace_back("Url" + std::to_string(i + 1), urls[i]);
    settings.WriteValues(kTypedUrlsKey, values);  // one rewrite of the file, not one per value
}

}  // namespace kivo
