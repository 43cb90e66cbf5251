// A whole session driven from outside: real keys and clicks, observed as a user and the web
// server see it.
#include <gtest/gtest.h>

#include "tests/e2e/support/outside.h"
#include "tests/e2e/support/program_under_test.h"
#include "tests/e2e/support/ui_driver.h"

namespace {

using namespace kivo::e2e;

}  // namespace
