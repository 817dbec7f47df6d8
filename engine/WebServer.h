// The live view served by the program itself: the page (embedded at build
// time, loading nothing from anywhere else), the state as JSON, a stream of
// Server-Sent Events, the sky plot, and the control. The run's thread
// publishes each update and takes the requests; it never waits for a client.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/Errors.h"
#include "engine/WebView.h"

namespace httplib {
class Server;
}

namespace kovra::engine {

class WebServer {
public:
    // Listens on address:port (port 0 picks a free one); OutputError when it cannot.
    WebServer(const std::string& address, int port, bool readOnly, Notify notify = StandardErrorNotify());
    ~WebServer();  // stops the server and joins its threads
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int Port() const { return port_; }
    // One update: its state, its sentences and its sky plot.
    void Publish(const ViewState& state, std::string nmea, std::string skyPlotSvg);
    // The requests that came since the last call, in order.
    std::vector<ControlRequest> TakeRequests();

private:
    struct Published {
        std::string json;
        std::string nmea;
        std::string svg;
        std::vector<std::string> waypoints;
        std::vector<std::string> routes;
        std::uint64_t sequence = 0;
    };
    Published Latest() const;
    void Routes();

    std::unique_ptr<httplib::Server> server_;
    bool readOnly_;
    int port_ = 0;
    std::string origin_;
    mutable std::mutex lock_;
    std::condition_variable updated_;
    Published latest_;
    // The sentences of the latest updates, so that a client gets every
    // update's even when the state goes out only ten times a second.
    std::deque<std::pair<std::uint64_t, std::string>> recent_;
    std::vector<ControlRequest> requests_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kovra::engine
