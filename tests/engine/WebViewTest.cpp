// The live view's pure parts: control bodies checked field by field before
// anything changes, the state as JSON whatever the names hold, the hosts
// answered, and the server keeping one request for the next update.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdlib>

#include "engine/web/WebServer.h"
#include "engine/web/WebView.h"

namespace kovra::engine {
namespace {

const std::vector<std::string> kWayPoints = {"HARBOUR", "BUOY"};
const std::vector<std::string> kRoutes = {"DEPART"};

std::string ErrorOf(std::string_view body) {
    const auto parsed = ParseControl(body, kWayPoints, kRoutes);
    const std::string* error = std::get_if<std::string>(&parsed);
    return error != nullptr ? *error : "";
}

TEST(Control, RefusalsNameTheField) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "the body is not JSON"},
        {"{\"course\": 90", "the body is not JSON"},
        {"[1]", "the body is not a JSON object"},
        {"{\"heading\": 90}", "'heading' is not a control"},
        {"{\"course\": \"90\"}", "'course' must be a number"},
        {"{\"course\": 360}", "'course' must be from 0.0 to below 360.0"},
        {"{\"course\": -0.5}", "'course' must be from"},
        {"{\"speed\": 1000.5}", "'speed' must be from 0.0 to 1000.0"},
        {"{\"speedup\": 0.05}", "'speedup' must be from 0.1 to 1000.0"},
        {"{\"pause\": 1}", "'pause' must be true or false"},
        {"{\"outage\": \"yes\"}", "'outage' must be true or false"},
        {"{\"goto\": 3}", "'goto' must be a name"},
        {"{\"goto\": \"LIGHTHOUSE\"}", "'goto' names no waypoint"},
        {"{\"route\": \"HOME\"}", "'route' names no route"},
        // One bad field refuses the whole request.
        {"{\"speed\": 5, \"course\": 400}", "'course' must be from"},
    };
    for (const auto& [body, error] : cases) {
        EXPECT_EQ(ErrorOf(body).rfind(error, 0), 0U) << body << " gave " << ErrorOf(body);
    }
}

TEST(Control, AcceptedRequestsCarryEveryField) {
    const auto parsed = ParseControl(
        R"({"course": 359.9, "speed": 1000, "speedup": 0.1, "pause": true, "outage": false, "goto": "buoy", "route": "depart"})",
        kWayPoints, kRoutes);
    const ControlRequest* request = std::get_if<ControlRequest>(&parsed);
    ASSERT_NE(request, nullptr) << std::get<std::string>(parsed);
    EXPECT_DOUBLE_EQ(*request->course, 359.9);
    EXPECT_DOUBLE_EQ(*request->speed, 1000);
    EXPECT_DOUBLE_EQ(*request->speedup, 0.1);
    EXPECT_TRUE(*request->pause);
    EXPECT_FALSE(*request->outage);
    EXPECT_EQ(*request->goTo, "buoy");  // names match without regard to letter case
    EXPECT_EQ(*request->route, "depart");
    // An empty object asks for nothing.
    const auto nothing = ParseControl("{}", kWayPoints, kRoutes);
    ASSERT_TRUE(std::holds_alternative<ControlRequest>(nothing));
    EXPECT_FALSE(std::get<ControlRequest>(nothing).course);
}

// However many requests wait for the next update, one is kept: the last value
// of each field, and only the last way of steering.
TEST(Control, WaitingRequestsMergeIntoOne) {
    ControlRequest pending;
    Merge(pending, {.course = 90, .speed = 5});
    Merge(pending, {.speed = 7, .pause = true});
    EXPECT_EQ(pending.course, 90);
    EXPECT_EQ(pending.speed, 7);
    EXPECT_EQ(pending.pause, true);
    Merge(pending, {.goTo = "BUOY"});  // steering for a waypoint ends the course given by hand
    EXPECT_FALSE(pending.course);
    EXPECT_EQ(pending.goTo, "BUOY");
    Merge(pending, {.route = "DEPART"});
    EXPECT_FALSE(pending.goTo);
    EXPECT_EQ(pending.route, "DEPART");
    Merge(pending, {.course = 10, .outage = false});
    EXPECT_FALSE(pending.route);
    EXPECT_EQ(pending.course, 10);
    EXPECT_EQ(pending.outage, false);
    EXPECT_EQ(pending.speed, 7);
}

// A browser sends the Host it resolved: a name of another site that now
// points here (DNS rebinding) is refused, addresses and localhost are not.
TEST(Control, OnlyHostsThatNameThisServerAreAnswered) {
    for (const char* host : {"127.0.0.1", "127.0.0.1:8080", "localhost:8080", "LOCALHOST", "[::1]:8080", "10.1.2.3",
                             "kovra.local:8080"}) {
        EXPECT_TRUE(AcceptableHost(host, "kovra.local")) << host;
    }
    for (const char* host : {"", "evil.example", "evil.example:8080", "127.0.0.1.evil.example", "[evil]:80",
                             "localhost:", "localhost:80:80", "localhost:x"}) {
        EXPECT_FALSE(AcceptableHost(host, "127.0.0.1")) << host;
    }
    for (const char* address : {"127.0.0.1", "127.9.9.9", "::1", "[::1]", "localhost"}) {
        EXPECT_TRUE(IsLoopback(address)) << address;
    }
    for (const char* address : {"0.0.0.0", "::", "192.168.1.2", "example.org"}) {
        EXPECT_FALSE(IsLoopback(address)) << address;
    }
}

// One request over a connection of its own; the status code of the answer.
int Post(int port, const std::string& body) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "POST /control HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[512];
            for (int turn = 0; turn < 100; ++turn) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                answer.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return answer.size() > 12 ? std::atoi(answer.substr(9, 3).c_str()) : 0;
}

TEST(WebServer, RequestsWaitingForTheNextUpdateAreOneForEachVessel) {
    WebServer server("127.0.0.1", 0, false, [](const std::string&) {});
    const std::vector<std::string> vessels = {"Ferry", "Tug"};
    server.Publish({.vessels = vessels,
                    .state = [](std::size_t) {
                        WebServer::Snapshot snapshot;
                        snapshot.state.waypoints = {{"BUOY", 54.3, 10.1}};
                        snapshot.state.routes = {"DEPART"};
                        return snapshot;
                    },
                    .sentences = [](std::size_t) { return std::string_view(); },
                    .world = [] { return std::string("{}"); }});
    EXPECT_TRUE(server.TakeRequests().empty());
    EXPECT_EQ(Post(server.Port(), R"({"speed": 4, "course": 90})"), 200);
    EXPECT_EQ(Post(server.Port(), R"({"vessel": "Tug", "course": 180})"), 200);
    EXPECT_EQ(Post(server.Port(), R"({"goto": "BUOY"})"), 200);
    EXPECT_EQ(Post(server.Port(), R"({"speed": 5, "pause": true})"), 200);
    EXPECT_EQ(Post(server.Port(), R"({"speed": -5})"), 400);  // refused: changes nothing
    EXPECT_EQ(Post(server.Port(), R"({"vessel": "Barge", "speed": 1})"), 400);
    const std::vector<ControlRequest> taken = server.TakeRequests();
    ASSERT_EQ(taken.size(), 2U);
    EXPECT_EQ(taken[0].speed, 5);
    EXPECT_EQ(taken[0].pause, true);
    EXPECT_EQ(taken[0].goTo, "BUOY");
    EXPECT_FALSE(taken[0].course);  // the waypoint came after it
    EXPECT_EQ(taken[1].vessel, "Tug");
    EXPECT_EQ(taken[1].course, 180);
    EXPECT_FALSE(taken[1].speed);  // the first vessel's speed is not the tug's
    EXPECT_TRUE(server.TakeRequests().empty());
}

TEST(WorldJson, MarksTheFirstEventStillToCome) {
    const std::vector<ViewEvent> events = {{30, "Ferry", "outage 10 s"}, {60, "Ferry", "course 90"}, {90, "all", "stop"}};
    const std::vector<ViewVessel> vessels = {{"Ferry", 54.3, 10.1, 6, 45, 1}};
    const std::vector<ViewTarget> targets = {{.mmsi = 970123456, .vessel = "AIS 970123456", .kind = "SART", .test = true,
                                              .cpaNm = 0.25, .tcpaSeconds = -12}};
    const auto world = [&](double elapsed) { return nlohmann::json::parse(WorldJson(vessels, targets, events, elapsed)); };
    EXPECT_EQ(world(0)["next"], 0);
    EXPECT_EQ(world(30)["next"], 1);  // applied at the update of 30 s
    EXPECT_EQ(world(59.5)["next"], 1);
    EXPECT_EQ(world(90)["next"], nullptr);
    EXPECT_EQ(world(0)["vessels"][0]["name"], "Ferry");
    EXPECT_EQ(world(0)["events"][2]["vessel"], "all");
    const nlohmann::json sart = world(0)["targets"][0];
    EXPECT_EQ(sart["mmsi"], 970123456);
    EXPECT_EQ(sart["name"], "");  // none sent: the page shows the MMSI
    EXPECT_EQ(sart["kind"], "SART");
    EXPECT_EQ(sart["test"], true);
    EXPECT_EQ(sart["tcpa"], -12);  // passed
}

TEST(ViewState, JsonWhateverTheNamesHold) {
    ViewState state;
    state.time = "2026-12-08T12:00:00.000Z";
    state.satellites = {{"GPS", 5, 45, 90, std::nullopt, false}};
    state.waypoints = {{std::string("BAD\xC0NAME\"\n"), 54.3, 10.1}};
    const nlohmann::json json = nlohmann::json::parse(StateJson(state));
    EXPECT_EQ(json["satellites"][0]["snr"], nullptr);  // no signal
    EXPECT_EQ(json["satellites"][0]["used"], false);
    EXPECT_EQ(json["route"], nullptr);  // none active
    EXPECT_EQ(json["waypoints"][0]["name"], "BAD\xEF\xBF\xBDNAME\"\n");  // not UTF-8 replaced, the rest escaped
    state.route = "DEPART";
    state.routePoints = {"HARBOUR"};
    state.next = "HARBOUR";
    state.nextDistance = 0.25;
    const nlohmann::json routed = nlohmann::json::parse(StateJson(state));
    EXPECT_EQ(routed["route"]["next"], "HARBOUR");
    EXPECT_DOUBLE_EQ(routed["route"]["distance"].get<double>(), 0.25);
}

}  // namespace
}  // namespace kovra::engine
