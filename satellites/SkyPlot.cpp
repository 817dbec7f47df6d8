// The sky plot: elevation rings, azimuth lines and a disc per satellite.
#include "satellites/SkyPlot.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "foundation/Exception.h"
#include "foundation/Validation.h"

namespace kovra {

namespace {
constexpr Extended kThirty = 0.52359877559829887307L;
constexpr Extended kSixty = 1.0471975511965977461L;
constexpr std::int32_t kDiscRadius = 12;

// Nearest integer, halves to even.
std::int32_t Rnd(Extended x) { return static_cast<std::int32_t>(std::nearbyint(x)); }

TPoint At(Extended x, Extended y, std::int32_t r) { return {Rnd(x * r), Rnd(y * r)}; }

void Line(TCanvas& canvas, TPoint from, TPoint to) {
    canvas.SetPenPos(from);
    canvas.LineTo(to.X, to.Y);
}

}  // namespace

void RequireSkyPlotRadius(std::int32_t radius) {
    if (!validation::IsSkyPlotRadius(radius)) {
        throw EKovraNMEAException("Sky plot radius must be between 1 and 32767; " + std::to_string(radius) +
                                  " was given.");
    }
}

void DrawSkyPlot(TCanvas& Canvas, std::int32_t Radius, TColor BrushColor, TColor PenColor,
                 std::span<const SkyPlotSatellite> satellites) {
    RequireSkyPlotRadius(Radius);
    const std::int32_t r = Radius;
    Canvas.SetBrushColor(BrushColor);
    Canvas.SetPenColor(PenColor);
    Canvas.SetPenWidth(1);
    for (std::int32_t p = 1; p <= 6; ++p) {
        const std::int32_t outer = ((p - 1) * r) / 6;
        const std::int32_t inner = ((13 - p) * r) / 6;
        Canvas.Ellipse(outer, outer, inner, inner);
    }
    const Extended s30 = std::sin(kThirty), c30 = std::cos(kThirty);
    const Extended s60 = std::sin(kSixty), c60 = std::cos(kSixty);
    Line(Canvas, {r, 0}, {r, 2 * r});
    Line(Canvas, At(1 + s30, 1 - c30, r), At(1 - c60, 1 + s60, r));
    Line(Canvas, At(1 + s60, 1 - c60, r), At(1 - c30, 1 + s30, r));
    Line(Canvas, At(1 + c30, 1 + s30, r), At(1 - s60, 1 - s30, r));
    Line(Canvas, At(1 + c60, 1 + s60, r), At(1 - s30, 1 - s60, r));
    Line(Canvas, {2 * r, r}, {0, r});
    Canvas.Ellipse(r - 3, r - 3, r + 3, r + 3);

    for (const SkyPlotSatellite& satellite : satellites) {
        const Extended theta = std::numbers::pi_v<Extended> - satellite.azimuth * std::numbers::pi_v<Extended> / 180;
        const Extended distance = r - static_cast<Extended>(2 * r * satellite.elevation) / 180;
        const std::int32_t x = Rnd(std::sin(theta) * distance) + r;
        const std::int32_t y = Rnd(std::cos(theta) * distance) + r;
        Canvas.SetBrushColor(satellite.colour.value_or(satellite.snr <= 10 ? clRed : clGreen));
        Canvas.Ellipse(x - kDiscRadius, y - kDiscRadius, x + kDiscRadius, y + kDiscRadius);
        const std::int32_t offset = satellite.prn < 10 ? 6 : 8;
        Canvas.TextOut(x - offset, y - offset, std::to_string(satellite.prn));
    }
}

namespace {

std::string Hex(TColor colour) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "#";
    for (const int shift : {0, 8, 16}) {  // TColor is 0x00BBGGRR
        const unsigned byte = (colour >> shift) & 0xFF;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

std::string Label(std::int32_t x, std::int32_t y, std::int32_t size, const std::string& text,
                  const char* anchor = "middle", const char* colour = "#334") {
    return "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" font-family=\"sans-serif\" font-size=\"" +
           std::to_string(size) + "\" text-anchor=\"" + anchor + "\" fill=\"" + colour + "\">" + text + "</text>\n";
}

}  // namespace

std::string SkyPlotPicture(std::int32_t radius, const TSvgCanvas& drawing, std::span<const SkyPlotLegendEntry> legend) {
    RequireSkyPlotRadius(radius);
    const std::int32_t r = radius;
    const std::int32_t font = std::max(10, r / 12);
    const std::int32_t margin = kDiscRadius + 2 * font + 4;  // a disc on the rim, and the compass letter beyond it
    const std::int32_t side = 2 * r + 1;
    const std::int32_t row = font * 3 / 2;
    const std::int32_t width = side + 2 * margin;
    const std::int32_t height = side + 2 * margin + row * static_cast<std::int32_t>(legend.size()) + font / 2;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n" +
                      "<svg x=\"" + std::to_string(margin) + "\" y=\"" + std::to_string(margin) + "\" width=\"" +
                      std::to_string(side) + "\" height=\"" + std::to_string(side) + "\" overflow=\"visible\">\n" +
                      drawing.Elements() + "</svg>\n";
    const std::int32_t cx = margin + r, cy = margin + r;
    svg += Label(cx, margin - kDiscRadius - 4, font, "N");
    svg += Label(cx, margin + side + kDiscRadius + font + 2, font, "S");
    svg += Label(margin + side + kDiscRadius + 4, cy + font / 3, font, "E", "start");
    svg += Label(margin - kDiscRadius - 4, cy + font / 3, font, "W", "end");
    for (const int elevation : {0, 30, 60}) {
        const std::int32_t ring = r * (90 - elevation) / 90;
        svg += Label(cx + 3, cy - ring - 2, std::max(8, font * 3 / 4), std::to_string(elevation) + "°", "start", "#667");
    }
    std::int32_t y = margin + side + margin;
    for (const SkyPlotLegendEntry& entry : legend) {
        svg += "<circle cx=\"" + std::to_string(margin + font / 2) + "\" cy=\"" + std::to_string(y - font / 3) + "\" r=\"" +
               std::to_string(font / 2) + "\" fill=\"" + Hex(entry.colour) + "\" stroke=\"#000000\"/>\n";
        svg += Label(margin + font + font / 2, y, font, entry.label, "start");
        y += row;
    }
    return svg + "</svg>\n";
}

std::string SignalSkyPlotSvg(std::int32_t radius, TColor brushColor, TColor penColor,
                             std::span<const SkyPlotSatellite> satellites) {
    RequireSkyPlotRadius(radius);
    TSvgCanvas canvas(2 * radius + 1, 2 * radius + 1);
    DrawSkyPlot(canvas, radius, brushColor, penColor, satellites);
    const SkyPlotLegendEntry legend[] = {{clGreen, "signal above 10 dB-Hz"}, {clRed, "signal 10 dB-Hz or less"}};
    return SkyPlotPicture(radius, canvas, legend);
}

}  // namespace kovra
