// The stretching of a dialog's drawing: controls that need more room than their design boxes
// push what lies after them, and nothing that was apart in the drawing comes to overlap.
#include <gtest/gtest.h>

#include <random>

#include "ui/dialogs/dialog_layout.h"

namespace {

using kivo::DesignBox;
using kivo::NeededSize;
using kivo::TDesignLayout;

bool Overlap(const DesignBox& a, const DesignBox& b) {
    return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

// A dialog drawn as labels left of their fields, two buttons at the bottom right.
const std::vector<DesignBox> kForm = {
    {16, 36, 60, 21}, {80, 36, 250, 21},   // first row
    {16, 62, 60, 21}, {80, 62, 130, 21},   // second row, with a link beside the field
    {212, 62, 126, 21},                    //
    {190, 145, 63, 21}, {266, 145, 63, 21}};

TEST(DialogLayout, ControlsThatFitKeepTheDrawing) {
    const std::vector<NeededSize> small(kForm.size(), NeededSize{10, 10});
    const TDesignLayout layout({350, 175}, kForm, small);
    EXPECT_EQ(layout.Size().width, 350);
    EXPECT_EQ(layout.Size().height, 175);
    for (size_t i = 0; i < kForm.size(); ++i) {
        EXPECT_EQ(layout.Box(i).x, kForm[i].x);
        EXPECT_EQ(layout.Box(i).y, kForm[i].y);
        EXPECT_EQ(layout.Box(i).width, kForm[i].width);
        EXPECT_EQ(layout.Box(i).height, kForm[i].height);
    }
}

TEST(DialogLayout, TallerControlsPushTheRowsBelowAndTheDialogGrows) {
    // Fields and buttons 34 high, labels 17, the link wider than drawn.
    std::vector<NeededSize> needed = {{52, 17}, {250, 34}, {52, 17}, {130, 34},
                                      {150, 30}, {63, 34},  {63, 34}};
    const TDesignLayout layout({350, 175}, kForm, needed);
    for (size_t i = 0; i < kForm.size(); ++i) {
        EXPECT_GE(layout.Box(i).width, needed[i].width) << i;
        EXPECT_GE(layout.Box(i).height, needed[i].height) << i;
        for (size_t j = i + 1; j < kForm.size(); ++j)
            EXPECT_FALSE(Overlap(layout.Box(i), layout.Box(j))) << i << " and " << j;
    }
    // Rows stay rows: a label shares its field's row and stays left of it.
    EXPECT_EQ(layout.Box(0).y, layout.Box(1).y);
    EXPECT_EQ(layout.Box(0).height, layout.Box(1).height);
    EXPECT_LT(layout.Box(0).Right(), layout.Box(1).x);
    // The second row starts the drawing's gap below the first.
    EXPECT_EQ(layout.Box(2).y, layout.Box(1).Bottom() + 5);
    // The wider link moved the dialog's right edge, keeping its margin; the buttons stay at
    // the bottom with theirs.
    EXPECT_EQ(layout.Size().width, layout.Box(4).Right() + 12);
    EXPECT_EQ(layout.Size().height, layout.Box(6).Bottom() + 9);
    EXPECT_EQ(layout.Box(5).y, layout.Box(6).y);
    // A position between edges keeps its distance to the edge before it.
    EXPECT_EQ(layout.MapY(28), 28);
    EXPECT_EQ(layout.MapY(140), layout.MapY(135) + 5);
}

TEST(DialogLayout, RandomDrawingsOfSeparateBoxesNeverOverlapWhateverTheyNeed) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        // Boxes on a coarse grid of separate cells, each needing up to three times its size.
        std::vector<DesignBox> boxes;
        std::vector<NeededSize> needed;
        for (int row = 0; row < 5; ++row)
            for (int column = 0; column < 4; ++column) {
                if (random() % 3 == 0)
                    continue;
                const int width = 5 + static_cast<int>(random() % 40);
                const int height = 5 + static_cast<int>(random() % 20);
                boxes.push_back({column * 50 + static_cast<int>(random() % 5),
                                 row * 30 + static_cast<int>(random() % 5), width, height});
                needed.push_back({static_cast<int>(random() % (3 * width)),
                                  static_cast<int>(random() % (3 * height))});
            }
        const TDesignLayout layout({200, 150}, boxes, needed);
        for (size_t i = 0; i < boxes.size(); ++i) {
            const DesignBox box = layout.Box(i);
            ASSERT_GE(box.width, needed[i].width);
            ASSERT_GE(box.height, needed[i].height);
            ASSERT_LE(box.Right(), layout.Size().width);
            ASSERT_LE(box.Bottom(), layout.Size().height);
            for (size_t j = i + 1; j < boxes.size(); ++j)
                ASSERT_FALSE(Overlap(box, layout.Box(j))) << round << ": " << i << ", " << j;
        }
    }
}

}  // namespace
