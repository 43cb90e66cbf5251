#include "webcontrol/download_list.h"

#include <algorithm>
#include <filesystem>

namespace uitWebControl {

namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;

int32_t KiB(uint64_t bytes) {
    return static_cast<int32_t>(std::min<uint64_t>(bytes / kKiB, INT32_MAX));
}

}  // namespace

DownloadList::~DownloadList() {
    for (Entry& entry : entries_) {
        entry.transfer->events = nullptr;
        entry.transfer->Cancel();
    }
}

DownloadList::Entry* DownloadList::Find(const DownloadTransfer& transfer) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.transfer.get() == &transfer; });
    return it == entries_.end() ? nullptr : &*it;
}

DownloadList::Entry* DownloadList::Find(int32_t id) {
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id; });
    return it == entries_.end() ? nullptr : &*it;
}

void DownloadList::Drop(int32_t id) {
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.id == id; });
    if (it == entries_.end())
        return;
    it->transfer->events = nullptr;
    ended_.push_back(std::move(it->transfer));
    entries_.erase(it);
}

void DownloadList::Add(std::shared_ptr<DownloadTransfer> transfer, int32_t tab) {
    ended_.clear();
    transfer->events = this;
    Entry entry;
    entry.id = next_id_++;
    entry.tab = tab;
    entry.transfer = std::move(transfer);
    DownloadTransfer& added = *entry.transfer;
    entries_.push_back(std::move(entry));
    added.Attached();
}

void DownloadList::SaveTo(int32_t id, const std::string& path) {
    ended_.clear();
    Entry* entry = Find(id);
    if (!entry || entry->partial)
        return;
    if (path.empty()) {
        entry->transfer->events = nullptr;
        entry->transfer->Cancel();
        Drop(id);
        return;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (entry->expected_bytes > 0 && !kivo::RoomFor(folder, entry->expected_bytes)) {
        Fail(*entry, "磁盘空间不足");
        return;
    }
    try {
        entry->partial =
            std::make_unique<kivo::PartialDownload>(path, kivo::PartialDownloadJournal());
    } catch (const kivo::DownloadFileError& e) {
        Fail(*entry, e.what());
        return;
    }
    entry->transfer->Start(entry->partial->Path());
}

void DownloadList::TransferNamed(DownloadTransfer& transfer, const std::string& suggested_name,
                                 uint64_t expected_bytes) {
    Entry* entry = Find(transfer);
    if (!entry || entry->asked)
        return;
    entry->asked = true;
    entry->expected_bytes = expected_bytes;
    if (reports_.Ask)
        reports_.Ask(entry->id, kivo::SafeDownloadName(suggested_name), entry->tab);
}

void DownloadList::TransferReceived(DownloadTransfer& transfer, uint64_t received_bytes) {
    Entry* entry = Find(transfer);
    if (!entry || !entry->partial)
        return;
    // Often enough to show, seldom enough not to flood the main process.
    const int64_t step =
        entry->expected_bytes > 0
            ? static_cast<int64_t>(std::min<uint64_t>(received_bytes, entry->expected_bytes) * 100 /
                                   entry->expected_bytes)
            : static_cast<int64_t>(received_bytes / kMiB);
    if (step == entry->last_reported)
        return;
    entry->last_reported = step;
    if (reports_.Progress)
        reports_.Progress(entry->id, KiB(received_bytes), KiB(entry->expected_bytes));
}

void DownloadList::TransferFinished(DownloadTransfer& transfer) {
    Entry* entry = Find(transfer);
    if (!entry)
        return;
    if (!entry->partial) {
        Fail(*entry, "未选择保存位置");
        return;
    }
    try {
        entry->partial->Commit();
    } catch (const kivo::DownloadFileError& e) {
        Fail(*entry, e.what());
        return;
    }
    const int32_t id = entry->id;
    const std::string saved = entry->partial->Destination();
    Drop(id);
    if (reports_.Ended)
        reports_.Ended(id, true, saved);
}

void DownloadList::TransferFailed(DownloadTransfer& transfer, const std::string& reason) {
    if (Entry* entry = Find(transfer))
        Fail(*entry, reason);
}

void DownloadList::Fail(Entry& entry, const std::string& reason) {
    const int32_t id = entry.id;
    const bool asked = entry.asked;
    entry.transfer->events = nullptr;
    entry.transfer->Cancel();
    entry.partial.reset();
    Drop(id);
    if (asked && reports_.Ended)
        reports_.Ended(id, false, reason);
}

}  // namespace uitWebControl
