// The main-window search against real windows on the test display, nested as reparenting window
// managers nest them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

// After the test framework: the X headers define macros that clash with it.
#include <X11/Xatom.h>

#include "platform/x11_windows.h"
#include "tests/support/test_support.h"

namespace {

constexpr const char* kClass = "KivoSearchTest";
constexpr const char* kTitle = "Kivo search test window";

class NestedClient : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = kivo::test::TestDisplay();
        if (!display_)
            GTEST_SKIP() << "needs an X display";
        const Window root = DefaultRootWindow(display_);
        frame_ = XCreateSimpleWindow(display_, root, 0, 0, 120, 120, 0, 0, 0);
        wrapper_ = XCreateSimpleWindow(display_, frame_, 0, 0, 110, 110, 0, 0, 0);
        client_ = std::make_unique<kivo::test::TopLevelWindow>(kClass, kTitle);
        // Frame, wrapper, client: two levels below the root's child.
        XReparentWindow(display_, client_->Id(), wrapper_, 0, 0);
        XSync(display_, False);
    }

    void TearDown() override {
        if (!display_)
            return;
        XDeleteProperty(display_, DefaultRootWindow(display_),
                        XInternAtom(display_, "_NET_CLIENT_LIST", False));
        client_.reset();
        XDestroyWindow(display_, frame_);
        XSync(display_, False);
    }

    unsigned long Find() { return kivo::FindTopLevelWindow(display_, kClass, kTitle); }

    void SetWmState(Window window) {
        const Atom wm_state = XInternAtom(display_, "WM_STATE", False);
        const long state[2] = {1 /* normal */, None};
        XChangeProperty(display_, window, wm_state, wm_state, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
        XSync(display_, False);
    }

    void SetClientList(std::vector<Window> windows) {
        std::vector<long> items(windows.begin(), windows.end());
        XChangeProperty(display_, DefaultRootWindow(display_),
                        XInternAtom(display_, "_NET_CLIENT_LIST", False), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(items.data()),
                        static_cast<int>(items.size()));
        XSync(display_, False);
    }

    Display* display_ = nullptr;
    Window frame_ = 0;
    Window wrapper_ = 0;
    std::unique_ptr<kivo::test::TopLevelWindow> client_;
};

TEST_F(NestedClient, IsFoundByItsWmStateAtAnyDepth) {
    // Neither the frame nor the wrapper is a client, and an unrelated client elsewhere is
    // skipped.
    kivo::test::TopLevelWindow other("Other", kTitle);
    SetWmState(other.Id());
    SetWmState(client_->Id());
    EXPECT_EQ(Find(), client_->Id());
}

TEST_F(NestedClient, IsFoundThroughTheWindowManagersClientList) {
    kivo::test::TopLevelWindow other("Other", "other");
    SetClientList({other.Id(), client_->Id()});
    EXPECT_EQ(Find(), client_->Id());
}

TEST_F(NestedClient, AWindowGoneFromTheListIsStillFoundByItsState) {
    // A list that is stale (left by a window manager that ended) does not hide the window.
    SetClientList({wrapper_});
    SetWmState(client_->Id());
    EXPECT_EQ(Find(), client_->Id());
}

TEST_F(NestedClient, WithoutAWindowManagerOnlyTheRootsChildrenCount) {
    EXPECT_EQ(Find(), 0u);
    XReparentWindow(display_, client_->Id(), DefaultRootWindow(display_), 0, 0);
    XSync(display_, False);
    EXPECT_EQ(Find(), client_->Id());
    // Gone: nothing is found.
    client_.reset();
    EXPECT_EQ(Find(), 0u);
}

}  // namespace
