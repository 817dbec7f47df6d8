// The live view's pure parts: control bodies checked field by field before
// anything changes, and the state as JSON whatever the names hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/WebView.h"

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
