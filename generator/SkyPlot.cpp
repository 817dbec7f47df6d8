// The generator's sky plot: its active satellites, drawn by the satellites' part.
#include <vector>

#include "generator/KovraNMEAGenerator.h"
#include "satellites/SkyPlot.h"

namespace kovra {

void TKovraNMEAGenerator::DrawSatellites(TCanvas& Canvas, std::int32_t Radius, TColor BrushColor,
                                         TColor PenColor) const {
    RequireSkyPlotRadius(Radius);
    // The table as it is now; the host's canvas is called without the lock.
    std::vector<SkyPlotSatellite> active;
    for (const TSatellite* satellite : GetActiveSatellitesList()) {
        active.push_back({satellite->PseudoRandomCode(), satellite->Elevation(), satellite->Azimuth(),
                          satellite->SignalToNoiseRatio()});
    }
    DrawSkyPlot(Canvas, Radius, BrushColor, PenColor, active);
}

std::string TKovraNMEAGenerator::SkyPlotSvg(std::int32_t Radius, TColor BrushColor, TColor PenColor) const {
    RequireSkyPlotRadius(Radius);
    TSvgCanvas canvas(2 * Radius + 1, 2 * Radius + 1);
    DrawSatellites(canvas, Radius, BrushColor, PenColor);
    const SkyPlotLegendEntry legend[] = {{clGreen, "signal above 10 dB-Hz"}, {clRed, "signal 10 dB-Hz or less"}};
    return SkyPlotPicture(Radius, canvas, legend);
}

}  // namespace kovra
