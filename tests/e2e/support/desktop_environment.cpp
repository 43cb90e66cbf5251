// Every test of this binary drives the program as on a desktop: a window manager runs on the
// test display from before the first test until after the last, so focus follows clicks and
// windows are minimised, activated and stacked by it rather than by the bare X server.
#include <gtest/gtest.h>

#include <optional>

#include "tests/e2e/support/private_desktop.h"

namespace {

class DesktopEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { window_manager_.emplace(); }
    void TearDown() override { window_manager_.reset(); }

  private:
    std::optional<kivo::e2e::WindowManagerOnDisplay> window_manager_;
};

[[maybe_unused]] ::testing::Environment* const kDesktop =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace
