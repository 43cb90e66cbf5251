#pragma once
// The worker's component server: it takes the connection its starter handed down, serves one
// web-control object on it, and ends the process once that object is released.
#include <functional>
#include <memory>

#include "webcontrol/channel.h"
#include "webcontrol/uit_web_control.h"

namespace kivo {

class WorkerComServer {
public:
    // `quit` is called when the last object is released in activation mode.
    WorkerComServer(bool activation_mode, uitWebControl::BrowserViewFactory* factory,
                    std::function<void()> quit);

    // Offers the class object on the inherited connection: creates the object and announces
    // it. Throws when the process was started without a connection.
    void Start();

    uitWebControl::TWebControl* Object() { return object_.get(); }

private:
    void ObjectReleased();

    bool activation_mode_;
    uitWebControl::BrowserViewFactory* factory_;
    std::function<void()> quit_;
    std::shared_ptr<Channel> channel_;
    std::shared_ptr<uitWebControl::TWebControl> object_;
};

}  // namespace kivo
