#include "platform/download_file.h"

#include <fcntl.h>
#include <glib.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/paths.h"
#include "platform/unique_fd.h"

namespace kivo {

namespace {

constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxKeptExtensionBytes = 32;

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The longest start of `text` of at most `bytes` bytes that ends on a character boundary.
std::string_view Utf8Prefix(std::string_view text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string ValidUtf8(std::string_view text) {
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result = valid;
    g_free(valid);
    return result;
}

// Format characters that change how a name reads without showing themselves: zero-width
// marks and joiners, and the bidirectional embeddings, overrides and isolates that would show
// "exe.txt" for "txt.exe".
bool IsInvisibleFormat(gunichar c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::string WithoutInvisibleFormats(const std::string& text) {
    std::string kept;
    for (const char* at = text.c_str(); *at; at = g_utf8_next_char(at)) {
        const char* next = g_utf8_next_char(at);
        if (!IsInvisibleFormat(g_utf8_get_char(at)))
            kept.append(at, next);
    }
    return kept;
}

std::string ShortenKeepingExtension(const std::string& name) {
    if (name.size() <= kMaxNameBytes)
        return name;
    const size_t dot = name.rfind('.');
    std::string_view extension;
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxKeptExtensionBytes)
        extension = std::string_view(name).substr(dot);
    const std::string_view stem = std::string_view(name).substr(0, name.size() - extension.size());
    return std::string(Utf8Prefix(stem, kMaxNameBytes - extension.size())) + std::string(extension);
}

std::string RandomSuffix() {
    static std::random_device device;
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<size_t> pick(0, sizeof kDigits - 2);
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kDigits[pick(device)];
    return suffix;
}

std::string Reason() {
    return std::strerror(errno);
}

}  // namespace

std::string SafeDownloadName(std::string_view suggested) {
    const size_t slash = suggested.find_last_of("/\\");
    if (slash != std::string_view::npos)
        suggested.remove_prefix(slash + 1);
    std::string name = WithoutInvisibleFormats(ValidUtf8(suggested));
    for (char& c : name) {
        if (IsControl(static_cast<unsigned char>(c)))
            c = '_';
    }
    const size_t first = name.find_first_not_of(". \t");
    name = first == std::string::npos ? std::string() : name.substr(first);
    const size_t last = name.find_last_not_of(' ');
    name.resize(last == std::string::npos ? 0 : last + 1);
    if (name.empty())
        return "download";
    return ShortenKeepingExtension(name);
}

std::string DownloadFolder() {
    std::error_code error;
    const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    if (downloads && std::filesystem::is_directory(downloads, error))
        return downloads;
    return g_get_home_dir();
}

bool RoomFor(const std::string& folder, uint64_t bytes) {
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0)
        return true;
    const uint64_t available = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return bytes <= available;
}

std::string PartialDownloadJournal() {
    return ProfileFolder() + "PartialDownloads/";
}

namespace {

constexpr const char* kPartialEnding = ".part";

// The file the engine writes a download into before it takes the name it was given.
std::string EngineFileOf(const std::string& path) {
    return path + ".wkdownload";
}

bool LooksPartial(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return path.is_absolute() && name.size() > 6 && name.front() == '.' &&
           name.ends_with(kPartialEnding);
}

std::string FileText(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.Valid())
        return {};
    char buffer[4096];
    const ssize_t read = ::read(fd.Get(), buffer, sizeof buffer);
    return read > 0 ? std::string(buffer, static_cast<size_t>(read)) : std::string();
}

// Moves `from` onto `to` unless a file is there already.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without that rename: a new link fails as well when the name is taken.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

void RemoveLeftPartialDownloads(const std::string& journal) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(journal, error)) {
        const std::string listed = entry.path().string();
        if (entry.is_regular_file(error) && !entry.is_symlink(error)) {
            const std::filesystem::path partial(FileText(listed));
            struct stat info {};
            if (LooksPartial(partial)) {
                for (const std::string& file : {partial.string(), EngineFileOf(partial.string())})
                    if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                        ::unlink(file.c_str());
            }
        }
        ::unlink(listed.c_str());
    }
}

PartialDownload::PartialDownload(std::string destination, std::string journal)
    : destination_(std::move(destination)) {
    const std::filesystem::path target(destination_);
    const std::string name = target.filename().string();
    if (!target.is_absolute() || name.empty() || name == "." || name == "..")
        throw DownloadFileError("不是可以保存的文件名：" + destination_);
    const std::string folder = target.parent_path().string();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw DownloadFileError("文件夹不存在：" + folder);
    // Hidden while incomplete, and never a name the user could have chosen.
    const std::string base = folder + "/." + std::string(Utf8Prefix(name, 180)) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix = RandomSuffix();
        const std::string candidate = base + suffix + kPartialEnding;
        UniqueFd fd(
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (fd.Valid()) {
            path_ = candidate;
            replaces_ = std::filesystem::exists(std::filesystem::symlink_status(destination_, error));
            if (!journal.empty())
                List(journal, suffix);
            return;
        }
        if (errno != EEXIST)
            throw DownloadFileError("无法在此文件夹写入文件（" + Reason() + "）");
    }
    throw DownloadFileError("无法在此文件夹写入文件");
}

void PartialDownload::List(const std::string& journal, const std::string& suffix) {
    // Without its entry the download still works; only a kill would leave its file behind.
    std::error_code error;
    std::filesystem::create_directories(journal, error);
    const std::string entry = journal + suffix + "-" + std::to_string(::getpid());
    UniqueFd fd(::open(entry.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid())
        return;
    if (::write(fd.Get(), path_.data(), path_.size()) == static_cast<ssize_t>(path_.size()))
        listed_ = entry;
    else
        ::unlink(entry.c_str());
}

void PartialDownload::Unlist() {
    if (!listed_.empty())
        ::unlink(std::exchange(listed_, {}).c_str());
}

PartialDownload::~PartialDownload() {
    if (!committed_) {
        ::unlink(path_.c_str());
        ::unlink(EngineFileOf(path_).c_str());
    }
    Unlist();
}

void PartialDownload::Commit() {
    const bool moved = replaces_ ? std::rename(path_.c_str(), destination_.c_str()) == 0
                                 : RenameWithoutReplacing(path_, destination_);
    if (!moved) {
        const std::string reason = errno == EEXIST ? "此位置已有同名文件，未覆盖" : Reason();
        ::unlink(path_.c_str());
        committed_ = true;
        Unlist();
        throw DownloadFileError("无法保存为 " + destination_ + "（" + reason + "）");
    }
    committed_ = true;
    Unlist();
}

}  // namespace kivo
