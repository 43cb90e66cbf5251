#include "session/folder_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/unique_fd.h"
#include "session/session_names.h"

namespace kivo {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Opens the folder `name` of the folder `parent` without following a symbolic link.
UniqueFd OpenFolderAt(int parent, const char* name) {
    return UniqueFd(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The names in an open folder, "." and ".." left out. Takes over `folder`.
std::vector<std::string> EntryNames(UniqueFd folder, DirHandle& handle) {
    std::vector<std::string> names;
    handle.reset(fdopendir(folder.Get()));
    if (!handle)
        return names;
    folder.Release();
    while (dirent* entry = readdir(handle.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

bool RemoveEntry(int parent, const std::string& name, dev_t device);

// Removes what it can of everything in the folder `name` of `parent`.
void EmptyFolderAt(int parent, const std::string& name, dev_t device) {
    DirHandle handle;
    const auto names = EntryNames(OpenFolderAt(parent, name.c_str()), handle);
    for (const std::string& entry : names) RemoveEntry(dirfd(handle.get()), entry, device);
}

// Removes the entry `name` of `parent`: a folder with all it holds, anything else (a symbolic
// link included) as itself. A folder on another device than `device` is left alone.
bool RemoveEntry(int parent, const std::string& name, dev_t device) {
    struct stat info {};
    if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISDIR(info.st_mode))
        return unlinkat(parent, name.c_str(), 0) == 0;
    if (info.st_dev != device)
        return false;
    EmptyFolderAt(parent, name, device);
    return unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

// Removes the entry `name` of `parent` and, when it is a folder, what it holds on its device.
bool RemoveTree(int parent, const std::string& name) {
    struct stat info {};
    if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return RemoveEntry(parent, name, info.st_dev);
}

// The folder holding the last segment of `path`, and that segment, after checking the path.
struct SplitPath {
    std::string parent;
    std::string name;
};

SplitPath CheckedSplit(const std::string& path) {
    const auto refuse = [&](const char* why) {
        throw std::invalid_argument("refusing to delete \"" + path + "\": " + why);
    };
    if (path.find('\0') != std::string::npos)
        refuse("the path holds a NUL character");
    if (path.empty() || path.front() != '/')
        refuse("the path is not absolute");
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    size_t start = 0;
    while (start <= trimmed.size()) {
        const size_t end = std::min(trimmed.find('/', start), trimmed.size());
        const std::string_view segment(trimmed.data() + start, end - start);
        if (segment == "." || segment == "..")
            refuse("the path holds a \".\" or \"..\" segment");
        start = end + 1;
    }
    const size_t slash = trimmed.rfind('/');
    SplitPath split{trimmed.substr(0, slash + 1), trimmed.substr(slash + 1)};
    if (split.name.empty())
        refuse("it is the root folder");
    return split;
}

UniqueFd OpenParentOf(const SplitPath& split) {
    return UniqueFd(open(split.parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

void CheckFolder(const std::string& folder) {
    if (folder.empty() || folder.front() != '/' || folder.back() != '/')
        throw std::invalid_argument("\"" + folder + "\" is not an absolute folder");
}

// root + "KivoCache/", opened without following a link there.
UniqueFd OpenSessionsFolder(const std::string& root) {
    CheckFolder(root);
    UniqueFd root_fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root_fd.Valid())
        return root_fd;
    return OpenFolderAt(root_fd.Get(), std::string(kSessionsFolder).c_str());
}

// Removes every entry of root + "KivoCache/" whose name contains "AppTemp", except the
// accounts' folders.
void RemoveTempSessions(const std::string& root, const std::set<std::string>& account_folders) {
    DirHandle handle;
    const auto names = EntryNames(OpenSessionsFolder(root), handle);
    for (const std::string& name : names) {
        if (name.find(kTempSessionMark) != std::string::npos && !account_folders.contains(name))
            RemoveTree(dirfd(handle.get()), name);
    }
}

}  // namespace

bool DeleteFolder(const std::string& path) {
    const SplitPath split = CheckedSplit(path);
    const UniqueFd parent = OpenParentOf(split);
    return parent.Valid() && RemoveTree(parent.Get(), split.name);
}

void DeleteFolderTree(const std::string& path) {
    const SplitPath split = CheckedSplit(path);
    const UniqueFd parent = OpenParentOf(split);
    struct stat info {};
    if (!parent.Valid() ||
        fstatat(parent.Get(), split.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(info.st_mode))
        return;
    RemoveEntry(parent.Get(), split.name, info.st_dev);
}

bool DeleteSessionFolder(const std::string& root, const std::string& name) {
    CheckSessionName(name);
    const UniqueFd sessions = OpenSessionsFolder(root);
    return sessions.Valid() && RemoveTree(sessions.Get(), name);
}

std::set<std::string> AccountFolderNames(const std::vector<std::string>& stored_folders) {
    std::set<std::string> names;
    for (const std::string& stored : stored_folders) {
        try {
            names.insert(SessionFolderName(stored));
        } catch (const std::invalid_argument&) {
            // No folder of the sessions folder: nothing there to keep for it.
        }
    }
    return names;
}

void CleanUpRunFolders(const std::string& work_path, const std::string& cache_root,
                       const std::optional<std::set<std::string>>& account_folders) {
    CheckFolder(work_path);
    if (!cache_root.empty())
        CheckFolder(cache_root);
    if (account_folders) {
        RemoveTempSessions(work_path, *account_folders);
        if (!cache_root.empty() && cache_root != work_path)
            RemoveTempSessions(cache_root, *account_folders);
    }
    DeleteFolder(work_path + "WebImage/");
    DeleteFolderTree(work_path + "WebImage/");
    DeleteFolder(work_path + "Temp/");
}

}  // namespace kivo
