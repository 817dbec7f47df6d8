#include <iostream>

#include "generator/KovraNMEAGenerator.h"

int main() {
    auto gps = kovra::TKovraNMEAGenerator::Create();
    gps->UseSystemDateTime(false);  // a fixed clock: the same bytes every run
    gps->UTCDateTime(kovra::EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    gps->Latitude_Degree(48);
    gps->Latitude_Minute(7);
    gps->Latitude_Second(2.28L);
    gps->Longitude_Degree(11);
    gps->Longitude_Minute(31);
    gps->SetSatellite(5, true, 45, 120, 40);
    std::cout << gps->Version() << " " << gps->GetGPZDA();  // GetNMEA(): every selected sentence
}
