#include <iostream>

#include "generator/KovraNMEAGenerator.h"

int main() {
    auto gps = kovra::TKovraNMEAGenerator::Create();
    gps->UseSystemDateTime(false);
    gps->UTCDateTime(kovra::EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    gps->Latitude_Degree(48);
    gps->Latitude_Minute(7);
    gps->Latitude_Second(2.28L);
    gps->Longitude_Degree(11);
    gps->Longitude_Minute(31);
    std::cout << gps->Version() << " " << gps->GetGPZDA();
}
