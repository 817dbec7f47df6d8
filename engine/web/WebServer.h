// The live view served by the program itself: the page (embedded at build
// time, loading nothing from anywhere else), the state as JSON, a stream of
// Server-Sent Events, the sky plot, and the control. The run's thread
// publishes each update and takes the requests; it never waits for a client.
//
// What any client can do is bounded: requests must name this server (a
// page of another site reached through DNS rebinding is refused), each
// connection's headers and body have a size, the event streams a count,
// the control requests waiting for the next update merge into one, and a
// client that sends slowly holds only its own connection. Stopping closes
// every connection at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/Errors.h"
#include "engine/web/Hosts.h"
#include "engine/web/WebView.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace kovra::engine {

class WebServer {
public:
    // What the page shows of one vessel.
    struct Snapshot {
        ViewState state;
        std::string skyPlotSvg;
    };
    // One update as the pages may show it, each part built only when the
    // server asks for it: the vessels by their place in `vessels`.
    struct View {
        const std::vector<std::string>& vessels;  // the names of the vessels with a receiver, the first's first
        std::function<Snapshot(std::size_t vessel)> state;
        std::function<std::string_view(std::size_t vessel)> sentences;
        std::function<std::string()> world;  // every vessel and the events, as WorldJson gives them
    };

    // Listens on address:port (port 0 picks a free one); OutputError when it cannot.
    WebServer(const std::string& address, int port, bool readOnly, Notify notify = StandardErrorNotify());
    ~WebServer();  // closes every connection and joins the server's threads
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int Port() const { return port_; }
    // Whether hosts other than this one can reach the address listened on.
    bool OthersReach() const { return othersReach_; }
    // One update: the sentences of the vessels pages follow, kept while they
    // listen; the state of those vessels (and of the first) at most ten
    // times a second of wall time; the world once a second.
    void Publish(const View& view);
    // The requests that came since the last call, merged: one for each
    // vessel steered, in the order they came; empty when none came.
    std::vector<ControlRequest> TakeRequests();

    // Event streams at once; one more is answered 503.
    static constexpr int kMaxEventClients = 8;
    // Connections at once, the event streams among them.
    static constexpr int kMaxConnections = 64;
    // The largest control body accepted.
    static constexpr std::size_t kMaxBody = 64 * 1024;

private:
    struct Published {
        std::string json;
        std::string svg;
    };
    struct EventClient;
    struct Upload;
    struct StopDaemon {
        void operator()(MHD_Daemon* daemon) const;
    };
    friend struct WebServerCallbacks;  // the server library's entry points, in the source file

    // MHD_YES or MHD_NO, as the server library takes them.
    int Route(MHD_Connection* connection, std::string_view url, std::string_view method, const char* data,
              std::size_t* size, void** context);
    int Control(MHD_Connection* connection, Upload& upload);
    int StartEvents(MHD_Connection* connection, std::size_t vessel);
    // The vessel a request's "vessel" argument names (the first without one), or none.
    std::optional<std::size_t> VesselOf(MHD_Connection* connection);
    // The vessels whose state is built: the first, those followed, those asked for lately.
    std::vector<std::size_t> Shown(std::chrono::steady_clock::time_point now);
    int SendLatest(MHD_Connection* connection, std::string_view url, std::size_t vessel);
    // The next event for a client: waits for an update, at most 100 ms after
    // the last event, or a second for a keep-alive; none once stopping.
    std::optional<std::string> NextEvent(EventClient& client);

    bool readOnly_;
    std::string address_;
    std::string origin_;
    int port_ = 0;
    bool othersReach_ = true;
    mutable std::mutex lock_;
    std::condition_variable updated_;
    std::map<std::size_t, Published> latest_;  // by vessel
    std::vector<std::string> vessels_, waypoints_, routes_;
    std::string world_;
    std::uint64_t sequence_ = 0;       // updates published
    std::uint64_t worldSequence_ = 0;  // worlds built
    std::chrono::steady_clock::time_point lastState_{}, lastWorld_{};
    std::map<std::size_t, int> followers_;  // event streams by the vessel they follow
    std::map<std::size_t, std::chrono::steady_clock::time_point> asked_;  // vessels /state was asked for, and when
    // The sentences of the latest updates of the vessels followed, so that
    // a client gets every update's even when the state goes out only ten
    // times a second.
    struct Sentences {
        std::uint64_t sequence;
        std::size_t vessel;
        std::string nmea;
    };
    std::deque<Sentences> recent_;
    std::vector<ControlRequest> requests_;
    int eventClients_ = 0;
    bool stopping_ = false;
    std::unique_ptr<MHD_Daemon, StopDaemon> daemon_;  // last: stopped before anything it uses goes
};

}  // namespace kovra::engine
