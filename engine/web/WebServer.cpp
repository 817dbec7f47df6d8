#include "engine/web/WebServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <microhttpd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "engine/web/WebAssets.h"

#include "foundation/Names.h"

namespace kovra::engine {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kEventInterval = std::chrono::milliseconds(100);  // at most 10 events a second
constexpr auto kStateInterval = std::chrono::milliseconds(100);  // the state built at most 10 times a second
constexpr auto kWorldInterval = std::chrono::seconds(1);  // every vessel, at most once a second
constexpr auto kAskedFor = std::chrono::seconds(10);      // a vessel asked for by /state is built this long
constexpr auto kFirstState = std::chrono::seconds(2);     // the longest /state waits for a vessel's first
constexpr auto kKeepAlive = std::chrono::seconds(1);
constexpr unsigned kIdleTimeout = 5;                 // seconds a connection may neither send nor take anything
constexpr std::size_t kConnectionMemory = 32 * 1024;  // a connection's request line and headers
constexpr std::size_t kEventBlock = 64 * 1024;
constexpr std::size_t kRecentUpdates = 256;  // the sentences kept for the clients

using Response = std::unique_ptr<MHD_Response, decltype(&MHD_destroy_response)>;

int Queue(MHD_Connection* connection, unsigned status, Response response) {
    return response ? MHD_queue_response(connection, status, response.get()) : MHD_NO;
}

using Headers = std::initializer_list<std::pair<const char*, const char*>>;

int Send(MHD_Connection* connection, unsigned status, std::string_view body, const char* type, Headers more = {}) {
    Response response(MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                      MHD_RESPMEM_MUST_COPY),
                      &MHD_destroy_response);
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, type);
        for (const auto& [name, value] : more) {
            MHD_add_response_header(response.get(), name, value);
        }
    }
    return Queue(connection, status, std::move(response));
}

int Refuse(MHD_Connection* connection, unsigned status, const std::string& error, Headers more = {}) {
    return Send(connection, status, nlohmann::json{{"error", error}}.dump(), "application/json", more);
}

std::string_view Header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

// "data:" lines of an event, one for each line of the text.
std::string EventData(std::string_view text) {
    std::string data;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        data.append("data: ").append(line).append("\n");
        start = end + 1;
    }
    return data;
}

// The socket address to listen on: a literal or a name of this machine.
std::optional<sockaddr_storage> ListenAddress(const std::string& address, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
    sockaddr_storage socket{};
    std::memcpy(&socket, found->ai_addr, std::min<std::size_t>(found->ai_addrlen, sizeof socket));
    const auto network = htons(static_cast<std::uint16_t>(port));
    if (socket.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&socket)->sin6_port = network;
    } else {
        reinterpret_cast<sockaddr_in*>(&socket)->sin_port = network;
    }
    return socket;
}

}  // namespace

// One request's body, gathered until it is whole.
struct WebServer::Upload {
    std::string body;
};

// One /events stream: what it has been sent, and the event it is sending.
struct WebServer::EventClient {
    EventClient(WebServer& owner, std::uint64_t first, std::size_t followed)
        : server(owner), seen(first), vessel(followed) {}

    WebServer& server;
    std::uint64_t seen;
    std::size_t vessel;  // the vessel it follows
    std::uint64_t worldSeen = 0;
    Clock::time_point lastSent{};
    std::string pending;
    std::size_t offset = 0;
};

// The server library calls these, with the server or a client as `self`.
struct WebServerCallbacks {
    static MHD_Result Handle(void* self, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* data, std::size_t* size, void** context) {
        return static_cast<MHD_Result>(static_cast<WebServer*>(self)->Route(connection, url, method, data, size, context));
    }
    static void Completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        std::unique_ptr<WebServer::Upload>(static_cast<WebServer::Upload*>(*context)).reset();
        *context = nullptr;
    }
    static ssize_t ReadEvent(void* self, std::uint64_t, char* buffer, std::size_t max) {
        auto& client = *static_cast<WebServer::EventClient*>(self);
        if (client.offset == client.pending.size()) {
            std::optional<std::string> next = client.server.NextEvent(client);
            if (!next) {
                return MHD_CONTENT_READER_END_OF_STREAM;
            }
            client.pending = std::move(*next);
            client.offset = 0;
        }
        const std::size_t count = std::min(max, client.pending.size() - client.offset);
        std::memcpy(buffer, client.pending.data() + client.offset, count);
        client.offset += count;
        return static_cast<ssize_t>(count);
    }
    static void EndEvents(void* self) {
        const std::unique_ptr<WebServer::EventClient> client(static_cast<WebServer::EventClient*>(self));
        const std::lock_guard lock(client->server.lock_);
        --client->server.eventClients_;
        if (--client->server.followers_[client->vessel] == 0) {
            client->server.followers_.erase(client->vessel);
        }
    }
};

void WebServer::StopDaemon::operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }

WebServer::WebServer(const std::string& address, int port, bool readOnly, Notify notify)
    : readOnly_(readOnly), address_(address) {
    const std::string where = address + ":" + std::to_string(port);
    const std::optional<sockaddr_storage> socket = ListenAddress(address, port);
    if (!socket) {
        throw OutputError("cannot serve the live view on " + where + ": no such address");
    }
    // A thread per connection: a client that sends slowly or never reads
    // holds its own thread only, and stopping shuts every socket down.
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC;
    if (socket->ss_family == AF_INET6) {
        flags |= MHD_USE_IPv6;
    }
    daemon_.reset(MHD_start_daemon(
        flags, static_cast<std::uint16_t>(port), nullptr, nullptr, &WebServerCallbacks::Handle, this,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<const sockaddr*>(&*socket), MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(kMaxConnections), MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeout,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_NOTIFY_COMPLETED,
        &WebServerCallbacks::Completed, this, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END));
    if (!daemon_) {
        throw OutputError("cannot serve the live view on " + where + ": " +
                          (errno != 0 ? std::strerror(errno) : "the address cannot be listened on"));
    }
    char numeric[NI_MAXHOST] = "";
    othersReach_ = ::getnameinfo(reinterpret_cast<const sockaddr*>(&*socket), sizeof *socket, numeric, sizeof numeric,
                                 nullptr, 0, NI_NUMERICHOST) != 0 ||
                   !IsLoopback(numeric);
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_BIND_PORT);
    port_ = info != nullptr && info->port != 0 ? info->port : port;
    const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    origin_ = "http://" + host + ":" + std::to_string(port_);
    notify("live view on " + origin_ + "/" + (readOnly_ ? " (read only)" : ""));
}

WebServer::~WebServer() {
    {
        const std::lock_guard lock(lock_);
        stopping_ = true;
    }
    updated_.notify_all();  // every event stream ends
    daemon_.reset();
}

std::vector<std::size_t> WebServer::Shown(Clock::time_point now) {
    std::erase_if(asked_, [&](const auto& asked) { return now - asked.second > kAskedFor; });
    std::vector<std::size_t> shown{0};
    for (const auto& [vessel, count] : followers_) {
        shown.push_back(vessel);
    }
    for (const auto& [vessel, when] : asked_) {
        shown.push_back(vessel);
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    return shown;
}

void WebServer::Publish(const View& view) {
    const Clock::time_point now = Clock::now();
    bool buildState = false, buildWorld = false;
    std::vector<std::size_t> shown, followed;
    {
        const std::lock_guard lock(lock_);
        buildState = sequence_ == 0 || now - lastState_ >= kStateInterval;
        buildWorld = worldSequence_ == 0 || now - lastWorld_ >= kWorldInterval;
        shown = Shown(now);
        for (const auto& [vessel, count] : followers_) {
            followed.push_back(vessel);
        }
    }
    std::map<std::size_t, Published> next;
    std::vector<std::string> waypoints, routes;
    if (buildState) {
        for (const std::size_t vessel : shown) {
            if (vessel >= view.vessels.size()) {
                continue;
            }
            Snapshot s = view.state(vessel);
            next[vessel] = {StateJson(s.state), std::move(s.skyPlotSvg)};
            if (vessel == 0) {  // the world's waypoints and routes, as every vessel has them
                for (const ViewWayPoint& w : s.state.waypoints) {
                    waypoints.push_back(w.name);
                }
                routes = std::move(s.state.routes);
            }
        }
    }
    std::string world = buildWorld ? view.world() : std::string();
    {
        const std::lock_guard lock(lock_);
        ++sequence_;
        for (const std::size_t vessel : followed) {
            if (vessel < view.vessels.size()) {
                recent_.push_back({sequence_, vessel, std::string(view.sentences(vessel))});
            }
        }
        while (recent_.size() > kRecentUpdates * std::max<std::size_t>(1, followed.size())) {
            recent_.pop_front();
        }
        if (buildState) {
            latest_ = std::move(next);
            waypoints_ = std::move(waypoints);
            routes_ = std::move(routes);
            lastState_ = now;
        }
        if (buildWorld) {
            world_ = std::move(world);
            ++worldSequence_;
            lastWorld_ = now;
        }
        if (vessels_.size() != view.vessels.size()) {
            vessels_ = view.vessels;
        }
    }
    updated_.notify_all();
}

std::vector<ControlRequest> WebServer::TakeRequests() {
    const std::lock_guard lock(lock_);
    return std::exchange(requests_, {});
}

std::optional<std::size_t> WebServer::VesselOf(MHD_Connection* connection) {
    const char* name = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "vessel");
    if (name == nullptr) {
        return 0;
    }
    const std::lock_guard lock(lock_);
    const auto found = std::find(vessels_.begin(), vessels_.end(), std::string_view(name));
    return found == vessels_.end() ? std::nullopt : std::optional(static_cast<std::size_t>(found - vessels_.begin()));
}

// A vessel no page follows is built from the next update on, for a while:
// its first state is waited for, within a bound.
int WebServer::SendLatest(MHD_Connection* connection, std::string_view url, std::size_t vessel) {
    std::string body;
    {
        std::unique_lock lock(lock_);
        asked_[vessel] = Clock::now();
        (void)updated_.wait_for(lock, kFirstState, [&] { return stopping_ || latest_.contains(vessel); });
        if (const auto found = latest_.find(vessel); found != latest_.end()) {
            body = url == "/state" ? found->second.json : found->second.svg;
        }
    }
    if (body.empty()) {
        return Refuse(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "no update of that vessel yet",
                      {{MHD_HTTP_HEADER_RETRY_AFTER, "1"}});
    }
    return Send(connection, MHD_HTTP_OK, body, url == "/state" ? "application/json" : "image/svg+xml",
                {{MHD_HTTP_HEADER_CACHE_CONTROL, "no-store"}});
}

int WebServer::Route(MHD_Connection* connection, std::string_view url, std::string_view method, const char* data,
                     std::size_t* size, void** context) {
    if (*context != nullptr) {  // more of a control body, or its end
        auto& upload = *static_cast<Upload*>(*context);
        if (*size == 0) {
            return Control(connection, upload);
        }
        if (upload.body.size() + *size > kMaxBody) {
            return MHD_NO;  // no answer can be queued midway: the connection is closed
        }
        upload.body.append(data, *size);
        *size = 0;
        return MHD_YES;
    }
    // A page of another site, reached through a name that now points here, is refused.
    const std::string_view host = Header(connection, MHD_HTTP_HEADER_HOST);
    if (!AcceptableHost(host, address_)) {
        return Refuse(connection, MHD_HTTP_MISDIRECTED_REQUEST,
                      "this server answers only to its own address, localhost or an IP address");
    }
    if (url == "/control") {
        if (method != MHD_HTTP_METHOD_POST) {
            return Refuse(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "/control takes POST");
        }
        if (readOnly_) {
            return Refuse(connection, MHD_HTTP_FORBIDDEN, "control is off: this live view is read-only");
        }
        // Another site must not steer the simulator from a user's browser.
        if (const std::string_view origin = Header(connection, "Origin"); !origin.empty()) {
            if (origin != "http://" + std::string(host) && origin != origin_) {
                return Refuse(connection, MHD_HTTP_FORBIDDEN,
                              "requests from " + std::string(origin) + " are not accepted");
            }
        }
        if (const std::string_view encoding = Header(connection, MHD_HTTP_HEADER_CONTENT_ENCODING);
            !encoding.empty() && NameKey(encoding) != "IDENTITY") {
            return Refuse(connection, MHD_HTTP_UNSUPPORTED_MEDIA_TYPE, "a control body is plain JSON, not encoded");
        }
        const std::string_view length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
        std::size_t declared = 0;
        if (!length.empty() && (std::from_chars(length.data(), length.data() + length.size(), declared).ec !=
                                    std::errc() ||
                                declared > kMaxBody)) {
            return Refuse(connection, MHD_HTTP_CONTENT_TOO_LARGE,
                          "a control body has at most " + std::to_string(kMaxBody) + " bytes");
        }
        *context = std::make_unique<Upload>().release();  // the request's own, until Completed
        return MHD_YES;
    }
    if (method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_HEAD) {
        return Refuse(connection, MHD_HTTP_METHOD_NOT_ALLOWED, std::string(url) + " takes GET");
    }
    if (url == "/") {
        return Send(connection, MHD_HTTP_OK, web::kIndexHtml, "text/html; charset=utf-8");
    }
    if (url == "/app.js") {
        return Send(connection, MHD_HTTP_OK, web::kAppJs, "text/javascript; charset=utf-8");
    }
    if (url == "/style.css") {
        return Send(connection, MHD_HTTP_OK, web::kStyleCss, "text/css; charset=utf-8");
    }
    if (url == "/world") {
        std::string body;
        {
            const std::lock_guard lock(lock_);
            body = world_;
        }
        return Send(connection, MHD_HTTP_OK, body, "application/json", {{MHD_HTTP_HEADER_CACHE_CONTROL, "no-store"}});
    }
    if (url == "/state" || url == "/skyplot.svg" || url == "/events") {
        const std::optional<std::size_t> vessel = VesselOf(connection);
        if (!vessel) {
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "the run has no vessel of that name");
        }
        return url == "/events" ? StartEvents(connection, *vessel) : SendLatest(connection, url, *vessel);
    }
    return Refuse(connection, MHD_HTTP_NOT_FOUND, "no such page: " + std::string(url));
}

int WebServer::Control(MHD_Connection* connection, Upload& upload) {
    std::vector<std::string> waypoints, routes, vessels;
    {
        const std::lock_guard lock(lock_);
        waypoints = waypoints_;
        routes = routes_;
        vessels = vessels_;
    }
    auto parsed = ParseControl(upload.body, waypoints, routes, vessels);
    if (const std::string* error = std::get_if<std::string>(&parsed)) {
        return Refuse(connection, MHD_HTTP_BAD_REQUEST, *error);
    }
    {
        // Waiting requests merge: however many come before the next update,
        // one is kept for each vessel.
        const std::lock_guard lock(lock_);
        const ControlRequest& request = std::get<ControlRequest>(parsed);
        if (std::none_of(requests_.begin(), requests_.end(), [&](ControlRequest& r) { return Merge(r, request); })) {
            requests_.push_back(request);
        }
    }
    return Send(connection, MHD_HTTP_OK, "{\"accepted\": true}", "application/json");
}

int WebServer::StartEvents(MHD_Connection* connection, std::size_t vessel) {
    std::unique_ptr<EventClient> client;
    {
        const std::lock_guard lock(lock_);
        if (eventClients_ < kMaxEventClients) {
            ++eventClients_;
            ++followers_[vessel];
            // From the update now on: a new client is not sent the ones before it.
            client = std::make_unique<EventClient>(*this, sequence_ > 0 ? sequence_ - 1 : 0, vessel);
        }
    }
    if (!client) {
        return Refuse(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                      "already " + std::to_string(kMaxEventClients) + " event streams; close one",
                      {{MHD_HTTP_HEADER_RETRY_AFTER, "5"}});
    }
    Response stream(MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kEventBlock, &WebServerCallbacks::ReadEvent,
                                                      client.get(), &WebServerCallbacks::EndEvents),
                    &MHD_destroy_response);
    if (!stream) {
        const std::lock_guard lock(lock_);
        --eventClients_;
        if (--followers_[vessel] == 0) {
            followers_.erase(vessel);
        }
        return MHD_NO;
    }
    (void)client.release();  // the stream ends it, in EndEvents
    MHD_add_response_header(stream.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
    MHD_add_response_header(stream.get(), MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    return Queue(connection, MHD_HTTP_OK, std::move(stream));
}

std::optional<std::string> WebServer::NextEvent(EventClient& client) {
    std::unique_lock lock(lock_);
    updated_.wait_until(lock, std::max(Clock::now(), client.lastSent + kEventInterval), [this] { return stopping_; });
    const bool fresh = updated_.wait_for(lock, kKeepAlive, [&] { return stopping_ || sequence_ > client.seen; });
    if (stopping_) {
        return std::nullopt;
    }
    std::string event = ":\n\n";  // a comment now and then finds closed clients
    if (fresh) {
        // The state as it is now, the sentences of every update since the
        // last event, and the world when it is new.
        event.clear();
        if (const auto state = latest_.find(client.vessel); state != latest_.end()) {
            event = "data: " + state->second.json + "\n\n";
        }
        for (const Sentences& s : recent_) {
            if (s.sequence > client.seen && s.vessel == client.vessel) {
                event += "event: nmea\n" + EventData(s.nmea) + "\n";
            }
        }
        if (client.worldSeen < worldSequence_ && !world_.empty()) {
            event += "event: world\ndata: " + world_ + "\n\n";
            client.worldSeen = worldSequence_;
        }
        client.seen = sequence_;
        if (event.empty()) {
            event = ":\n\n";
        }
    }
    lock.unlock();
    client.lastSent = Clock::now();
    return event;
}

}  // namespace kovra::engine
