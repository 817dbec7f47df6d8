// The generator's sky plot: its active satellites, drawn by the satellites' part.
#include <vector>

#include "generator/KovraNMEAGenerator.h"
#include "satellites/SkyPlot.h"

namespace kovra {

namespace {

// The table as it is now; the host's canvas is called without the lock.
std::vector<SkyPlotSatellite> ActiveOf(const TKovraNMEAGenerator& gps) {
    std::vector<SkyPlotSatellite> active;
    for (const TSatellite* satellite : gps.GetActiveSatellitesList()) {
        active.push_back({satellite->PseudoRandomCode(), satellite->Elevation(), satellite->Azimuth(),
                          satellite->SignalToNoiseRatio()});
    }
    return active;
}

}  // namespace

void TKovraNMEAGenerator::DrawSatellites(TCanvas& Canvas, std::int32_t Radius, TColor BrushColor,
                                         TColor PenColor) const {
    RequireSkyPlotRadius(Radius);
    DrawSkyPlot(Canvas, Radius, BrushColor, PenColor, ActiveOf(*this));
}

std::string TKovraNMEAGenerator::SkyPlotSvg(std::int32_t Radius, TColor BrushColor, TColor PenColor) const {
    RequireSkyPlotRadius(Radius);
    return SignalSkyPlotSvg(Radius, BrushColor, PenColor, ActiveOf(*this));
}

}  // namespace kovra
