#include <gtest/gtest.h>

#include "waypoints/Route.h"

namespace kovra {
namespace {

std::unique_ptr<TRoute> Route(const char* name, TNameList names = {}) {
    auto route = std::make_unique<TRoute>(name);
    route->WayPoints(std::move(names));
    return route;
}

TEST(Route, NamesAndDestination) {
    TRoute empty("Empty");
    EXPECT_EQ(empty.Destination(), "");
    EXPECT_EQ(empty.WayPointListToStr(), "");
    auto route = Route("Harbour", {"W1", "W2", "W3"});
    EXPECT_EQ(route->WayPointListToStr(), "W1,W2,W3");
    EXPECT_EQ(route->Destination(), "W3");
    route->WayPoints().push_back("");
    EXPECT_EQ(route->WayPointListToStr(), "W1,W2,W3,");
    EXPECT_EQ(route->Destination(), "");
}

TEST(Routes, AddRefusesMatchingNames) {
    TRoutes routes;
    EXPECT_TRUE(routes.Add(Route("HARBOUR")));
    auto second = Route("harbour");
    EXPECT_FALSE(routes.Add(std::move(second)));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(routes.Count(), 1);
}

TEST(Routes, ReleasingTheActiveRouteClearsIt) {
    TRoutes routes;
    ASSERT_TRUE(routes.Add(Route("A")));
    ASSERT_TRUE(routes.Add(Route("B")));
    ASSERT_TRUE(routes.Add(Route("C")));

    routes.ActiveRoute(routes.GetByName("a"));
    routes.Swap("A", "C");
    EXPECT_EQ(routes.ActiveRoute(), routes.GetItem(2));  // swapping keeps it active

    routes.Delete("a");
    EXPECT_EQ(routes.ActiveRoute(), nullptr);

    routes.ActiveRoute(routes.GetItem(1));
    routes.SetItem(1, Route("D"));
    EXPECT_EQ(routes.ActiveRoute(), nullptr);

    routes.ActiveRoute(routes.GetItem(0));
    routes.Clear();
    EXPECT_EQ(routes.ActiveRoute(), nullptr);
    EXPECT_EQ(routes.Count(), 0);
}

TEST(Routes, IndexRules) {
    TRoutes routes;
    ASSERT_TRUE(routes.Add(Route("A")));
    EXPECT_THROW(routes.Delete(-1), std::out_of_range);
    EXPECT_THROW((void)routes.GetItem(-1), std::out_of_range);
    routes.Delete(1);
    EXPECT_EQ(routes.GetItem(1), nullptr);
    auto kept = Route("K");
    routes.SetItem(1, std::move(kept));
    EXPECT_NE(kept, nullptr);
    EXPECT_FALSE(routes.Insert(1, std::move(kept)));
    EXPECT_TRUE(routes.Insert(0, std::move(kept)));
    EXPECT_EQ(routes.GetItem(0)->Name(), "K");
}

TEST(Routes, AnActiveRouteNeedNotBeListed) {
    TRoutes routes;
    TRoute outside("Outside");
    routes.ActiveRoute(&outside);
    routes.Clear();
    EXPECT_EQ(routes.ActiveRoute(), nullptr);
    routes.ActiveRoute(&outside);
    EXPECT_EQ(routes.ActiveRoute(), &outside);
    routes.ActiveRoute(nullptr);  // released by its owner below, so not active then
}

}  // namespace
}  // namespace kovra
