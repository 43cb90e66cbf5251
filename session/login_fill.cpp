#include "session/login_fill.h"

#include <exception>

#include "platform/web_origin.h"

namespace kivo::accounts {

TLoginFill::Outcome TLoginFill::Run(const Send& send, std::string_view page_url,
                                    Clock::time_point now) {
    if (next_ < calls_.size() && !IsAccountSite(account_url_, page_url))
        return Outcome::Elsewhere;
    for (; next_ < calls_.size(); ++next_) {
        try {
            send(calls_[next_].first, calls_[next_].second);
        } catch (const std::exception&) {
            return now < deadline_ ? Outcome::Again : Outcome::Failed;
        }
    }
    return Outcome::Done;
}

}  // namespace kivo::accounts
