#pragma once
// What a page may start by itself: windows and downloads. Both are let through in answer to
// the user's press of a button or key in the page, and held to a few; these rules need no
// display.
#include <chrono>
#include <deque>
#include <string>

namespace kivo {

// Lets through only the pop-ups a user asked for, and few of them: a pop-up opens when the page
// asks in answer to a click or key (the page's gesture), the user has pressed a mouse button or
// a key in the view since the last pop-up opened, and fewer than kPopupBurst have opened within
// the last kPopupSpan. Everything else is refused, so a page opening fifty windows at once or
// calling window.open in a loop yields one window per press of the user's, at most a few a
// second.
class TPopupGate {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPopupBurst = 3;
    static constexpr std::chrono::milliseconds kPopupSpan{2000};

    // A press of a mouse button or a key in the view.
    void UserInput() { input_since_popup_ = true; }
    // Whether a pop-up asked for at `now` opens; an opening counts against the next ones.
    bool Allow(bool page_gesture, Clock::time_point now);

  private:
    bool input_since_popup_ = false;
    std::deque<Clock::time_point> opened_;
};

// Whether a pop-up's address may open as a tab: web pages and the maker's own pages only (no
// local files, scripts or blank pages).
bool IsPopupAddress(const std::string& url);

// The question put to the user when a page starts a further download by itself.
inline constexpr const char* kMultipleDownloadsQuestion = "此网页想要下载多个文件";

// A page's first download always goes, as does one after a press of the user's in the page. A
// further download the page starts by itself makes the user be asked, once: downloads that
// come while the question is open wait for the answer, and later ones follow it.
class TDownloadGate {
  public:
    enum class Verdict {
        Go,      // start it
        Ask,     // ask the user now; it waits for the answer
        Wait,    // the question is open: it waits for the answer too
        Refuse,  // the user said no: cancel it
    };

    void UserInput() { input_since_download_ = true; }
    Verdict Begin();
    // The user's answer to the question.
    void Answer(bool allowed) { answer_ = allowed ? Reply::Allowed : Reply::Refused; }

  private:
    enum class Reply { Unasked, Asking, Allowed, Refused };
    bool downloaded_ = false;
    bool input_since_download_ = false;
    Reply answer_ = Reply::Unasked;
};

}  // namespace kivo
