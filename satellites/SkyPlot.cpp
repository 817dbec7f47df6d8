// The sky plot: elevation rings, azimuth lines and a disc per satellite.
#include "satellites/SkyPlot.h"

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

}  // namespace kovra
