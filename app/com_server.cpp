#include "app/com_server.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/paths.h"

namespace kivo {

WorkerComServer::WorkerComServer(bool activation_mode, uitWebControl::BrowserViewFactory* factory,
                                 std::function<void()> quit)
    : activation_mode_(activation_mode), factory_(factory), quit_(std::move(quit)) {}

void WorkerComServer::Start() {
    const char* fd_text = std::getenv("GAMEKIVO_CHANNEL_FD");
    const int fd = fd_text ? std::atoi(fd_text) : -1;
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
        throw std::runtime_error("this worker was started without a connection to serve");
    unsetenv("GAMEKIVO_CHANNEL_FD");

    channel_ = Channel::Create(UniqueFd(fd));
    object_ = std::make_shared<uitWebControl::TWebControl>(factory_, WorkPath());
    gameKivo_TLB::ServeWebControl(channel_, object_, *object_);
    channel_->SetClosedHandler([this] { ObjectReleased(); });

    wire::Message hello;
    hello.kind = wire::Kind::Hello;
    channel_->Post(hello);
}

void WorkerComServer::ObjectReleased() {
    // The main process closed the connection (or died): its reference to the object is gone.
    if (activation_mode_ && quit_) quit_();
}

}  // namespace kivo
