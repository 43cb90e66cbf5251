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

}  // namespace
