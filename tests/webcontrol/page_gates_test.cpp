// Downloads a page starts by itself: the first goes, a press of the user's lets the next one go,
// and further ones make the user be asked once.
#include "webcontrol/page_gates.h"

#include <gtest/gtest.h>

namespace {

using Verdict = kivo::TDownloadGate::Verdict;

TEST(DownloadGate, APageDownloadingByItselfIsAskedAboutOnceAndTheAnswerHolds) {
    kivo::TDownloadGate gate;
    EXPECT_EQ(gate.Begin(), Verdict::Go) << "a page's first download, clicked or not";
    EXPECT_EQ(gate.Begin(), Verdict::Ask);
    EXPECT_EQ(gate.Begin(), Verdict::Wait) << "while the question is open";
    gate.Answer(false);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(gate.Begin(), Verdict::Refuse);
    // A press of the user's still lets one through.
    gate.UserInput();
    EXPECT_EQ(gate.Begin(), Verdict::Go);
    EXPECT_EQ(gate.Begin(), Verdict::Refuse);

    kivo::TDownloadGate allowing;
    allowing.Begin();
    EXPECT_EQ(allowing.Begin(), Verdict::Ask);
    allowing.Answer(true);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(allowing.Begin(), Verdict::Go);
}

TEST(DownloadGate, OneDownloadPerPressOfTheUserNeedsNoQuestion) {
    kivo::TDownloadGate gate;
    for (int i = 0; i < 5; ++i) {
        gate.UserInput();
        EXPECT_EQ(gate.Begin(), Verdict::Go);
    }
}

}  // namespace
