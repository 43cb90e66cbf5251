#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace kivo {

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The home the password database records for this user, if any.
std::optional<std::string> RecordedHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return std::nullopt;
    return std::string(found->pw_dir);
}

bool IsAbsolute(const char* path) {
    return path && *path == '/';
}

std::string XdgFolder(const char* variable, const char* fallback_under_home) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return WithSlash(value);
    return HomeFolder() + fallback_under_home;
}

}  // namespace

std::string HomeFolderFrom(const char* home, const std::optional<std::string>& recorded_home) {
    if (IsAbsolute(home))
        return WithSlash(home);
    if (recorded_home && IsAbsolute(recorded_home->c_str()))
        return WithSlash(*recorded_home);
    throw std::runtime_error(
        "cannot find your home folder: HOME is not set and the password database has no home "
        "for user " +
        std::to_string(getuid()) + ". Set HOME to your own folder and start the program again.");
}

std::string HomeFolder() {
    return HomeFolderFrom(std::getenv("HOME"), RecordedHome());
}

void SettleHomeVariable() {
    const std::string home = HomeFolder();
    if (!IsAbsolute(std::getenv("HOME")))
        setenv("HOME", home.substr(0, home.size() > 1 ? home.size() - 1 : 1).c_str(), 1);
}

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw std::runtime_error("cannot find the program file: " + ec.message());
    return path.string();
}

std::string AppPath() { return WithSlash(std::filesystem::path(ExecutablePath()).parent_path()); }

std::string ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config/") + "gameKivo/"; }

std::string ProfileFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share/") + "gameKivo/"; }

std::string RuntimeFolder() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value && *value == '/') return WithSlash(value);
    return PrivateFolder("/tmp/gameKivo-" + std::to_string(getuid()) + "/");
}

std::string PrivateFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make " + folder + ": " + std::strerror(errno));
    // Opened without following a link, so what is checked and set is the folder itself.
    const std::string path = folder.substr(0, folder.size() - 1);
    UniqueFd opened(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!opened.Valid() || fstat(opened.Get(), &info) != 0 || info.st_uid != getuid())
        throw std::runtime_error(folder + " is not a private folder of this user");
    if ((info.st_mode & 07777) != 0700 && fchmod(opened.Get(), 0700) != 0)
        throw std::runtime_error("cannot make " + folder + " private: " + std::strerror(errno));
    return folder;
}

std::string UserCacheFolder() {
    return XdgFolder("XDG_CACHE_HOME", ".cache/") + "gameKivo/";
}

bool RunsInstalled(const std::string& app_path) {
    const std::string marker = app_path + kInstalledMarker;
    return ::access(marker.c_str(), F_OK) == 0 || ::access(app_path.c_str(), W_OK) != 0;
}

WritablePlaces WritablePlacesFor(const std::string& app_path, bool installed) {
    if (!installed)
        return {app_path + kDatabaseFileName, app_path};
    return {ProfileFolder() + kDatabaseFileName, UserCacheFolder()};
}

WritablePlaces Writable() {
    const std::string app_path = AppPath();
    return WritablePlacesFor(app_path, RunsInstalled(app_path));
}

std::string WorkPath() {
    return Writable().Work;
}

void PrepareDatabase(const WritablePlaces& places, const std::string& template_file) {
    if (places.Database == template_file || ::access(places.Database.c_str(), F_OK) == 0)
        return;
    if (::access(template_file.c_str(), R_OK) != 0)
        throw std::runtime_error("the program folder has no database to copy (" + template_file +
                                 "): " + std::strerror(errno));
    MakeFolders(std::filesystem::path(places.Database).parent_path().string());
    CopyFileOnce(template_file, places.Database);
}

void MakeFolders(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) throw std::runtime_error("cannot make " + path + ": " + ec.message());
}

}  // namespace kivo
