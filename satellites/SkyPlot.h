// The sky plot of a set of satellites on a drawing surface: six elevation
// rings, six azimuth lines, a centre mark, and a disc labelled with its PRN
// per satellite, red up to a signal-to-noise ratio of 10, green above, or in
// a colour of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "foundation/Export.h"
#include "satellites/Canvas.h"

namespace kovra {

struct SkyPlotSatellite {
    std::uint16_t prn;
    std::int32_t elevation;
    std::int32_t azimuth;
    std::int32_t snr;
    // Drawn in this colour (its system's, say) instead of red or green by signal.
    std::optional<TColor> colour = std::nullopt;
};

// Throws EKovraNMEAException unless 1 <= radius <= 32767; checked before any
// arithmetic on it (2R + 1 overflows above 2^30).
KOVRA_API void RequireSkyPlotRadius(std::int32_t radius);

// Draws the plot of radius Radius, centred on (Radius, Radius), with the
// satellites in the order given (a later disc covers an earlier one).
KOVRA_API void DrawSkyPlot(TCanvas& Canvas, std::int32_t Radius, TColor BrushColor, TColor PenColor,
                           std::span<const SkyPlotSatellite> satellites);

// One colour of a sky plot's legend and what it means.
struct SkyPlotLegendEntry {
    TColor colour;
    std::string label;
};

// The plot drawn on `drawing` (radius R, centred on (R, R)) as a picture
// for people: inside a margin so no disc at the rim is cut off, with N, E,
// S and W and the 0°, 30° and 60° rings labelled and a legend below; the
// labels grow with the radius.
KOVRA_API std::string SkyPlotPicture(std::int32_t radius, const TSvgCanvas& drawing,
                                     std::span<const SkyPlotLegendEntry> legend);

// The picture of `satellites` coloured by signal, with its legend: what a
// receiver of the library's own draws.
KOVRA_API std::string SignalSkyPlotSvg(std::int32_t radius, TColor brushColor, TColor penColor,
                                       std::span<const SkyPlotSatellite> satellites);

}  // namespace kovra
