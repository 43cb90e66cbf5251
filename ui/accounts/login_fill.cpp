#include "ui/accounts/login_fill.h"

#include <exception>

namespace kivo::accounts {

TLoginFill::Outcome TLoginFill::Run(const Send& send, Clock::time_point now) {
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
