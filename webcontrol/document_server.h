#pragma once
// The worker's side of document access (see document_access.h): one listening socket per worker
// process, in the user's private runtime folder, answering for every view window listed here.
// Questions are served from the main loop, one at a time; each is bounded in size and in time,
// and only a peer of this user is answered.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/unique_fd.h"

namespace uitWebControl {

class DocumentServer {
  public:
    // The JSON list of a view's input elements; throws when its document cannot be read.
    using InputsReader = std::function<std::string()>;

    // The process's server, listening from the first call on; throws when it cannot listen.
    static DocumentServer& Instance();
    ~DocumentServer();
    DocumentServer(const DocumentServer&) = delete;
    DocumentServer& operator=(const DocumentServer&) = delete;

    const std::string& Address() const { return address_; }
    void Register(uint32_t window, InputsReader reader) { readers_[window] = std::move(reader); }
    void Unregister(uint32_t window) { readers_.erase(window); }

  private:
    DocumentServer();
    static int OnIncoming(int fd, unsigned condition, void* self);
    void Serve(int client);

    std::string address_;
    kivo::UniqueFd listener_;
    unsigned source_ = 0;
    bool serving_ = false;
    std::map<uint32_t, InputsReader> readers_;
};

}  // namespace uitWebControl
