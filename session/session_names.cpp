#include "session/session_names.h"

#include <time.h>

#include <stdexcept>

#include "platform/text.h"

namespace kivo {

namespace {

// Shows a name in an error text without letting a NUL cut it short.
std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out;
}

}  // namespace

uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}

void CheckSessionName(std::string_view name) {
    const auto refuse = [&](const std::string& why) {
        throw std::invalid_argument("session folder name \"" + Printable(name) + "\" " + why);
    };
    if (name.empty())
        refuse("is empty");
    if (name.front() == '.')
        refuse("must not begin with \".\"");
    if (name.size() > kMaxNameBytes)
        refuse("is longer than " + std::to_string(kMaxNameBytes) + " bytes");
    for (char c : name) {
        if (c == '\0')
            refuse("must not hold a NUL character");
        if (c == '/' || c == '\\')
            refuse("must not hold \"/\" or \"\\\"");
    }
}

std::string FreeSessionFolder(std::string_view suffix, uint32_t tick) {
    std::string name(kTempSessionMark);
    name += suffix.empty() ? std::to_string(tick) : std::string(suffix);
    CheckSessionName(name);
    return std::string(kSessionsFolder) + "\\" + name;
}

std::string FreeSessionFolder(std::string_view suffix) {
    return FreeSessionFolder(suffix, TickCount());
}

std::string AccountSessionFolder(std::string_view account_name) {
    CheckSessionName(account_name);
    return std::string(kSessionsFolder) + "\\" + std::string(account_name);
}

std::string SessionFolderName(std::string_view stored) {
    const size_t prefix = kSessionsFolder.size();
    if (stored.size() <= prefix ||
        !EqualsIgnoringAsciiCase(stored.substr(0, prefix), kSessionsFolder) ||
        (stored[prefix] != '\\' && stored[prefix] != '/'))
        throw std::invalid_argument("session folder \"" + Printable(stored) +
                                    "\" does not lie in " + std::string(kSessionsFolder));
    const std::string_view name = stored.substr(prefix + 1);
    CheckSessionName(name);
    return std::string(name);
}

std::string SessionPath(std::string_view root, std::string_view stored) {
    if (root.empty() || root.front() != '/' || root.back() != '/' ||
        root.find('\0') != std::string_view::npos)
        throw std::invalid_argument("the cache root \"" + Printable(root) +
                                    "\" is not an absolute folder");
    const std::string name = SessionFolderName(stored);
    std::string path = std::string(root) + std::string(kSessionsFolder) + "/" + name + "/";
    if (path.size() >= kMaxPathBytes)
        throw std::invalid_argument("session folder \"" + name + "\" makes a path longer than " +
                                    std::to_string(kMaxPathBytes - 1) + " bytes");
    return path;
}

}  // namespace kivo
