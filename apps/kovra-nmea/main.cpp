// kovra-nmea: runs the library as a GPS receiver and writes its NMEA 0183
// stream to standard output, a serial port, a pseudo-terminal or TCP clients.
#include <iostream>
#include <string>

#include "Options.h"
#include "Runner.h"

int main(int argc, char** argv) {
    using namespace kovra::app;
    const ParseResult parsed = ParseCommandLine(argc, argv);
    if (parsed.exitNow) {
        return *parsed.exitNow;
    }
    try {
        return Run(parsed.options);
    } catch (const UsageError& e) {
        std::cerr << "kovra-nmea: " + std::string(e.what()) + "\n";
        return 2;
    } catch (const OutputError& e) {
        std::cerr << "kovra-nmea: " + std::string(e.what()) + "\n";
        return 1;
    }
}
