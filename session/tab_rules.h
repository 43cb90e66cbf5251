#pragma once
// The rules of the tab strip that need no window: caption fitting, progress, the refresh
// intervals, the tab hint and the lines of an automatic login fill.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo {

inline constexpr int kTabWidth = 130;
inline constexpr const char* kLoadingCaption = "载入中";
// Asked before the last tab of a worker that still downloads closes.
inline constexpr const char* kCloseWhileDownloadingQuestion =
    "此页面的下载尚未完成，关闭后下载将被取消。是否关闭？";
// The status bar's word on a pop-up that did not open; a click on it opens the page.
inline constexpr const char* kPopupBlockedNotice = "已阻止弹出窗口";

// The caption for `hint` on a tab `tab_width` pixels wide; `text_width` measures a text in the
// tab's font. The first prefix wider than the limit is kept and followed by "..". An empty
// hint gives nothing (the caption stays as it was).
std::optional<std::string> FitTabCaptionText(const std::string& hint, int tab_width,
                                             const std::function<int(const std::string&)>& text_width);

// The percentage a progress event shows, or nothing for an event to ignore (Progress = -1).
std::optional<int> ProgressPercent(int32_t progress, int32_t progress_max);

// Whether a page event for `tab_handle` concerns the tab whose window is `window` (the handle
// widened with sign, the window without, so a negative handle never matches).
bool SameTabHandle(int32_t tab_handle, unsigned long window);

// The hint of a tab: "[" + user + "]" + title for an account's tab, else the title.
std::string TabHint(const std::string& login_user, const std::string& title);

// What a tab is named after when its page has no title: the page's address.
std::string PageName(const std::string& title, const std::string& url);

// The status text when the worker of the tab captioned `caption` has ended.
std::string DeadTabStatusText(const std::string& caption);

// The auto-refresh menu.
enum class RefreshItem { Off, Min5, Min10, Min30, Min60, Custom };
inline constexpr const char* kCustomRefreshPrefix = "自定义（秒）：";
// The checked item for a tab's timer (interval in milliseconds, or nothing when it is off).
RefreshItem RefreshItemFor(std::optional<uint32_t> interval_ms);
uint32_t RefreshInterval(RefreshItem item);
// "自定义（秒）：" + the interval in seconds, without trailing zeros.
std::string CustomRefreshCaption(uint32_t interval_ms);
// The text the custom prompt starts with: the caption without the prefix, or "60".
std::string CustomRefreshPromptText(const std::string& caption);
// The seconds of a confirmed custom interval: a decimal integer of at least 10 whose
// milliseconds fit the timer; nothing otherwise.
std::optional<uint32_t> ParseRefreshSeconds(const std::string& text);

// The LoginWeb calls of an automatic fill: for each line in order, the name before its first
// "=" and the value of the first line with that name (letter case ignored). Nothing for a text
// of fewer than two lines.
std::vector<std::pair<std::string, std::string>> LoginFillCalls(const std::string& login_info);


}  // namespace kivo
