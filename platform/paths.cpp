#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/atomic_file.h"

namespace kivo {

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return WithSlash(home);
    return "/tmp/";
}

std::string XdgFolder(const char* variable, const char* fallback_under_home) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return WithSlash(value);
    return HomeFolder() + fallback_under_home;
}

}  // namespace

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
    std::string folder = "/tmp/gameKivo-" + std::to_string(getuid()) + "/";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make " + folder + ": " + std::strerror(errno));
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        throw std::runtime_error(folder + " is not a private folder of this user");
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
