#pragma once
// Steps a user takes that several tests share.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/ui_driver.h"

namespace kivo::e2e {

// Types an address into the address box and presses Enter, as a user does.
inline void Go(const UiDriver& ui, const std::string& address) {
    const Element box = ui.WaitFor(ATSPI_ROLE_TEXT, "地址");
    ASSERT_TRUE(box);
    Click(box);  // a click selects the whole address, so typing replaces it
    TypeText(address);
    ASSERT_TRUE(WaitUntil([&] { return box.Text() == address; }, 10s))
        << "the box shows " << box.Text();
    PressKeys("Return");
}

}  // namespace kivo::e2e
