#include <gtest/gtest.h>

#include "TestSupport.h"
#include "waypoints/WayPoint.h"

namespace kovra {
namespace {

using test::ThrowsKovra;
using CP = TCardinalPoint;

std::unique_ptr<TWayPoint> Make(const char* name) { return std::make_unique<TWayPoint>(name); }

// A list named in order, e.g. "A,B,C".
std::unique_ptr<TWayPoints> ListOf(std::initializer_list<const char*> names) {
    auto list = std::make_unique<TWayPoints>();
    for (const char* name : names) {
        EXPECT_TRUE(list->Add(Make(name)));
    }
    return list;
}

std::string Names(const TWayPoints& list) {
    std::string text;
    for (int i = 0; i < list.Count(); ++i) {
        text += list.GetItem(i) ? list.GetItem(i)->Name() : std::string("-");
        text += i + 1 < list.Count() ? "," : "";
    }
    return text;
}

TEST(WayPoint, StartsAtTheOriginAndValidatesEachField) {
    TWayPoint w("A");
    EXPECT_EQ(w.Name(), "A");
    EXPECT_EQ(w.Latitude_Direction(), CP::cpNorth);
    EXPECT_EQ(w.Longitude_Direction(), CP::cpEast);
    EXPECT_EQ(w.Latitude_Second(), 0);

    w.Latitude_Minute(59);
    EXPECT_TRUE(ThrowsKovra([&] { w.Latitude_Minute(60); }, "Latitude Minute must be between 0 and 60."));
    EXPECT_EQ(w.Latitude_Minute(), 59);
    w.Latitude_Degree(90);
    EXPECT_TRUE(ThrowsKovra([&] { w.Latitude_Degree(91); }, "Latitude Degree must be between 0 and 90."));
    w.Latitude_Second(59.999L);
    EXPECT_TRUE(ThrowsKovra([&] { w.Latitude_Second(60); }, "Latitude Second must be between 0 and 60."));
    EXPECT_TRUE(ThrowsKovra([&] { w.Longitude_Second(std::numeric_limits<Extended>::quiet_NaN()); },
                            "Longitude Second must be between 0 and 60."));
    EXPECT_TRUE(ThrowsKovra([&] { w.Latitude_Direction(CP::cpEast); }, "Latitude Direction must be north or south."));
    EXPECT_TRUE(ThrowsKovra([&] { w.Longitude_Direction(CP::cpNorth); }, "Longitude Direction must be east or west."));
    EXPECT_TRUE(ThrowsKovra([&] { w.Longitude_Degree(181); }, "Longitude Degree must be between 0 and 180."));
    EXPECT_TRUE(ThrowsKovra([&] { w.Longitude_Minute(60); }, "Longitude Minute must be between 0 and 60."));
    w.Longitude_Degree(180);
    w.Longitude_Minute(59);
    w.Longitude_Direction(CP::cpWest);  // 180° 59′ W: fields are checked one by one
    EXPECT_EQ(w.Longitude_Minute(), 59);
}

TEST(WayPoints, AddRefusesMatchingNamesAndLeavesTheItemWithTheCaller) {
    auto list = ListOf({"ALPHA"});
    auto duplicate = Make("alpha");
    EXPECT_FALSE(list->Add(std::move(duplicate)));
    ASSERT_NE(duplicate, nullptr);  // refused: still the caller's
    EXPECT_EQ(duplicate->Name(), "alpha");
    EXPECT_FALSE(list->Add(nullptr));
    EXPECT_FALSE(list->Add(Make(" ALPHA")) == false);  // a leading blank is a different name
    EXPECT_EQ(list->Count(), 2);
}

TEST(WayPoints, InsertNeverAppends) {
    auto empty = std::make_unique<TWayPoints>();
    auto w = Make("W");
    EXPECT_FALSE(empty->Insert(0, std::move(w)));
    EXPECT_FALSE(empty->Insert(empty->Count(), std::move(w)));
    EXPECT_FALSE(empty->Insert(-1, std::move(w)));
    EXPECT_NE(w, nullptr);

    auto list = ListOf({"A", "B", "C"});
    EXPECT_FALSE(list->Insert(3, std::move(w)));
    EXPECT_TRUE(list->Insert(0, std::move(w)));
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(Names(*list), "W,A,B,C");
}

TEST(WayPoints, IndexRulesForDeleteGetAndSet) {
    auto list = ListOf({"A", "B", "C"});
    list->Delete(3);
    EXPECT_EQ(list->GetItem(3), nullptr);
    EXPECT_EQ(Names(*list), "A,B,C");
    EXPECT_THROW(list->Delete(-1), std::out_of_range);
    EXPECT_THROW((void)list->GetItem(-1), std::out_of_range);
    auto w = Make("W");
    EXPECT_THROW(list->SetItem(-1, std::move(w)), std::out_of_range);
    list->SetItem(5, std::move(w));
    ASSERT_NE(w, nullptr);  // refused
    EXPECT_EQ(Names(*list), "A,B,C");
}

TEST(WayPoints, DeleteAndClearHandBackWhenAskedTo) {
    auto list = ListOf({"A", "B", "C"});
    TWayPoint* b = list->GetItem(1);
    std::unique_ptr<TWayPoint> back = list->Delete("b", false);
    EXPECT_EQ(back.get(), b);
    EXPECT_EQ(Names(*list), "A,C");
    EXPECT_EQ(list->Delete(0), nullptr);  // disposed
    EXPECT_EQ(Names(*list), "C");

    auto full = ListOf({"A", "B", "C"});
    std::vector<std::unique_ptr<TWayPoint>> all = full->Clear(false);
    EXPECT_EQ(full->Count(), 0);
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0]->Name(), "A");
    all[2]->Latitude_Degree(10);  // still usable
    EXPECT_TRUE(full->Clear().empty());
}

TEST(WayPoints, SwapExchangesPlacesOfTheSameObjects) {
    auto list = ListOf({"A", "B", "C"});
    TWayPoint* a = list->GetItem(0);
    TWayPoint* c = list->GetItem(2);
    list->Swap("A", "C");
    EXPECT_EQ(list->GetItem(0), c);
    EXPECT_EQ(list->GetItem(2), a);
    list->Swap("a", "A");
    list->Swap("A", "Z");
    EXPECT_EQ(Names(*list), "C,B,A");
}

TEST(WayPoints, SetItemReleasesTheOldWaypointAndNamesMayRepeat) {
    auto list = ListOf({"A", "B", "C"});
    list->SetItem(1, nullptr);
    EXPECT_EQ(list->Count(), 3);
    EXPECT_EQ(list->IndexOf("B"), -1);
    EXPECT_EQ(list->GetItem(1), nullptr);

    auto w = Make("A");
    TWayPoint* raw = w.get();
    list->SetItem(2, std::move(w));
    EXPECT_EQ(list->IndexOf("a"), 0);
    EXPECT_EQ(list->GetByName("a"), raw);
    list->Delete("a");
    EXPECT_EQ(Names(*list), "A,-");

    // Putting a slot's own waypoint back into it keeps a single owner.
    auto self = std::unique_ptr<TWayPoint>(list->GetItem(0));
    list->SetItem(0, std::move(self));
    EXPECT_EQ(self, nullptr);
    EXPECT_EQ(Names(*list), "A,-");
}

TEST(WayPoints, DisposeHandsBackOrReleasesAndIgnoresNoList) {
    std::vector<std::unique_ptr<TWayPoint>> kept = TWayPoints::Dispose(ListOf({"A", "B"}), false);
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_EQ(kept[1]->Name(), "B");
    EXPECT_TRUE(TWayPoints::Dispose(nullptr, false).empty());
    TWayPoints::Free(ListOf({"X"}));
    TWayPoints::Free(nullptr);
}

TEST(NameMatching, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(SameName("alpha", "ALPHA"));
    EXPECT_TRUE(SameName("Alpha-1", "aLPHA-1"));
    EXPECT_FALSE(SameName(" alpha", "alpha"));
    EXPECT_FALSE(SameName("\xC3\xA9", "\xC3\x89"));  // é and É differ
    EXPECT_FALSE(SameName("[", "{"));                // no folding outside a-z
}

}  // namespace
}  // namespace kovra
