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
    // What the page shows of one update, built only when the server asks for it.
    struct Snapshot {
        ViewState state;
        std::string skyPlotSvg;
    };

    // Listens on address:port (port 0 picks a free one); OutputError when it cannot.
    WebServer(const std::string& address, int port, bool readOnly, Notify notify = StandardErrorNotify());
    ~WebServer();  // closes every connection and joins the server's threads
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int Port() const { return port_; }
    // Whether hosts other than this one can reach the address listened on.
    bool OthersReach() const { return othersReach_; }
    // One update: its sentences, kept while a page listens, and its state,
    // built from `snapshot` at most ten times a second of wall time.
    void Publish(std::string_view nmea, const std::function<Snapshot()>& snapshot);
    // The requests that came since the last call, merged; none when none came.
    std::optional<ControlRequest> TakeRequests();

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
        std::vector<std::string> waypoints;
        std::vector<std::string> routes;
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
    int StartEvents(MHD_Connection* connection);
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
    Published latest_;
    std::uint64_t sequence_ = 0;  // updates published
    std::chrono::steady_clock::time_point lastState_{};
    // The sentences of the latest updates, so that a client gets every
    // update's even when the state goes out only ten times a second.
    std::deque<std::pair<std::uint64_t, std::string>> recent_;
    std::optional<ControlRequest> requests_;
    int eventClients_ = 0;
    bool stopping_ = false;
    std::unique_ptr<MHD_Daemon, StopDaemon> daemon_;  // last: stopped before anything it uses goes
};

}  // namespace kovra::engine
