#include "engine/WebServer.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>

#include "engine/WebAssets.h"

namespace kovra::engine {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kEventInterval = std::chrono::milliseconds(100);  // at most 10 events a second
constexpr auto kKeepAlive = std::chrono::seconds(1);
constexpr auto kWriteTimeout = std::chrono::seconds(2);  // a client that does not read is dropped after it
constexpr std::size_t kRecentUpdates = 256;              // the sentences kept for the clients

void Reply(httplib::Response& response, int status, const std::string& error) {
    response.status = status;
    response.set_content(nlohmann::json{{"error", error}}.dump(), "application/json");
}

// "data:" lines of an event, one for each line of the text.
std::string EventData(const std::string& text) {
    std::string data;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        data += "data: " + line + "\n";
        start = end + 1;
    }
    return data;
}

}  // namespace

WebServer::WebServer(const std::string& address, int port, bool readOnly, Notify notify)
    : server_(std::make_unique<httplib::Server>()), readOnly_(readOnly) {
    server_->set_write_timeout(kWriteTimeout);
    server_->set_read_timeout(std::chrono::seconds(5));
    server_->set_payload_max_length(64 * 1024);
    Routes();
    port_ = port == 0 ? server_->bind_to_any_port(address) : (server_->bind_to_port(address, port) ? port : -1);
    if (port_ <= 0) {
        throw OutputError("cannot serve the live view on " + address + ":" + std::to_string(port));
    }
    const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    origin_ = "http://" + host + ":" + std::to_string(port_);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    notify("live view on " + origin_ + "/" + (readOnly_ ? " (read only)" : ""));
}

WebServer::~WebServer() {
    {
        const std::lock_guard lock(lock_);
        stopping_ = true;
    }
    updated_.notify_all();
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WebServer::Publish(const ViewState& state, std::string nmea, std::string skyPlotSvg) {
    Published next;
    next.json = StateJson(state);
    next.nmea = std::move(nmea);
    next.svg = std::move(skyPlotSvg);
    for (const ViewWayPoint& w : state.waypoints) {
        next.waypoints.push_back(w.name);
    }
    next.routes = state.routes;
    {
        const std::lock_guard lock(lock_);
        next.sequence = latest_.sequence + 1;
        recent_.emplace_back(next.sequence, next.nmea);
        if (recent_.size() > kRecentUpdates) {
            recent_.pop_front();
        }
        latest_ = std::move(next);
    }
    updated_.notify_all();
}

std::vector<ControlRequest> WebServer::TakeRequests() {
    const std::lock_guard lock(lock_);
    return std::exchange(requests_, {});
}

WebServer::Published WebServer::Latest() const {
    const std::lock_guard lock(lock_);
    return latest_;
}

void WebServer::Routes() {
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(web::kIndexHtml), "text/html; charset=utf-8");
    });
    server_->Get("/app.js", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(web::kAppJs), "text/javascript; charset=utf-8");
    });
    server_->Get("/style.css", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(web::kStyleCss), "text/css; charset=utf-8");
    });
    server_->Get("/state", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_content(Latest().json, "application/json");
    });
    server_->Get("/skyplot.svg", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_content(Latest().svg, "image/svg+xml");
    });
    server_->Get("/events", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        // From the update now on: a new client is not sent the ones before it.
        const std::uint64_t now = Latest().sequence;
        auto seen = std::make_shared<std::uint64_t>(now > 0 ? now - 1 : 0);
        auto lastSent = std::make_shared<Clock::time_point>();
        response.set_chunked_content_provider("text/event-stream", [this, seen, lastSent](std::size_t, httplib::DataSink& sink) {
            // Waits for an update newer than the last sent, no sooner than
            // 100 ms after it; a comment now and then finds closed clients.
            std::unique_lock lock(lock_);
            updated_.wait_until(lock, std::max(Clock::now(), *lastSent + kEventInterval), [this] { return stopping_; });
            const bool fresh = updated_.wait_for(lock, kKeepAlive, [&] { return stopping_ || latest_.sequence > *seen; });
            if (stopping_) {
                return false;
            }
            std::string event = ":\n\n";
            if (fresh) {
                // The state as it is now, and the sentences of every update since the last event.
                event = "data: " + latest_.json + "\n\n";
                for (const auto& [sequence, nmea] : recent_) {
                    if (sequence > *seen) {
                        event += "event: nmea\n" + EventData(nmea) + "\n";
                    }
                }
                *seen = latest_.sequence;
            }
            lock.unlock();
            *lastSent = Clock::now();
            return sink.write(event.data(), event.size());  // false (a client gone or not reading) ends it
        });
    });
    server_->Post("/control", [this](const httplib::Request& request, httplib::Response& response) {
        if (readOnly_) {
            Reply(response, 403, "control is off (--http-read-only)");
            return;
        }
        // Another site must not steer the simulator from a user's browser.
        if (request.has_header("Origin")) {
            const std::string origin = request.get_header_value("Origin");
            const std::string own = "http://" + request.get_header_value("Host");
            if (origin != own && origin != origin_) {
                Reply(response, 403, "requests from " + origin + " are not accepted");
                return;
            }
        }
        const Published latest = Latest();
        auto parsed = ParseControl(request.body, latest.waypoints, latest.routes);
        if (const std::string* error = std::get_if<std::string>(&parsed)) {
            Reply(response, 400, *error);
            return;
        }
        {
            const std::lock_guard lock(lock_);
            requests_.push_back(std::get<ControlRequest>(std::move(parsed)));
        }
        response.set_content("{\"accepted\": true}", "application/json");
    });
}

}  // namespace kovra::engine
