#include "webcontrol/page_gates.h"

#include <algorithm>
#include <cctype>

#include "webcontrol/maker_pages.h"

namespace kivo {

bool TPopupGate::Allow(bool page_gesture, Clock::time_point now) {
    while (!opened_.empty() && now - opened_.front() >= kPopupSpan) opened_.pop_front();
    if (!page_gesture || !input_since_popup_ || static_cast<int>(opened_.size()) >= kPopupBurst)
        return false;
    input_since_popup_ = false;
    opened_.push_back(now);
    return true;
}

bool IsPopupAddress(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || url.compare(colon, 3, "://") != 0 || url.size() == colon + 3)
        return false;
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme == "http" || scheme == "https" || scheme == kMakerScheme;
}

TDownloadGate::Verdict TDownloadGate::Begin() {
    if (!downloaded_ || input_since_download_) {
        downloaded_ = true;
        input_since_download_ = false;
        return Verdict::Go;
    }
    switch (answer_) {
        case Reply::Unasked:
            answer_ = Reply::Asking;
            return Verdict::Ask;
        case Reply::Asking:
            return Verdict::Wait;
        case Reply::Allowed:
            return Verdict::Go;
        case Reply::Refused:
            break;
    }
    return Verdict::Refuse;
}

}  // namespace kivo
