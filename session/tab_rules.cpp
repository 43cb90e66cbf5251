#include "session/tab_rules.h"

#include <cmath>
#include <sstream>

#include "platform/text.h"

namespace kivo {

namespace {

// The length of the UTF-8 sequence that starts with `lead`.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

// A carriage return, a line feed or the pair ends a line; a last line without an end counts.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

}  // namespace

std::optional<std::string> FitTabCaptionText(
    const std::string& hint, int tab_width,
    const std::function<int(const std::string&)>& text_width) {
    if (hint.empty()) return std::nullopt;
    if (tab_width < 60) return std::string("..");
    const int limit = tab_width > 100 ? (tab_width - 10) / 2 : (tab_width - 40) / 2;
    size_t end = 0;
    while (end < hint.size()) {
        end = std::min(hint.size(), end + SequenceLength(static_cast<unsigned char>(hint[end])));
        const std::string prefix = hint.substr(0, end);
        if (text_width(prefix) > limit) return prefix + "..";
    }
    return hint;
}

std::optional<int> ProgressPercent(int32_t progress, int32_t progress_max) {
    if (progress == -1) return std::nullopt;
    if (progress_max == 0) return 100;
    // Halves go to the even neighbour.
    return static_cast<int>(std::nearbyint(static_cast<double>(progress) / progress_max * 100.0));
}

bool SameTabHandle(int32_t tab_handle, unsigned long window) {
    return static_cast<int64_t>(tab_handle) == static_cast<int64_t>(static_cast<uint32_t>(window));
}

std::string TabHint(const std::string& login_user, const std::string& title) {
    return login_user.empty() ? title : "[" + login_user + "]" + title;
}

RefreshItem RefreshItemFor(std::optional<uint32_t> interval_ms) {
    if (!interval_ms) return RefreshItem::Off;
    switch (*interval_ms) {
        case 300000: return RefreshItem::Min5;
        case 600000: return RefreshItem::Min10;
        case 1800000: return RefreshItem::Min30;
        case 3600000: return RefreshItem::Min60;
        default: return RefreshItem::Custom;
    }
}

uint32_t RefreshInterval(RefreshItem item) {
    switch (item) {
        case RefreshItem::Min5: return 300000;
        case RefreshItem::Min10: return 600000;
        case RefreshItem::Min30: return 1800000;
        case RefreshItem::Min60: return 3600000;
        default: return 0;
    }
}

std::string CustomRefreshCaption(uint32_t interval_ms) {
    std::string seconds = std::to_string(interval_ms / 1000);
    if (interval_ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + interval_ms % 1000).substr(1);
        while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
        seconds += "." + fraction;
    }
    return kCustomRefreshPrefix + seconds;
}

std::string CustomRefreshPromptText(const std::string& caption) {
    std::string text = caption;
    const std::string prefix = kCustomRefreshPrefix;
    for (size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    return text.empty() ? "60" : text;
}

std::optional<uint32_t> ParseRefreshSeconds(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    size_t start = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (start == text.size()) return std::nullopt;
    for (size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    const long long value = std::stoll(text);
    // The timer counts milliseconds in 32 bits.
    if (value < 10 || value * 1000 > 0xFFFFFFFFLL) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::vector<std::pair<std::string, std::string>> LoginFillCalls(const std::string& login_info) {
    const auto lines = Lines(login_info);
    std::vector<std::pair<std::string, std::string>> calls;
    if (lines.size() < 2) return calls;
    auto name_of = [](const std::string& line) { return line.substr(0, line.find('=')); };
    for (const std::string& line : lines) {
        const std::string name = name_of(line);
        std::string value;
        for (const std::string& other : lines) {
            if (EqualsIgnoringAsciiCase(name_of(other), name)) {
                const auto eq = other.find('=');
                value = eq == std::string::npos ? "" : other.substr(eq + 1);
                break;
            }
        }
        calls.emplace_back(name, value);
    }
    return calls;
}

std::string PageName(const std::string& title, const std::string& url) {
    return title.empty() ? url : title;
}

std::string DeadTabStatusText(const std::string& caption) {
    return "页面“" + caption + "”已意外结束";
}

}  // namespace kivo
