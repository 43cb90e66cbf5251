#include "ui/tabs/downloads.h"

#include <algorithm>
#include <cstdio>

#include "platform/download_file.h"
#include "platform/text.h"

namespace kivo {

namespace {

std::string SizeText(int64_t kib) {
    char text[32];
    if (kib < 1024)
        std::snprintf(text, sizeof text, "%lld KB", static_cast<long long>(kib));
    else if (kib < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(kib) / 1024);
    else
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(kib) / (1024 * 1024));
    return text;
}

}  // namespace

std::string DownloadProgressText(const std::string& name, int64_t received_kib,
                                 int64_t expected_kib) {
    if (expected_kib <= 0)
        return "下载中 " + SizeText(received_kib) + " " + name;
    const int64_t percent = std::min<int64_t>(received_kib * 100 / expected_kib, 100);
    return "下载中 " + std::to_string(percent) + "% " + name;
}

std::string DownloadFinishedText(const std::string& path) {
    return "下载完成：" + path;
}

std::string DownloadFailedText(const std::string& name, const std::string& reason) {
    return "下载失败：" + name + "（" + reason + "）";
}

std::string DownloadCancelledText(const std::string& name) {
    return "下载已取消：" + name;
}

void TDownloads::Watch(const std::shared_ptr<TWebControl>& worker) {
    std::weak_ptr<TWebControl> weak = worker;
    worker->OnDownloadAsk = [this, weak](TWebControl&, int32_t id, const std::u16string& name,
                                         int32_t) { Ask(weak, id, Utf16ToUtf8(name)); };
    worker->OnDownloadProgress = [this](TWebControl& sender, int32_t id, int32_t received,
                                        int32_t expected) {
        Progress(sender, id, received, expected);
    };
    worker->OnDownloadEnded = [this](TWebControl& sender, bool finished, const std::u16string& text,
                                     int32_t id) {
        Ended(sender, id, finished, Utf16ToUtf8(text));
    };
}

void TDownloads::WorkersEnded() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        const auto worker = it->second.worker.lock();
        const auto object = worker ? worker->DefaultInterface() : nullptr;
        if (object && object->Alive()) {
            ++it;
            continue;
        }
        links_.ShowDownloadText(
            DownloadFailedText(it->second.name, worker ? "页面已意外结束" : "页面已关闭"));
        auto ended = it++;
        Close(ended);
    }
    ShowNextChooser();
}

bool TDownloads::Running(const TWebControl& worker) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& entry) { return entry.first.first == &worker; });
}

void TDownloads::Abandon(const TWebControl& worker) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->first.first != &worker) {
            ++it;
            continue;
        }
        links_.ShowDownloadText(DownloadCancelledText(it->second.name));
        auto given_up = it++;
        Close(given_up);
    }
    ShowNextChooser();
}

void TDownloads::Close(std::map<Key, Entry>::iterator entry) {
    if (entry->second.chooser) {
        auto chooser = std::move(entry->second.chooser);
        chooser->hide();
        // Dropped from the main loop: this may run inside the chooser's own signal.
        Glib::signal_idle().connect_once([chooser] {});
    }
    entries_.erase(entry);
}

void TDownloads::Ask(const std::weak_ptr<TWebControl>& worker, int32_t id,
                     const std::string& name) {
    auto shared = worker.lock();
    if (!shared)
        return;
    const Key key{shared.get(), id};
    Entry& entry = entries_[key];
    entry.worker = worker;
    // The worker made the name safe already; it is made safe here all the same.
    entry.name = SafeDownloadName(name);
    entry.turn = ++turns_;
    ShowNextChooser();
}

void TDownloads::ShowNextChooser() {
    const bool choosing = std::any_of(entries_.begin(), entries_.end(),
                                      [](const auto& entry) { return entry.second.chooser; });
    if (choosing)
        return;
    // The downloads wait in the order they asked.
    auto next = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (!it->second.chosen && (next == entries_.end() || it->second.turn < next->second.turn))
            next = it;
    if (next == entries_.end())
        return;
    const Key key = next->first;
    Entry& entry = next->second;
    entry.chooser = Gtk::FileChooserNative::create(kDownloadChooserTitle, *links_.Owner(),
                                                   Gtk::FILE_CHOOSER_ACTION_SAVE, "保存", "取消");
    entry.chooser->set_modal(false);
    entry.chooser->set_do_overwrite_confirmation(true);
    entry.chooser->set_current_folder(DownloadFolder());
    entry.chooser->set_current_name(entry.name);
    entry.chooser->signal_response().connect([this, key](int response) { Answer(key, response); });
    // The worker's event returns at once; the answer goes to the worker when the user gives it.
    entry.chooser->show();
}

void TDownloads::Answer(Key key, int response) {
    auto it = entries_.find(key);
    if (it == entries_.end())
        return;
    Entry& entry = it->second;
    const std::string path = response == Gtk::RESPONSE_ACCEPT ? entry.chooser->get_filename() : "";
    entry.chooser->hide();
    // Dropped from the main loop: this runs inside the chooser's own signal.
    Glib::signal_idle().connect_once([chooser = std::move(entry.chooser)] {});
    entry.chosen = true;
    Glib::signal_idle().connect_once([this] { ShowNextChooser(); });
    auto worker = entry.worker.lock();
    const std::string name = entry.name;
    if (path.empty()) {
        entries_.erase(it);
        links_.ShowDownloadText(DownloadCancelledText(name));
        if (worker) {
            try {
                worker->DownloadSaveTo(key.second, u"");
            } catch (const std::exception&) {
                // A worker that has gone has no download left to cancel.
            }
        }
        return;
    }
    entry.name = Glib::path_get_basename(path);
    links_.ShowDownloadText(DownloadProgressText(entry.name, 0, 0));
    try {
        if (!worker)
            throw gameKivo_TLB::WebControlError("页面已关闭");
        worker->DownloadSaveTo(key.second, Utf8ToUtf16(path));
    } catch (const std::exception&) {
        entries_.erase(key);
        links_.ShowDownloadText(DownloadFailedText(name, "页面已关闭"));
    }
}

void TDownloads::Progress(const TWebControl& worker, int32_t id, int32_t received_kib,
                          int32_t expected_kib) {
    auto it = entries_.find({&worker, id});
    if (it == entries_.end() || !it->second.chosen)
        return;
    links_.ShowDownloadText(DownloadProgressText(it->second.name, received_kib, expected_kib));
}

void TDownloads::Ended(const TWebControl& worker, int32_t id, bool finished,
                       const std::string& text) {
    auto it = entries_.find({&worker, id});
    if (it == entries_.end())
        return;
    const std::string name = it->second.name;
    // Failed while the user was still choosing or waiting to: the question is void.
    Close(it);
    links_.ShowDownloadText(finished ? DownloadFinishedText(text) : DownloadFailedText(name, text));
    ShowNextChooser();
}

}  // namespace kivo
