#pragma once
// Files that a download writes: the name a server suggests made safe to offer, where the user's
// downloads go, and a partial file that becomes the chosen file only once it is complete.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kivo {

// A download file that cannot be made or completed; the text says why, for the user.
class DownloadFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The name a server suggests, reduced to a plain file name: only the part after the last "/" or
// "\", control characters replaced by "_", invalid UTF-8 mended, leading dots and blanks and
// trailing blanks removed (no hidden file by surprise, never "." or ".."), at most 255 bytes with
// the extension kept; "download" when nothing is left.
std::string SafeDownloadName(std::string_view suggested);

// The user's download folder when it exists, else the home folder.
std::string DownloadFolder();

// Whether the file system of `folder` has room for `bytes` more; true when it cannot be told.
bool RoomFor(const std::string& folder, uint64_t bytes);

// The folder where this user's partial download files are listed while they exist
// ($XDG_DATA_HOME/gameKivo/PartialDownloads/).
std::string PartialDownloadJournal();
// Removes the partial files that `journal` lists, left by a worker that was ended in the
// middle of a download (with the file the engine was writing beside each), and empties the
// list. Only hidden files ending with ".part" that are no links are removed, whatever the list
// says.
void RemoveLeftPartialDownloads(const std::string& journal);

// A hidden file of its own beside the destination, made empty at construction, that receives
// the transfer. Commit renames it onto the destination; without a commit it is removed.
class PartialDownload {
  public:
    // `destination`: an absolute path of a file in an existing folder. A file already there is
    // one the user chose to replace; one that appears there later is never replaced. While it
    // exists, the partial file is listed in the folder `journal` unless that is empty. Throws
    // DownloadFileError.
    explicit PartialDownload(std::string destination, std::string journal = {});
    ~PartialDownload();
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Destination() const { return destination_; }
    // The complete file takes the destination's place (replacing a file the user chose to
    // replace, and no other). Throws DownloadFileError; the partial file is then removed.
    void Commit();

  private:
    void List(const std::string& journal, const std::string& suffix);
    void Unlist();

    std::string destination_;
    std::string path_;
    std::string listed_;  // its entry in the journal, while there is one
    bool replaces_ = false;
    bool committed_ = false;
};

}  // namespace kivo
