#pragma once
// The downloads of one worker. The engine hands each transfer it begins to the list; the list
// asks the main process where it goes (the user chooses there), lets the transfer write into a
// partial file beside the chosen file, and renames that file into place only once the transfer
// is complete. Nothing is written before the user has chosen, and every failure removes what
// was written.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/download_file.h"

namespace uitWebControl {

class DownloadTransferEvents;

// One transfer the engine has begun; it waits, writing nothing, until Start names its file.
class DownloadTransfer {
  public:
    virtual ~DownloadTransfer() = default;
    // Writes the response's body into `path`, a file made for it (replacing it).
    virtual void Start(const std::string& path) = 0;
    // Stops the transfer; it reports nothing more afterwards.
    virtual void Cancel() = 0;
    // `events` is set now: a naming that came while the transfer waited to be taken (held until
    // the user allowed the page's download) is reported now.
    virtual void Attached() {}

    // Where the transfer reports; set by the list that takes it.
    DownloadTransferEvents* events = nullptr;
};

// What a transfer reports, in this order: named once, then data received any number of times,
// then finished or failed once.
class DownloadTransferEvents {
  public:
    virtual ~DownloadTransferEvents() = default;
    // The response has come: the server's suggested name and its size (0 when not told).
    virtual void TransferNamed(DownloadTransfer& transfer, const std::string& suggested_name,
                               uint64_t expected_bytes) = 0;
    virtual void TransferReceived(DownloadTransfer& transfer, uint64_t received_bytes) = 0;
    virtual void TransferFinished(DownloadTransfer& transfer) = 0;
    // `reason`: the text for the user.
    virtual void TransferFailed(DownloadTransfer& transfer, const std::string& reason) = 0;
};

// What the list tells the main process.
struct DownloadReports {
    // Where shall the download `id` named `name` (already made safe) go? Answered by SaveTo.
    std::function<void(int32_t id, const std::string& name, int32_t tab)> Ask;
    // Sizes in KiB; `expected_kib` 0 when not known.
    std::function<void(int32_t id, int32_t received_kib, int32_t expected_kib)> Progress;
    // `finished`: `text` is the saved file's path; else the reason of the failure.
    std::function<void(int32_t id, bool finished, const std::string& text)> Ended;
};

class DownloadList final : public DownloadTransferEvents {
  public:
    explicit DownloadList(DownloadReports reports) : reports_(std::move(reports)) {}
    // Cancels what still runs; partial files are removed.
    ~DownloadList() override;
    DownloadList(const DownloadList&) = delete;
    DownloadList& operator=(const DownloadList&) = delete;

    // Takes a transfer the engine began for the page of `tab`.
    void Add(std::shared_ptr<DownloadTransfer> transfer, int32_t tab);
    // The user's answer for `id`: the file to save to, or empty to cancel. Nothing for a
    // download that has ended meanwhile.
    void SaveTo(int32_t id, const std::string& path);
    size_t Count() const { return entries_.size(); }

    void TransferNamed(DownloadTransfer& transfer, const std::string& suggested_name,
                       uint64_t expected_bytes) override;
    void TransferReceived(DownloadTransfer& transfer, uint64_t received_bytes) override;
    void TransferFinished(DownloadTransfer& transfer) override;
    void TransferFailed(DownloadTransfer& transfer, const std::string& reason) override;

  private:
    struct Entry {
        int32_t id = 0;
        int32_t tab = 0;
        std::shared_ptr<DownloadTransfer> transfer;
        bool asked = false;
        uint64_t expected_bytes = 0;
        std::unique_ptr<kivo::PartialDownload> partial;
        int64_t last_reported = -1;  // percent, or MiB when the size is not known
    };

    Entry* Find(const DownloadTransfer& transfer);
    Entry* Find(int32_t id);
    // Removes the entry; its transfer lives on until the next call from outside, as it may be
    // the one reporting now.
    void Drop(int32_t id);
    void Fail(Entry& entry, const std::string& reason);

    DownloadReports reports_;
    std::vector<Entry> entries_;
    std::vector<std::shared_ptr<DownloadTransfer>> ended_;
    int32_t next_id_ = 1;
};

}  // namespace uitWebControl
