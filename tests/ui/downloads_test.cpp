#include "ui/tabs/downloads.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadTexts, ProgressShowsThePercentOrTheSizeSoFar) {
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 512, 1024), "下载中 50% a.bin");
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 2048, 1024), "下载中 100% a.bin");
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 0, 1), "下载中 0% a.bin");
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 300, 0), "下载中 300 KB a.bin");
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 1536, 0), "下载中 1.5 MB a.bin");
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 3 * 1024 * 1024, 0), "下载中 3.0 GB a.bin");
    // 10 GiB in KiB does not overflow the percent.
    EXPECT_EQ(kivo::DownloadProgressText("a.bin", 5 << 20, 10 << 20), "下载中 50% a.bin");
}

}  // namespace
