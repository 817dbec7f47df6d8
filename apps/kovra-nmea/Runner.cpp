#include "Runner.h"

#include "AisOptions.h"


#include "Progress.h"
#include "Setup.h"
#include "engine/Simulator.h"
#include "engine/receiver/Classic.h"
#include "engine/receiver/UbxNav.h"
#include "files/DataFile.h"
#include "foundation/Text.h"

namespace kovra::app {

namespace {

using namespace engine;

template <typename Save>
void SaveOrFail(const std::optional<std::string>& file, Save save) {
    if (!file) {
        return;
    }
    try {
        save(FileNameFromUtf8(*file));
    } catch (const std::exception& e) {
        throw OutputError(e.what());
    }
}

// The GPS satellites of the nmea4 sky in the satellite table, which holds
// GPS PRNs 1 to 32 only, so that a saved file loads back as that sky.
void TakeGpsSatellites(const nmea4::Epoch& epoch, TKovraNMEAGenerator& gps) {
    gps.ResetSatellites();
    for (const nmea4::Satellite& s : epoch.satellites) {
        if (s.system == Gnss::Gps && s.number >= 1 && s.number <= 32) {
            gps.SetSatellite(static_cast<std::uint16_t>(s.number), true, s.elevation, s.azimuth, s.snr.value_or(0));
        }
    }
}

void SaveRequestedFiles(const Options& o, TKovraNMEAGenerator& gps,
                        const std::optional<RealisticSettings>& realistic) {
    // The nmea4 profile saves and draws the sky it computes for the first update.
    std::optional<nmea4::Epoch> first;
    if (realistic && (o.saveSatellites || o.skyplot)) {
        RealisticReceiver receiver(*realistic);
        const World world = WorldFrom(gps);
        (void)receiver.Update({world, world.vessels.front(), gps.GetUTCDateTime(), 0, false});
        first = receiver.LastEpoch();
    }
    SaveOrFail(o.saveSatellites, [&](const TFileName& name) {
        if (first) {
            TKovraNMEAGenerator table;
            TakeGpsSatellites(*first, table);
            table.SaveSatellitesToFile(name);
        } else {
            gps.SaveSatellitesToFile(name);
        }
    });
    SaveOrFail(o.saveWaypoints, [&](const TFileName& name) { gps.WayPoints().SaveToFile(name); });
    SaveOrFail(o.saveRoute, [&](const TFileName& name) { gps.Routes().ActiveRoute()->SaveToFile(name); });
    // The picture goes through the same all-or-nothing save as the data files.
    SaveOrFail(o.skyplot, [&](const TFileName& name) {
        const std::string svg = first ? SkyPlotOf(*first, o.skyplotRadius) : gps.SkyPlotSvg(o.skyplotRadius);
        ReplaceDataFile(ToPath(name), svg);
    });
}

bool HasWayPoints(const TWayPoints& list) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list.GetItem(i) != nullptr) {
            return true;
        }
    }
    return false;
}

// Saving an empty list would remove the user's file: refused before anything
// is opened or written, and the file stays as it was.
void RequireSomethingToSave(const Options& o, const TKovraNMEAGenerator& gps) {
    if (o.saveWaypoints && !HasWayPoints(gps.WayPoints())) {
        throw UsageError("--save-waypoints: there are no waypoints to save; '" + *o.saveWaypoints +
                         "' is left as it is");
    }
    if (o.saveRoute && gps.Routes().ActiveRoute() == nullptr) {
        throw UsageError("--save-route: there is no active route to save; '" + *o.saveRoute + "' is left as it is");
    }
}

// What the engine makes of an option's value; a value it refuses is told
// with the option's name.
template <typename Make>
auto Made(const std::string& option, Make make) {
    try {
        return make();
    } catch (const UsageError& e) {
        throw UsageError(option + ": " + e.what());
    }
}

// A kind list as outputs name its kinds: a NAV message by its class and id.
std::vector<std::string> OutputKinds(const std::vector<std::string>& kinds) {
    std::vector<std::string> named;
    for (const std::string& kind : kinds) {
        const engine::ubx::UbxMessage* nav = engine::ubx::FindUbxMessage(kind);
        named.push_back(nav != nullptr && nav->append != nullptr ? UbxKindOf(nav->messageClass, nav->id) : kind);
    }
    return named;
}

// Every output carries its own sentence list, or the run's --sentences
// when more kinds are generated for the others.
Outputs OpenOutputs(const Options& o, TKovraNMEAGenerator& gps, Stop& stop, const Notify& notify) {
    Outputs outputs;
    const auto add = [&](std::unique_ptr<Output> output, const std::optional<std::vector<std::string>>& kinds,
                         std::string label) {
        const std::vector<std::string>& list = kinds ? *kinds : o.runKinds;
        if (list.size() != o.generatedKinds.size()) {
            output = Filtered(std::move(output), OutputKinds(list), OutputKinds(o.generatedKinds));
        }
        output->label = std::move(label);
        outputs.push_back(std::move(output));
    };
    if (o.port) {
        add(OpenSerialPort(gps, *o.port, o.baud, o.threaded, stop, notify), o.portKinds, "port " + *o.port);
    }
    if (o.pty) {
        add(OpenPseudoTerminal(o.ptyLink, notify), o.ptyKinds, "pty " + o.ptyLink.value_or(""));
    }
    for (const Options::Destination& d : o.tcp) {
        const int port = std::stoi(d.target);  // checked with the options
        add(Made("--bind", [&] { return OpenTcpServer(port, o.bind, o.tcpMaxClients, o.tcpIdle, notify); }), d.kinds,
            "tcp " + d.target);
    }
    for (const Options::Destination& d : o.udp) {
        add(Made("--udp", [&] { return OpenUdpSender(d.target, {.batch = o.udpBatch, .ttl = o.udpTtl}, notify); }),
            d.kinds,
            "udp " + d.target);
    }
    for (const Options::Destination& d : o.udpBroadcast) {
        add(Made("--udp-broadcast",
                 [&] {
                     return OpenUdpSender(d.target, {.batch = o.udpBatch, .ttl = o.udpTtl, .broadcast = true}, notify);
                 }),
            d.kinds, "udp-broadcast " + d.target);
    }
    for (const Options::Destination& d : o.tcpConnect) {
        add(Made("--tcp-connect", [&] { return OpenTcpClient(d.target, o.verbose, notify); }), d.kinds, "tcp-connect " + d.target);
    }
    if (!o.HasOutputs()) {
        add(OpenStandardOutput(stop), std::nullopt, "stdout");
    }
    if (o.listenUdp) {
        const std::string where = o.listenUdp->find(':') == std::string::npos ? "127.0.0.1:" + *o.listenUdp : *o.listenUdp;
        add(Made("--listen-udp", [&] { return OpenUdpListener(where, notify); }), std::nullopt, "listen-udp " + where);
    }
    return outputs;
}

void OpenOutputs(const Options& o, Simulator& simulator, Stop& stop) {
    for (std::unique_ptr<Output>& output : OpenOutputs(o, simulator.Receiver(), stop, StandardErrorNotify())) {
        simulator.AddOutput(std::move(output));
    }
}


// The notices of the further vessels' outputs ("sending NMEA to …", an
// unreachable port): the first few are told and the rest counted, told as
// one line when the last output goes, so that a fleet of thousands does not
// bury the run's own notices; -v tells every one.
class FewNotices {
public:
    static constexpr int kTold = 3;

    static Notify Make(bool all) {
        if (all) {
            return StandardErrorNotify();
        }
        auto notices = std::make_shared<FewNotices>();
        return [notices](const std::string& line) { notices->Tell(line); };
    }
    ~FewNotices() {
        if (held_ > 0) {
            notify_(std::to_string(held_) + " more notices of the other vessels' outputs were not shown (-v shows them)");
        }
    }
    void Tell(const std::string& line) {
        if (told_ < kTold) {
            ++told_;
            notify_(line);
        } else if (held_++ == 0) {
            notify_("more notices of the other vessels' outputs are counted, not shown (-v shows them)");
        }
    }

private:
    Notify notify_ = StandardErrorNotify();
    int told_ = 0;
    std::uint64_t held_ = 0;
};

// The scenario's further vessels, each with its receiver and outputs. A
// vessel's generator lives only while it is set up, unless its serial port
// writes through it: a generator brings a sender thread of its own, and a
// fleet of thousands would bring thousands.
void AddFurtherVessels(const Options& o, Simulator& simulator, Stop& stop) {
    const Notify notify = FewNotices::Make(o.verbose);
    for (std::size_t i = 0; i < o.moreVessels.size(); ++i) {
        const Options& vessel = o.moreVessels[i];
        auto state = std::make_unique<TKovraNMEAGenerator>();
        Scenario scenario = BuildScenario(vessel, *state);
        // A vessel with an AIS station and no outputs is an AIS target only.
        const std::optional<AisGiven> ais = vessel.ais ? std::optional(ParseAis(*vessel.ais, false)) : std::nullopt;
        const bool receiver = !ais || vessel.HasOutputs();
        Outputs outputs = receiver ? OpenOutputs(vessel, *state, stop, notify) : Outputs{};
        ClassicStart start = ClassicStartOf(*state);
        if (!vessel.port) {
            state.reset();
        }
        std::optional<engine::ais::CrossingRule> crossing = ais ? ais->crossing : std::nullopt;
        if (crossing && crossing->knots <= 0) {
            crossing->knots = vessel.speed.value_or(0);  // its own speed, checked above 0 with its options
        }
        simulator.AddDevice({.name = vessel.name,
                             .start = std::move(start),
                             .plan = std::move(scenario.plan),
                             .realistic = std::move(scenario.receiver),
                             .faults = std::move(scenario.faults),
                             .track = std::move(scenario.track),
                             .outputs = std::move(outputs),
                             .line = std::move(state),
                             .ais = ais ? std::optional(ais->identity) : std::nullopt,
                             .crossing = crossing,
                             .receiver = receiver});
    }
}

// The live view steers the run: on an address other hosts reach, anyone
// there may steer it.
std::unique_ptr<WebServer> ServeLiveView(const Options& o) {
    auto server = std::make_unique<WebServer>(o.httpAddress, o.httpPort, o.httpReadOnly);
    if (!o.httpReadOnly && server->OthersReach()) {
        StandardErrorNotify()("warning: --http " + o.httpAddress +
                              " lets every host that reaches this address steer the simulator; "
                              "add --http-read-only to let them only watch");
    }
    return server;
}

// The engine's notices about what an option gave, with the option's name:
// "warning: --record-gpx: cannot write …".
Notify OptionNotify(const std::string& option) {
    return [option, notify = StandardErrorNotify()](const std::string& line) {
        constexpr std::string_view kWarning = "warning: ";
        if (line.starts_with(kWarning)) {
            notify(std::string(kWarning) + option + ": " + line.substr(kWarning.size()));
        } else {
            notify(option + ": " + line);
        }
    };
}

// The pacing, with a progress bar unless status lines would cut through it.
RunSettings Paced(RunSettings settings) {
    if (!settings.verbose) {
        settings.progress = TerminalProgressBar();
    }
    return settings;
}

// The scenario handed to the simulator.
void Load(Simulator& simulator, Scenario scenario) {
    simulator.Motion() = scenario.plan;
    if (scenario.track) {
        simulator.UseTrack(std::move(*scenario.track), scenario.plan.loop);
    }
    if (scenario.receiver) {
        simulator.UseRealisticOutput(std::move(*scenario.receiver));
    }
    if (scenario.faults) {
        simulator.UseFaults(std::move(*scenario.faults));
    }
    for (engine::Event& event : scenario.events) {
        simulator.Schedule(std::move(event));
    }
}

}  // namespace

int Run(const Options& o, Stop& stop) {
    Simulator simulator;
    if (o.replay) {
        // A log that cannot be read is refused before any output opens.
        const std::unique_ptr<NmeaLog> log =
            Made("--replay", [&] { return std::make_unique<NmeaLog>(*o.replay, o.replayCheck); });
        if (HasFaults(o)) {
            simulator.UseFaults(FaultsFrom(o));
        }
        OpenOutputs(o, simulator, stop);
        simulator.Replay(*log, o.loop, Paced(RunSettingsFrom(o)), stop);
        return 0;
    }
    TKovraNMEAGenerator& gps = simulator.Receiver();
    Scenario scenario = BuildScenario(o, gps);
    const RunSettings run = Paced(scenario.run);
    const std::optional<engine::RealisticSettings> receiver = scenario.receiver;
    Load(simulator, std::move(scenario));
    RequireSomethingToSave(o, gps);
    if (stop.Requested()) {
        return 0;  // a signal during the loads: nothing opened, nothing written
    }
    // Every port, output and input first; only then is anything saved, so
    // that a run refused at its start leaves every file as it was.
    OpenOutputs(o, simulator, stop);
    if (o.ais) {
        simulator.UseOwnShipAis(ParseAis(*o.ais, false).identity);
    }
    AddFurtherVessels(o, simulator, stop);
    if (o.http) {
        simulator.ServeWebView(ServeLiveView(o));
    }
    SaveRequestedFiles(o, gps, receiver);
    if (o.recordGpx) {
        try {
            simulator.RecordGpx(ToPath(FileNameFromUtf8(*o.recordGpx)), OptionNotify("--record-gpx"));
        } catch (const OutputError& e) {
            throw OutputError(std::string("--record-gpx: ") + e.what());
        }
    }
    if (o.truth) {
        try {
            simulator.RecordTruth(ToPath(FileNameFromUtf8(*o.truth)), OptionNotify("--truth"));
        } catch (const OutputError& e) {
            throw OutputError(std::string("--truth: ") + e.what());
        }
    }
    simulator.Run(run, stop);
    return 0;
}

}  // namespace kovra::app
