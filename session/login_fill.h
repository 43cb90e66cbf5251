#pragma once
// The automatic fill of a tab's login form, sent field by field once its page has completed.
// Many login pages draw their form with script after the page has completed, so a field that
// is not there yet is asked for again a little later, until a few seconds have passed; then the
// fill ends where it failed. Between the tries the window's main loop runs on.
//
// An account's values only ever go to the site of the account's address: before each try the
// tab's page is checked, and a page of any other site ends the fill with nothing sent.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo::accounts {

// How long after its page has completed a fill keeps waiting for a field, and how often it
// asks again meanwhile.
inline constexpr std::chrono::milliseconds kFieldWait{5000};
inline constexpr std::chrono::milliseconds kFieldRetryInterval{150};

class TLoginFill {
  public:
    using Clock = std::chrono::steady_clock;
    // Sends one field to the page; throws when the page has no such input element (yet).
    using Send = std::function<void(const std::string& name, const std::string& value)>;
    enum class Outcome { Done, Again, Failed, Elsewhere };

    // `calls` as LoginFillCalls gives them, for the account whose address is `account_url`; the
    // fill gives up on a missing field at `deadline`.
    TLoginFill(std::vector<std::pair<std::string, std::string>> calls, std::string account_url,
               Clock::time_point deadline)
        : calls_(std::move(calls)), account_url_(std::move(account_url)), deadline_(deadline) {}

    // Sends the fields from the first one not yet filled, in order, to the page now shown at
    // `page_url`. Done when all are filled; Again when one failed before the deadline (call Run
    // again later: it goes on with that field); Failed when one failed at or after it (the rest
    // is never sent); Elsewhere, with nothing sent, when the page is not of the account's site
    // (the fill is over: the tab has left it).
    Outcome Run(const Send& send, std::string_view page_url, Clock::time_point now);

    size_t Filled() const { return next_; }

  private:
    std::vector<std::pair<std::string, std::string>> calls_;
    std::string account_url_;
    Clock::time_point deadline_;
    size_t next_ = 0;
};

}  // namespace kivo::accounts
