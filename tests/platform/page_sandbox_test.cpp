// The trial of the sandbox tool: only a run that succeeds counts.
#include "platform/page_sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(PageSandbox, OnlyATrialRunThatSucceedsCounts) {
    EXPECT_FALSE(kivo::SandboxStarts("/nonexistent/bwrap"));
    EXPECT_FALSE(kivo::SandboxStarts("/bin/false"));
    // A program that runs but is no sandbox tool fails on the tool's arguments.
    EXPECT_FALSE(kivo::SandboxStarts("/bin/ls"));
    if (!std::filesystem::exists(kivo::kSandboxTool))
        GTEST_SKIP() << "no sandbox tool on this machine";
    EXPECT_TRUE(kivo::SandboxStarts(kivo::kSandboxTool));
    EXPECT_EQ(kivo::PageSandboxAvailable(), kivo::SandboxStarts(kivo::kSandboxTool));
}

TEST(PageSandbox, ABusWhoseFolderHasGoneCannotBeReached) {
    EXPECT_TRUE(kivo::BusFolderExists(""));
    EXPECT_TRUE(kivo::BusFolderExists("unix:abstract=/tmp/dbus-x,guid=1"));
    EXPECT_TRUE(kivo::BusFolderExists("unix:path=/tmp/bus"));
    EXPECT_TRUE(kivo::BusFolderExists("unix:path=/tmp/bus,guid=0123"));
    EXPECT_FALSE(kivo::BusFolderExists("unix:path=/nonexistent/at-spi/bus_0"));
    EXPECT_FALSE(kivo::BusFolderExists("unix:path=/nonexistent/at-spi/bus_0,guid=0123"));
}

}  // namespace
