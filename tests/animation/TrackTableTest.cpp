#include <ktrt/animation/detail/TrackTable.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <ktrt/animation/KTPartAnimation.h>

using ktrt::detail::TrackTable;

namespace {

KTPartAnimation* newTrack(const std::string& name) {
    auto* track = new KTPartAnimation();
    track->setPartName(name.c_str());
    return track;
}

std::vector<KTPartAnimation*> inOrder(const TrackTable& table) {
    std::vector<KTPartAnimation*> tracks;
    for (std::size_t i = 0; i < table.size(); ++i)
        tracks.push_back(table.at(i));
    return tracks;
}

} // namespace

TEST(TrackTableReplace, KeepsTheNamesPlaceAndHandsBackTheDisplacedTrack) {
    TrackTable table;
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(table.insert(("part" + std::to_string(i)).c_str(),
                                 newTrack("part" + std::to_string(i))));
    std::vector<KTPartAnimation*> before = inOrder(table);
    EXPECT_EQ(table.at(100), nullptr);

    KTPartAnimation* replacement = newTrack("new");
    std::unique_ptr<KTPartAnimation> displaced(table.replace("part42", replacement));
    ASSERT_NE(displaced, nullptr);
    EXPECT_EQ(displaced->getPartName(), "part42");
    EXPECT_EQ(table.find("part42", 6), replacement);
    for (KTPartAnimation*& track : before)
        if (track == displaced.get())
            track = replacement;
    EXPECT_EQ(inOrder(table), before);

    EXPECT_EQ(table.replace("fresh", newTrack("fresh")), nullptr); // absent: inserted
    EXPECT_EQ(table.size(), 101u);
    std::unique_ptr<KTPartAnimation> removed(table.remove("fresh", 5));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(table.remove("fresh", 5), nullptr);
    EXPECT_EQ(inOrder(table), before);
}
