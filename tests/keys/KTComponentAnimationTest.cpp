#include <ktrt/keys/KTComponentAnimation.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

KTPartAnimation* newTrack(const char* name, int keyCount = 1) {
    auto* track = new KTPartAnimation();
    track->setPartName(name);
    for (int i = 0; i < keyCount; ++i)
        track->appendState(new KTAnimationState(i, KTVector3(i, i, i), KTAngle(0, 0, i)));
    return track;
}

std::vector<std::string> namesInOrder(KTComponentAnimation& animation) {
    std::vector<std::string> names;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i)
        names.push_back(animation[i]->getPartName().data());
    return names;
}

void expectEmptySentinel(KTPartAnimation* track) {
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->getPartName(), "");
    EXPECT_EQ(track->getNumStates(), 0u);
}

} // namespace

TEST(KTComponentAnimationValidity, RefusesNullUnnamedAndDuplicateTracksLeavingThemWithCaller) {
    KTComponentAnimation animation;
    expectEmptySentinel(animation[0]);
    EXPECT_EQ(animation.addPartAnimation(nullptr), 0);
    std::unique_ptr<KTPartAnimation> unnamed(newTrack(""));
    EXPECT_EQ(animation.addPartAnimation(unnamed.get()), 0);
    KTPartAnimation* first = newTrack("arm");
    ASSERT_EQ(animation.addPartAnimation(first), 1);
    std::unique_ptr<KTPartAnimation> duplicate(newTrack("arm"));
    EXPECT_EQ(animation.addPartAnimation(duplicate.get()), 0);
    // Names differing in letter case are different parts.
    ASSERT_EQ(animation.addPartAnimation(newTrack("ARM")), 1);
    EXPECT_EQ(animation.getNumPartAnimations(), 2u);
    KTPartAnimation* found = nullptr;
    ASSERT_EQ(animation.getPartAnimation("arm", found), 1);
    EXPECT_EQ(found, first);
    // A track the animation already owns is refused under any name: the same
    // pointer renamed, and the sentinel given a name.
    first->setPartName("leg");
    EXPECT_EQ(animation.addPartAnimation(first), 0);
    animation[7]->setPartName("tail");
    EXPECT_EQ(animation.addPartAnimation(animation[7]), 0);
    EXPECT_EQ(animation.getNumPartAnimations(), 2u);
    // ASan reports a double delete if the animation kept a refused track.
}

TEST(KTComponentAnimationValidity,
     MissesLeaveTheOutParameterAndARenamedTrackStaysFiledUnderItsOldName) {
    KTComponentAnimation animation;
    KTPartAnimation* track = newTrack("arm");
    animation.addPartAnimation(track);
    KTPartAnimation marker;
    KTPartAnimation* out = &marker;
    EXPECT_EQ(animation.getPartAnimation(nullptr, out), 0);
    EXPECT_EQ(animation.getPartAnimation("Arm", out), 0);
    EXPECT_EQ(out, &marker);
    EXPECT_EQ(animation.containsAnimationForPart(nullptr), 0);
    EXPECT_EQ(animation.containsAnimationForPart("ar"), 0);
    EXPECT_EQ(animation.removePartAnimation(nullptr), 0);
    EXPECT_EQ(animation.removePartAnimation("leg"), 0);

    track->setPartName("leg");
    EXPECT_EQ(animation.getPartAnimation("arm", out), 1);
    EXPECT_EQ(out, track);
    EXPECT_EQ(animation.containsAnimationForPart("leg"), 0);
    KTComponentAnimation copy(animation);
    EXPECT_EQ(copy.containsAnimationForPart("arm"), 1);
    std::unique_ptr<KTPartAnimation> clash(newTrack("arm"));
    EXPECT_EQ(animation.addPartAnimation(clash.get()), 0);
    EXPECT_EQ(animation.addPartAnimation(newTrack("leg")), 1);
    EXPECT_EQ(animation.removePartAnimation("arm"), 1);
    EXPECT_EQ(animation.removePartAnimation("arm"), 0);
    EXPECT_EQ(animation.getNumPartAnimations(), 1u);
}

TEST(ComponentAnimationIndex, OrderFollowsNameBucketsAndSurvivesRemovals) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("part" + std::to_string(i));
    KTComponentAnimation forward;
    for (const std::string& name : names)
        forward.addPartAnimation(newTrack(name.c_str()));
    const std::vector<std::string> order = namesInOrder(forward);
    ASSERT_EQ(std::set<std::string>(order.begin(), order.end()).size(), names.size());
    EXPECT_NE(order, names);
    // The index walks the name buckets in ascending order.
    auto bucketOf = [](const std::string& name) {
        return RWCString::hash(name.data(), name.size()) % 64;
    };
    for (std::size_t i = 1; i < order.size(); ++i)
        ASSERT_LE(bucketOf(order[i - 1]), bucketOf(order[i]));

    for (int i = 0; i < 300; i += 2)
        ASSERT_EQ(forward.removePartAnimation(names[i].c_str()), 1);
    forward.addPartAnimation(newTrack("extra"));
    const std::vector<std::string> after = namesInOrder(forward);
    std::set<std::string> expected{"extra"};
    for (int i = 1; i < 300; i += 2)
        expected.insert(names[i]);
    EXPECT_EQ(std::set<std::string>(after.begin(), after.end()), expected);
    EXPECT_EQ(after.size(), expected.size());
    expectEmptySentinel(forward[static_cast<unsigned int>(after.size())]);
}

TEST(ComponentAnimationCopy, CopiesOwnTheirTracksAndAssignmentReplacesTheTargets) {
    auto source = std::make_unique<KTComponentAnimation>();
    source->setComponentName("Robot");
    for (const char* name : {"arm", "leg", "head"})
        source->addPartAnimation(newTrack(name, 3));
    KTComponentAnimation copy(*source);
    KTComponentAnimation assigned;
    assigned.addPartAnimation(newTrack("tail", 2));
    KTPartAnimation* const assignedSentinel = assigned[5];
    assigned = *source;
    for (KTComponentAnimation* animation : {&copy, &assigned}) {
        EXPECT_STREQ(animation->getComponentName(), "Robot");
        EXPECT_EQ(namesInOrder(*animation), namesInOrder(*source));
        KTPartAnimation *original = nullptr, *duplicate = nullptr;
        ASSERT_EQ(source->getPartAnimation("leg", original), 1);
        ASSERT_EQ(animation->getPartAnimation("leg", duplicate), 1);
        ASSERT_EQ(duplicate->getNumStates(), 3u);
        EXPECT_NE((*duplicate)[2], (*original)[2]);
        EXPECT_TRUE((*duplicate)[2]->getPosition() == KTVector3(2, 2, 2));
    }
    EXPECT_EQ(assigned[5], assignedSentinel);
    source.reset();
    EXPECT_EQ(copy[0]->getNumStates(), 3u);
    const KTComponentAnimation& itself = copy;
    copy = itself;
    EXPECT_EQ(copy.getNumPartAnimations(), 3u);
    copy = KTComponentAnimation();
    EXPECT_EQ(copy.getNumPartAnimations(), 0u);

    KTComponentAnimation other;
    other.setComponentName("rOBOT");
    other.setComponentName(nullptr);
    EXPECT_TRUE(assigned == other); // component names ignoring case
    other.setComponentName("Other");
    EXPECT_FALSE(assigned == other);
}
