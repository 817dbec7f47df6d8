#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

// Writes every call as one line of text.
class RecordingCanvas : public TCanvas {
public:
    void SetBrushColor(TColor color) override { Add("brush " + std::to_string(color)); }
    void SetPenColor(TColor color) override { Add("pen " + std::to_string(color)); }
    void SetPenWidth(std::int32_t width) override { Add("width " + std::to_string(width)); }
    void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override {
        Add("Ellipse(" + Join({x1, y1, x2, y2}) + ")");
    }
    void SetPenPos(TPoint p) override { Add("SetPenPos(" + Join({p.X, p.Y}) + ")"); }
    void LineTo(std::int32_t x, std::int32_t y) override { Add("LineTo(" + Join({x, y}) + ")"); }
    void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override {
        Add("TextOut(" + Join({x, y}) + ", " + std::string(text) + ")");
    }
    std::vector<std::string> calls;

private:
    static std::string Join(std::initializer_list<std::int32_t> values) {
        std::string text;
        for (const std::int32_t v : values) {
            text += (text.empty() ? "" : ", ") + std::to_string(v);
        }
        return text;
    }
    void Add(std::string call) { calls.push_back(std::move(call)); }
};

const std::vector<std::string> kGrid = {
    "brush 16777215", "pen 0", "width 1",
    "Ellipse(0, 0, 200, 200)", "Ellipse(16, 16, 183, 183)", "Ellipse(33, 33, 166, 166)",
    "Ellipse(50, 50, 150, 150)", "Ellipse(66, 66, 133, 133)", "Ellipse(83, 83, 116, 116)",
    "SetPenPos(100, 0)", "LineTo(100, 200)", "SetPenPos(150, 13)", "LineTo(50, 187)",
    "SetPenPos(187, 50)", "LineTo(13, 150)", "SetPenPos(187, 150)", "LineTo(13, 50)",
    "SetPenPos(150, 187)", "LineTo(50, 13)", "SetPenPos(200, 100)", "LineTo(0, 100)",
    "Ellipse(97, 97, 103, 103)",
};

std::vector<std::string> Draw(const TKovraNMEAGenerator& g, std::int32_t radius = 100) {
    RecordingCanvas canvas;
    g.DrawSatellites(canvas, radius, 0xFFFFFF, 0);
    return canvas.calls;
}

TEST(SkyPlot, TheWorkedExampleCallForCall) {
    TKovraNMEAGenerator g;
    g.SetSatellite(5, true, 45, 90, 40);
    g.SetSatellite(12, true, 30, 225, 8);
    g.SetSatellite(20, false, 60, 10, 50);  // inactive: never drawn
    std::vector<std::string> expected = kGrid;
    expected.insert(expected.end(), {"brush 32768", "Ellipse(138, 88, 162, 112)", "TextOut(144, 94, 5)",
                                     "brush 255", "Ellipse(41, 135, 65, 159)", "TextOut(45, 139, 12)"});
    EXPECT_EQ(Draw(g), expected);
}

TEST(SkyPlot, GridAloneWithoutActiveSatellites) {
    EXPECT_EQ(Draw(TKovraNMEAGenerator()), kGrid);
}

TEST(SkyPlot, PositionsColoursAndLabels) {
    TKovraNMEAGenerator g;
    g.SetSatellite(9, true, 90, 0, 10);   // the zenith: the centre; 10 is red
    g.SetSatellite(10, true, 0, 0, 11);   // the horizon due north: the top; 11 is green
    const std::vector<std::string> calls = Draw(g);
    const std::vector<std::string> satellites(calls.begin() + static_cast<long>(kGrid.size()), calls.end());
    EXPECT_EQ(satellites, (std::vector<std::string>{"brush 255", "Ellipse(88, 88, 112, 112)", "TextOut(94, 94, 9)",
                                                     "brush 32768", "Ellipse(88, -12, 112, 12)",
                                                     "TextOut(92, -8, 10)"}));
}

TEST(SkyPlot, RadiusOutOfRangeDrawsNothing) {
    TKovraNMEAGenerator g;
    for (const std::int32_t radius : {0, -5, 32768, (1 << 30) + 1, INT32_MAX, INT32_MIN}) {
        RecordingCanvas canvas;
        EXPECT_THROW(g.DrawSatellites(canvas, radius, 0, 0), EKovraNMEAException) << radius;
        EXPECT_TRUE(canvas.calls.empty());
        EXPECT_THROW((void)g.SkyPlotSvg(radius), EKovraNMEAException) << radius;  // checked before 2R + 1
    }
    RecordingCanvas largest;
    g.DrawSatellites(largest, 32767, 0, 0);
    EXPECT_EQ(largest.calls[3], "Ellipse(0, 0, 65534, 65534)");
}

TEST(SkyPlot, SvgDocumentHoldsTheWholePicture) {
    TKovraNMEAGenerator g;
    g.SetSatellite(5, true, 45, 90, 40);
    g.SetSatellite(20, true, 0, 0, 30);  // on the rim, due north
    const std::string svg = g.SkyPlotSvg(100);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0U);
    // The drawing of radius 100 (201 wide) inside a margin of 36 (a disc of
    // 12 on the rim, the 10-pixel compass letters beyond it), and two rows
    // of legend below: 273 by 308.
    EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"273\" height=\"308\""), std::string::npos)
        << svg.substr(0, 200);
    EXPECT_NE(svg.find("<svg x=\"36\" y=\"36\" width=\"201\" height=\"201\" overflow=\"visible\">"), std::string::npos);
    EXPECT_NE(svg.find("<ellipse cx=\"100\" cy=\"0\" rx=\"12\" ry=\"12\""), std::string::npos);  // 36 − 12 ≥ 0
    EXPECT_NE(svg.find(">N</text>"), std::string::npos);
    EXPECT_NE(svg.find(">30°</text>"), std::string::npos);
    EXPECT_NE(svg.find(">signal 10 dB-Hz or less</text>"), std::string::npos);
    EXPECT_NE(svg.find("<ellipse cx=\"150\" cy=\"100\" rx=\"12\" ry=\"12\" fill=\"#008000\""), std::string::npos);
    EXPECT_NE(svg.find("<line x1=\"150\" y1=\"13\" x2=\"50\" y2=\"187\""), std::string::npos);
    EXPECT_NE(svg.find(">5</text>"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

}  // namespace
}  // namespace kovra
