#include "platform/visited_urls.h"

#include <algorithm>
#include <fstream>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kivo {

namespace {

bool Recordable(std::string_view url) {
    if (url.empty() || url.size() > VisitedUrls::kMaxUrlBytes) return false;
    if (url.find_first_not_of(" \t") == std::string_view::npos) return false;
    if (std::any_of(url.begin(), url.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }))
        return false;
    return !EqualsIgnoringAsciiCase(url.substr(0, std::min<size_t>(url.size(), 6)), "about:");
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

VisitedUrls::VisitedUrls(std::string file) : file_(std::move(file)) {
    std::ifstream in(file_);
    std::string line;
    while (urls_.size() < kMaxUrls && std::getline(in, line)) {
        if (Recordable(line) && std::find(urls_.begin(), urls_.end(), line) == urls_.end())
            urls_.push_back(line);
    }
}

std::string VisitedUrls::DefaultFile() { return ProfileFolder() + "VisitedUrls"; }

bool VisitedUrls::Add(const std::string& url) {
    if (!Recordable(url)) return false;
    if (!urls_.empty() && urls_.front() == url) return false;
    std::erase(urls_, url);
    urls_.insert(urls_.begin(), url);
    if (urls_.size() > kMaxUrls) urls_.resize(kMaxUrls);
    return true;
}

void VisitedUrls::Save() const {
    std::string text;
    for (const std::string& url : urls_) text += url + '\n';
    const size_t slash = file_.rfind('/');
    if (slash != std::string::npos) MakeFolders(file_.substr(0, slash + 1));
    WriteFileAtomically(file_, text);
}

bool CompletesAddress(std::string_view url, std::string_view typed) {
    if (typed.empty()) return false;
    if (StartsWithIgnoringCase(url, typed)) return true;
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!StartsWithIgnoringCase(url, scheme)) continue;
        std::string_view rest = url.substr(scheme.size());
        if (StartsWithIgnoringCase(rest, typed)) return true;
        if (StartsWithIgnoringCase(rest, "www.") && StartsWithIgnoringCase(rest.substr(4), typed))
            return true;
    }
    return false;
}

}  // namespace kivo
