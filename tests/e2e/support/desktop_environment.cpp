// The desktop comes up once, before the first test: a window manager right after the X server,
// then the buses, as a user's session starts.
#include <gtest/gtest.h>

#include "tests/e2e/support/private_desktop.h"

namespace {

class DesktopEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { kivo::e2e::Desktop(); }
};

[[maybe_unused]] const auto* const registered =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace
