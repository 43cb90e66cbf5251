#pragma once
// A per-user named lock that one process holds for its whole life: an exclusive flock on a
// file in the user's runtime folder. The kernel drops the lock when the process ends, so a
// file left behind by a crash is no obstacle.
#include <string>

#include "platform/unique_fd.h"

namespace kivo {

class NamedProcessLock {
public:
    // Tries to take the lock `name`. AlreadyExisted() tells whether another process holds it.
    explicit NamedProcessLock(const std::string& name);

    bool AlreadyExisted() const { return already_existed_; }
    const std::string& File() const { return file_; }

private:
    std::string file_;
    UniqueFd fd_;
    bool already_existed_ = false;
};

}  // namespace kivo
