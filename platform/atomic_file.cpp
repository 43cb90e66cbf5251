#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/unique_fd.h"

namespace kivo {

void WriteFileAtomically(const std::string& path, std::string_view data) {
    const std::string temporary = path + ".new";
    auto fail = [&](const std::string& what) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        throw std::runtime_error(what + ": " + reason);
    };
    {
        UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!fd.Valid()) fail("cannot write " + temporary);
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(fd.Get(), data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("cannot write " + temporary);
            done += static_cast<size_t>(n);
        }
        if (fsync(fd.Get()) != 0) fail("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) fail("cannot replace " + path);
}

}  // namespace kivo
