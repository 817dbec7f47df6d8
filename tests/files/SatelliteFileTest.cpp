#include "FileSupport.h"
#include "TestSupport.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using test::ThrowsKovra;

class SatelliteFile : public test::TempDir {
protected:
    // "elevation,azimuth,snr" with a leading "*" when active, for PRN 1 to 32.
    std::string Table() const {
        std::string text;
        for (const TSatellite* s : g.GetSatellitesList()) {
            text += (s->Active() ? "*" : "") + std::to_string(s->Elevation()) + "," + std::to_string(s->Azimuth()) +
                    "," + std::to_string(s->SignalToNoiseRatio()) + " ";
        }
        return text;
    }
    TKovraNMEAGenerator g;
};

TEST_F(SatelliteFile, SavesAll32SectionsAsTheExampleShows) {
    g.SetSatellite(2, true, 45, 120, 40);
    Write(Path("sat.ini"), "[99]\nExtra=1\n");
    g.SaveSatellitesToFile(Name("sat.ini"));
    const std::string text = Read(Path("sat.ini"));
    const std::string firstFifteenLines =
        "[1]\nActive=0\nElevation=0\nAzimuth=0\nSNR=0\n"
        "[2]\nActive=1\nElevation=45\nAzimuth=120\nSNR=40\n"
        "[3]\nActive=0\nElevation=0\nAzimuth=0\nSNR=0\n";
    EXPECT_EQ(text.substr(0, firstFifteenLines.size()), firstFifteenLines);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 32 * 5);
    EXPECT_NE(text.find("[32]\nActive=0\nElevation=0\nAzimuth=0\nSNR=0\n"), std::string::npos);
    EXPECT_EQ(text.find("[99]"), std::string::npos);
}

TEST_F(SatelliteFile, RoundTrip) {
    g.SetSatellite(1, true, 90, 359, 99);
    g.SetSatellite(17, false, 12, 34, 56);
    g.SetSatellite(32, true, 0, 0, 0);
    const std::string before = Table();
    g.SaveSatellitesToFile(Name("sat.ini"));
    g.ResetSatellites();
    g.LoadSatellitesFromFile(Name("sat.ini"));
    EXPECT_EQ(Table(), before);
}

TEST_F(SatelliteFile, LoadingSetsOnlyTheSectionsPresent) {
    g.SetSatellite(7, true, 1, 2, 3);
    const std::string untouched = Table();
    g.LoadSatellitesFromFile(Name("missing.ini"));
    EXPECT_EQ(Table(), untouched);

    Write(Path("five.ini"), "[5]\nActive=1\nElevation=30\n[6]\n[8]\nActive=5\n[9]\nActive=yes\nSNR=x\n");
    g.LoadSatellitesFromFile(Name("five.ini"));
    const TSatelliteList all = g.GetSatellitesList();
    EXPECT_TRUE(all[4]->Active());
    EXPECT_EQ(all[4]->Elevation(), 30);
    EXPECT_EQ(all[4]->Azimuth(), 0);
    EXPECT_FALSE(all[5]->Active());  // a section with no keys: inactive, all 0
    EXPECT_TRUE(all[7]->Active());   // 5 reads as true
    EXPECT_FALSE(all[8]->Active());  // yes is not an integer
    EXPECT_EQ(all[8]->SignalToNoiseRatio(), 0);
    EXPECT_TRUE(all[6]->Active());  // PRN 7 was not in the file
    EXPECT_EQ(all[6]->SignalToNoiseRatio(), 3);
}

TEST_F(SatelliteFile, LoadingStopsAtTheFirstBadSection) {
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"[1]\nActive=1\n[2]\nActive=1\n[33]\nActive=1\n[3]\nActive=1\n", "PseudoRandomCode must be between 1 and 32."},
        {"[1]\nActive=1\n[2]\nActive=1\n[65537]\nActive=1\n", "PseudoRandomCode must be between 1 and 32."},
        {"[1]\nActive=1\n[2]\nActive=1\n[abc]\nActive=1\n", "PseudoRandomCode must be between 1 and 32."},
        {"[1]\nActive=1\n[2]\nActive=1\n[3]\nActive=1\nAzimuth=360\n", "Azimuth must be between 0 and 360."},
        {"[1]\nActive=1\n[2]\nActive=1\n[3]\nActive=1\nElevation=91\n", "Elevation must be between 0 and 90."},
    };
    for (const Case& c : cases) {
        g.ResetSatellites();
        Write(Path("bad.ini"), c.file);
        EXPECT_TRUE(ThrowsKovra([&] { g.LoadSatellitesFromFile(Name("bad.ini")); }, c.message)) << c.file;
        EXPECT_EQ(g.GetActiveSatellitesCount(), 2) << c.file;  // PRN 1 and 2; nothing of the bad section
    }
}

TEST_F(SatelliteFile, DuplicateSectionNamesApplyInFileOrder) {
    Write(Path("dup.ini"), "[5]\nElevation=10\n[05]\nElevation=20\n");
    g.LoadSatellitesFromFile(Name("dup.ini"));
    EXPECT_EQ(g.GetSatellitesList()[4]->Elevation(), 20);
}

TEST_F(SatelliteFile, AFileThatIsNotTextChangesNothing) {
    Write(Path("bin.ini"), std::string("[1]\nActive=1\n\0\0", 16));
    EXPECT_THROW(g.LoadSatellitesFromFile(Name("bin.ini")), EKovraNMEAException);
    EXPECT_EQ(g.GetActiveSatellitesCount(), 0);
}

}  // namespace
}  // namespace kovra
