#include "platform/instance_mutex.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/paths.h"

namespace kivo {

NamedProcessLock::NamedProcessLock(const std::string& name) : file_(RuntimeFolder() + name) {
    // O_CLOEXEC: programs started by the holder must not inherit (and so keep) the lock.
    fd_.Reset(::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd_.Valid())
        throw std::runtime_error("cannot open " + file_ + ": " + std::strerror(errno));
    while (flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) {
            already_existed_ = true;
            fd_.Reset();
            return;
        }
        throw std::runtime_error("cannot lock " + file_ + ": " + std::strerror(errno));
    }
}

}  // namespace kivo
