#include "webcontrol/compositing_choice.h"

#include <gtest/gtest.h>

namespace uitWebControl {
namespace {

TEST(CompositingChoice, ProcessorRenderersDrawWithoutCompositing) {
    for (const char* renderer :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer",
          "Mesa DRI Intel(R) Ivybridge Mobile (swrast)", "Google SwiftShader",
          "SwiftShader Device (Subzero) (0x0000C0DE)", "LLVMPIPE"}) {
        SCOPED_TRACE(renderer);
        EXPECT_TRUE(IsSoftwareRenderer(renderer));
        EXPECT_EQ(CompositingForRenderer(std::string(renderer)), GlCompositing::Off);
    }
}

TEST(CompositingChoice, GraphicsCardsKeepTheEnginesChoice) {
    for (const char* renderer :
         {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2",
          "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
          "virgl (Intel(R) Iris(R) Xe Graphics)"}) {
        SCOPED_TRACE(renderer);
        EXPECT_FALSE(IsSoftwareRenderer(renderer));
        EXPECT_EQ(CompositingForRenderer(std::string(renderer)), GlCompositing::EngineDefault);
    }
}

TEST(CompositingChoice, NoRendererCountsAsSoftware) {
    EXPECT_EQ(CompositingForRenderer(std::nullopt), GlCompositing::Off);
    EXPECT_EQ(CompositingForRenderer(std::string()), GlCompositing::Off);
    EXPECT_EQ(CompositingForRenderer(std::string("  ")), GlCompositing::Off);
}

TEST(CompositingChoice, OverrideDecidesOnlyWithAKnownValue) {
    EXPECT_EQ(CompositingFromOverride("hardware"), GlCompositing::EngineDefault);
    EXPECT_EQ(CompositingFromOverride("Software"), GlCompositing::Off);
    for (const char* ignored : {"", "gpu", "hardware ", "1", "soft"}) {
        SCOPED_TRACE(ignored);
        EXPECT_EQ(CompositingFromOverride(ignored), std::nullopt);
    }
}

}  // namespace
}  // namespace uitWebControl
