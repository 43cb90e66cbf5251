#pragma once
// The visited-address list of the ordinary profile: the addresses of completed top-level pages,
// newest first. The address box completes from it.
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class VisitedUrls {
public:
    static constexpr size_t kMaxUrls = 1000;
    static constexpr size_t kMaxUrlBytes = 4096;

    // The list kept in `file`; a missing or unreadable file is an empty list, and lines that
    // could never have been recorded are skipped.
    explicit VisitedUrls(std::string file);
    // The list of the ordinary profile.
    static std::string DefaultFile();

    const std::vector<std::string>& Urls() const { return urls_; }
    // Puts `url` first (an older equal entry moves up); the oldest beyond kMaxUrls go. Blank,
    // overlong and multi-line addresses and "about:" pages are not recorded. True when the list
    // changed.
    bool Add(const std::string& url);
    // Writes the list whole; throws with the reason when it cannot.
    void Save() const;
    void Clear() { urls_.clear(); }

private:
    std::string file_;
    std::vector<std::string> urls_;
};

// Whether `url` completes what was typed: it starts with `typed` ignoring letter case, also once
// its scheme ("http://", "https://") and a leading "www." are set aside.
bool CompletesAddress(std::string_view url, std::string_view typed);

}  // namespace kivo
