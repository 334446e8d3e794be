#include <ktrt/animation/KTComponentAnimation.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <rw/RWBoundsErr.h>

template <class T> using List = RWTValOrderedVector<T>;

// Reaches the private builder; the animation class befriends this name.
struct KTComponentAnimationAccess {
    static int build(KTPartAnimation* track, const char* name, const List<float>& orientationKeys,
                     const List<KTAngle>& orientations, const List<float>& positionKeys,
                     const List<KTVector3>& positions) {
        KTComponentAnimation animation;
        return animation.buildPartAnimation(track, name, orientationKeys, orientations,
                                            positionKeys, positions);
    }
};

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

template <class T> List<T> listOf(std::initializer_list<T> values) {
    List<T> list;
    for (const T& value : values)
        list.append(value);
    return list;
}

} // namespace

TEST(ComponentAnimationAdd, RefusesNullUnnamedAndDuplicateTracksLeavingThemWithCaller) {
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
    // ASan reports a double delete if the animation kept a refused track.
}

TEST(ComponentAnimationLookup,
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
    KTComponentAnimation forward, backward;
    for (const std::string& name : names)
        forward.addPartAnimation(newTrack(name.c_str()));
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        backward.addPartAnimation(newTrack(name->c_str()));
    const std::vector<std::string> order = namesInOrder(forward);
    const std::vector<std::string> reverseOrder = namesInOrder(backward);
    ASSERT_EQ(std::set<std::string>(order.begin(), order.end()).size(), names.size());
    EXPECT_NE(order, names);
    // Buckets ascend whatever the insertion order.
    auto bucketOf = [](const std::string& name) {
        return RWCString::hash(name.data(), name.size()) % 64;
    };
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(bucketOf(order[i]), bucketOf(reverseOrder[i]));
        ASSERT_LE(bucketOf(order[i > 0 ? i - 1 : 0]), bucketOf(order[i]));
    }

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

TEST(ComponentAnimationBuild, FillsKeysFromTheListsOrLeavesAClearedNamedTrack) {
    using Access = KTComponentAnimationAccess;
    std::unique_ptr<KTPartAnimation> track(newTrack("old", 5));
    const auto noKeys = listOf<float>({});
    const auto noAngles = listOf<KTAngle>({});
    const auto noVectors = listOf<KTVector3>({});
    const auto twoKeys = listOf<float>({0.0f, 1.0f});
    const auto threeKeys = listOf<float>({0.0f, 0.5f, 1.0f});
    const auto twoAngles = listOf<KTAngle>({KTAngle(1, 0, 0), KTAngle(2, 0, 0)});
    const auto angles = listOf<KTAngle>({KTAngle(1, 0, 0), KTAngle(2, 0, 0), KTAngle(3, 0, 0)});
    const auto positions =
        listOf<KTVector3>({KTVector3(1, 1, 1), KTVector3(2, 2, 2), KTVector3(3, 3, 3)});

    EXPECT_EQ(Access::build(track.get(), nullptr, noKeys, noAngles, noKeys, noVectors), 0);
    EXPECT_EQ(Access::build(nullptr, "arm", noKeys, noAngles, noKeys, noVectors), 0);
    EXPECT_EQ(track->getNumStates(), 5u);

    track->setUsePositions(1);
    ASSERT_EQ(Access::build(track.get(), "arm", threeKeys, angles, noKeys, noVectors), 1);
    EXPECT_EQ(track->getPartName(), "arm");
    EXPECT_EQ(track->useOrientations(), 1);
    EXPECT_EQ(track->usePositions(), 0);
    ASSERT_EQ(track->getNumStates(), 3u);
    for (unsigned int i = 0; i < 3; ++i) {
        EXPECT_EQ((*track)[i]->getKey(), 0.0);
        EXPECT_TRUE((*track)[i]->getPosition() == KTVector3(0, 0, 0));
        EXPECT_TRUE((*track)[i]->getOrientation() == KTAngle(i + 1.0, 0, 0));
    }
    // Positions alone: the keys carry them but the track does not apply them.
    ASSERT_EQ(Access::build(track.get(), "leg", noKeys, noAngles, threeKeys, positions), 1);
    EXPECT_EQ(track->useOrientations() + track->usePositions(), 0);
    EXPECT_TRUE((*track)[2]->getPosition() == KTVector3(3, 3, 3));
    EXPECT_TRUE((*track)[2]->getOrientation() == KTAngle(0, 0, 0));
    ASSERT_EQ(Access::build(track.get(), "leg", threeKeys, angles, threeKeys, positions), 1);
    EXPECT_TRUE((*track)[1]->getPosition() == KTVector3(2, 2, 2));
    EXPECT_TRUE((*track)[1]->getOrientation() == KTAngle(2, 0, 0));
    ASSERT_EQ(Access::build(track.get(), "head", noKeys, noAngles, noKeys, noVectors), 1);
    EXPECT_EQ(track->getPartName(), "head");
    EXPECT_EQ(track->getNumStates(), 0u);

    track.reset(newTrack("old", 4));
    EXPECT_EQ(Access::build(track.get(), "arm", twoKeys, twoAngles, threeKeys, positions), 0);
    EXPECT_EQ(track->getPartName(), "arm");
    EXPECT_EQ(track->getNumStates(), 0u);
    EXPECT_EQ(track->useOrientations(), 1);
    // A values list shorter than its keys raises the bounds error on reaching
    // the missing value; the keys built so far stay.
    EXPECT_THROW(Access::build(track.get(), "arm", threeKeys, twoAngles, noKeys, noVectors),
                 RWBoundsErr);
    EXPECT_EQ(track->getNumStates(), 2u);
}
