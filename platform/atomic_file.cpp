#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

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

namespace {

std::string Reason() {
    return std::strerror(errno);
}

// Writes all of `data`; false with errno set when the file takes less.
bool WriteAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Copies the content of `from` into the open file `to_fd` and flushes it to the disk.
void CopyContent(const std::string& from, int to_fd, const std::string& to_name) {
    UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.Valid())
        throw std::runtime_error("cannot read " + from + ": " + Reason());
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(source.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error("cannot read " + from + ": " + Reason());
        if (n == 0)
            break;
        if (!WriteAll(to_fd, buffer.data(), static_cast<size_t>(n)))
            throw std::runtime_error("cannot write " + to_name + ": " + Reason());
    }
    if (fsync(to_fd) != 0)
        throw std::runtime_error("cannot write " + to_name + ": " + Reason());
}

}  // namespace

bool CopyFileOnce(const std::string& from, const std::string& to) {
    if (::access(to.c_str(), F_OK) == 0)
        return false;
    std::string temporary = to + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid())
        throw std::runtime_error("cannot write beside " + to + ": " + Reason());
    bool made = true;
    try {
        CopyContent(from, fd.Get(), to);
        // link, unlike rename, never replaces: a copy another process finished first stays.
        if (::link(temporary.c_str(), to.c_str()) != 0) {
            if (errno != EEXIST)
                throw std::runtime_error("cannot make " + to + ": " + Reason());
            made = false;
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    ::unlink(temporary.c_str());
    return made;
}

}  // namespace kivo
