// The monitor panel and the ready holder's row on a real canvas.

#include "display_canvas.hpp"
#include "stimulark/canvas/VariableMonitor.hpp"

#include <gtest/gtest.h>

namespace Stimulark {
namespace {

using Testing::black;
using Testing::inkOf;
using Testing::PixelBlock;
using Testing::readPixels;
using Testing::white;

// Draws nothing, so the panel alone shows.
class BlankHolder : public VariableMonitor_Holder {
public:
    const char* name() const override { return "blank"; }
    void draw(double, double, bool, int) override {}
    double value() const override { return 0.0; }
    void setValue(double) override {}
    double step() const override { return 0.0; }
    double largeStep() const override { return 0.0; }
    void decrement(bool) override {}
    void increment(bool) override {}
};

class VariableMonitorDisplay : public Testing::DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        variableMonitors.clear();
        selectedMonitor = 0;
    }
    void TearDown() override {
        variableMonitors.clear();
        selectedMonitor = 0;
        DisplayTest::TearDown();
    }
};

TEST_F(VariableMonitorDisplay, PanelCoversTwoHundredPixelsByFiftyPerEntry) {
    BlankHolder a, b, c;
    variableMonitors = {&a, &b, &c};
    canvas->clear(Color::white, BACK_BUFFER);
    drawVariableMonitor();
    const PixelBlock block = readPixels(*canvas, 0, 0, 201, 151);

    const std::uint32_t panel = block.at(0, 0);
    EXPECT_NEAR(static_cast<int>(panel & 0xFF), 128, 1) << "half-transparent black over white";
    EXPECT_EQ(inkOf(block.part(0, 0, 200, 150), panel).count, 0) << "(0,0)-(199,149) evenly covered";
    EXPECT_EQ(inkOf(block.part(200, 0, 1, 151), white).count, 0) << "column 200 untouched";
    EXPECT_EQ(inkOf(block.part(0, 150, 201, 1), white).count, 0) << "row 150 untouched";
}

TEST_F(VariableMonitorDisplay, HolderDrawsNameAndValueInItsOwnRow) {
    MonitoredInt selected("selected", 1, 1, 10);
    MonitoredInt trials("trials", 7, 1, 10);
    canvas->clear(Color::black, BACK_BUFFER);
    drawVariableMonitor();
    const PixelBlock before = readPixels(*canvas, 0, 0, 256, 200);

    // The selected first row: a white bar four pixels wide over a faint highlight.
    EXPECT_EQ(inkOf(before.part(0, 0, 4, 50), white).count, 0);
    EXPECT_NEAR(static_cast<int>(before.at(150, 5) & 0xFF), 64, 2);
    EXPECT_EQ(before.at(4, 5), before.at(150, 5));

    // The second row: the name's glyph cells stand on row 68, the value's on row 90;
    // the bottom row of a cell is for descenders, so the ink ends a row higher.
    EXPECT_EQ(before.at(150, 55), black) << "unselected rows are not highlighted";
    const auto name = inkOf(before.part(0, 50, 200, 25), black);
    const auto value = inkOf(before.part(0, 75, 200, 25), black);
    EXPECT_GT(name.count, 10);
    EXPECT_EQ(name.bottom, 67);
    EXPECT_GE(name.top, 62);
    EXPECT_GE(name.left, 10);
    EXPECT_GT(value.count, 3);
    EXPECT_EQ(value.bottom, 89);
    EXPECT_GE(value.top, 84);
    EXPECT_GE(value.left, 10);
    EXPECT_EQ(inkOf(before.part(0, 100, 256, 100), black).count, 0) << "nothing below two rows";
    EXPECT_EQ(inkOf(before.part(200, 0, 56, 100), black).count, 0) << "nothing right of the panel";

    trials.increment(false);
    canvas->clear(Color::black, BACK_BUFFER);
    drawVariableMonitor();
    const PixelBlock after = readPixels(*canvas, 0, 0, 256, 200);
    EXPECT_EQ(after.part(0, 50, 200, 25), before.part(0, 50, 200, 25)) << "the name stays";
    EXPECT_NE(after.part(0, 75, 200, 25), before.part(0, 75, 200, 25)) << "8 replaces 7";
}

} // namespace
} // namespace Stimulark
