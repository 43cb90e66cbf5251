#pragma once
// One browser view of a worker: a web page shown inside a tab window of the main process.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace uitWebControl {

class BrowserView {
public:
    virtual ~BrowserView() = default;

    // The window that holds the page (what the main process knows as WebHandle).
    virtual int32_t WindowHandle() const = 0;
    // Places the view into the host window at its full size and shows it; nothing when the
    // host window no longer exists.
    virtual void EmbedInto(int32_t host_window) = 0;
};

// Makes the views of a worker object; the worker's browser engine provides it.
class BrowserViewFactory {
public:
    virtual ~BrowserViewFactory() = default;
    virtual std::unique_ptr<BrowserView> CreateView(int32_t TabHandle) = 0;
};

}  // namespace uitWebControl
