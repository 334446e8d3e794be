#include <ktrt/animation/KTComponentAnimation.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <rw/RWBoundsErr.h>

// Reaches the private builder; the animation class befriends this name.
struct KTComponentAnimationAccess {
    static int build(KTComponentAnimation& animation, KTPartAnimation* track, const char* name,
                     const RWTValOrderedVector<float>& orientationKeys,
                     const RWTValOrderedVector<KTAngle>& orientations,
                     const RWTValOrderedVector<float>& positionKeys,
                     const RWTValOrderedVector<KTVector3>& positions) {
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

// The part names in index order.
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
    EXPECT_EQ(track->useOrientations(), 0);
    EXPECT_EQ(track->usePositions(), 0);
}

template <class T> RWTValOrderedVector<T> listOf(std::initializer_list<T> values) {
    RWTValOrderedVector<T> list;
    for (const T& value : values)
        list.append(value);
    return list;
}

} // namespace

TEST(ComponentAnimationAdd, RefusesNullUnnamedAndDuplicateTracksLeavingThemWithCaller) {
    KTComponentAnimation animation;
    EXPECT_EQ(animation.getNumPartAnimations(), 0u);
    EXPECT_EQ(animation.isLoaded(), 0);
    EXPECT_EQ(animation.getLineNumber(), 0);
    EXPECT_EQ(animation.getErrorMessage(), "");
    expectEmptySentinel(animation[0]);

    EXPECT_EQ(animation.addPartAnimation(nullptr), 0);
    std::unique_ptr<KTPartAnimation> unnamed(newTrack(""));
    EXPECT_EQ(animation.addPartAnimation(unnamed.get()), 0);

    KTPartAnimation* first = newTrack("arm");
    ASSERT_EQ(animation.addPartAnimation(first), 1);
    std::unique_ptr<KTPartAnimation> duplicate(newTrack("arm"));
    EXPECT_EQ(animation.addPartAnimation(duplicate.get()), 0);
    EXPECT_EQ(animation.getNumPartAnimations(), 1u);

    // Names differing in letter case are different parts.
    ASSERT_EQ(animation.addPartAnimation(newTrack("ARM")), 1);
    KTPartAnimation* found = nullptr;
    ASSERT_EQ(animation.getPartAnimation("arm", found), 1);
    EXPECT_EQ(found, first);
    // The refused tracks are freed by their unique_ptrs; AddressSanitizer
    // reports a double delete if the animation kept one.
}

TEST(ComponentAnimationLookup, NullAndUnknownNamesAnswerZeroAndLeaveTheOutParameter) {
    KTComponentAnimation animation;
    animation.addPartAnimation(newTrack("arm"));
    KTPartAnimation marker;
    KTPartAnimation* out = &marker;
    EXPECT_EQ(animation.getPartAnimation(nullptr, out), 0);
    EXPECT_EQ(animation.getPartAnimation("leg", out), 0);
    EXPECT_EQ(animation.getPartAnimation("Arm", out), 0);
    EXPECT_EQ(out, &marker);
    EXPECT_EQ(animation.containsAnimationForPart(nullptr), 0);
    EXPECT_EQ(animation.containsAnimationForPart("ar"), 0);
    EXPECT_EQ(animation.containsAnimationForPart("arm"), 1);
    EXPECT_EQ(animation.removePartAnimation(nullptr), 0);
    EXPECT_EQ(animation.removePartAnimation("leg"), 0);

    EXPECT_EQ(animation.removePartAnimation("arm"), 1);
    EXPECT_EQ(animation.containsAnimationForPart("arm"), 0);
    EXPECT_EQ(animation.getNumPartAnimations(), 0u);
    EXPECT_EQ(animation.removePartAnimation("arm"), 0);
}

TEST(ComponentAnimationLookup, RenamedTrackStaysFiledUnderItsOldName) {
    KTComponentAnimation animation;
    KTPartAnimation* track = newTrack("arm");
    animation.addPartAnimation(track);
    track->setPartName("leg");

    KTPartAnimation* found = nullptr;
    EXPECT_EQ(animation.getPartAnimation("arm", found), 1);
    EXPECT_EQ(found, track);
    EXPECT_EQ(animation.containsAnimationForPart("leg"), 0);
    EXPECT_EQ(animation[0]->getPartName(), "leg");
    // The old name is still taken, the new one is free.
    std::unique_ptr<KTPartAnimation> clash(newTrack("arm"));
    EXPECT_EQ(animation.addPartAnimation(clash.get()), 0);
    EXPECT_EQ(animation.addPartAnimation(newTrack("leg")), 1);
    EXPECT_EQ(animation.removePartAnimation("arm"), 1);
    EXPECT_EQ(animation.getNumPartAnimations(), 1u);
}

TEST(ComponentAnimationIndex, OrderDependsOnNamesAndStaysUntilTheTableChanges) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("part" + std::to_string(i));

    KTComponentAnimation forward;
    for (const std::string& name : names)
        forward.addPartAnimation(newTrack(name.c_str()));
    const std::vector<std::string> order = namesInOrder(forward);
    ASSERT_EQ(order.size(), names.size());
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()).size(), names.size());
    EXPECT_NE(order, names); // the order follows the names' hashes
    EXPECT_EQ(namesInOrder(forward), order);
    EXPECT_EQ(forward[0], forward[0]);

    // Names sharing a bucket keep their insertion order, names in different
    // buckets do not depend on it: the same names added in reverse give the
    // same bucket sequence.
    KTComponentAnimation backward;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        backward.addPartAnimation(newTrack(name->c_str()));
    const std::vector<std::string> reverseOrder = namesInOrder(backward);
    auto bucketOf = [](const std::string& name) {
        return RWCString::hash(name.data(), name.size()) % 64;
    };
    for (std::size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(bucketOf(order[i]), bucketOf(reverseOrder[i]));
    for (std::size_t i = 1; i < order.size(); ++i)
        ASSERT_LE(bucketOf(order[i - 1]), bucketOf(order[i]));

    // After removals and additions every remaining track is indexed once.
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
        EXPECT_EQ(animation->containsAnimationForPart("tail"), 0);
        KTPartAnimation* original = nullptr;
        KTPartAnimation* duplicate = nullptr;
        ASSERT_EQ(source->getPartAnimation("leg", original), 1);
        ASSERT_EQ(animation->getPartAnimation("leg", duplicate), 1);
        EXPECT_NE(original, duplicate);
        ASSERT_EQ(duplicate->getNumStates(), 3u);
        EXPECT_NE((*duplicate)[2], (*original)[2]);
        EXPECT_TRUE((*duplicate)[2]->getPosition() == KTVector3(2, 2, 2));
    }
    EXPECT_EQ(assigned[5], assignedSentinel);

    source.reset();
    EXPECT_EQ(copy.getNumPartAnimations(), 3u);
    EXPECT_EQ(copy[0]->getNumStates(), 3u);

    const KTComponentAnimation& itself = copy;
    copy = itself;
    EXPECT_EQ(copy.getNumPartAnimations(), 3u);
    copy = KTComponentAnimation();
    EXPECT_EQ(copy.getNumPartAnimations(), 0u);
}

TEST(ComponentAnimationCopy, RenamedTrackIsCopiedUnderItsFiledName) {
    KTComponentAnimation animation;
    KTPartAnimation* track = newTrack("arm");
    animation.addPartAnimation(track);
    track->setPartName("leg");
    KTComponentAnimation copy(animation);
    EXPECT_EQ(copy.containsAnimationForPart("arm"), 1);
    EXPECT_EQ(copy[0]->getPartName(), "leg");
}

TEST(ComponentAnimationEquality, ComparesComponentNamesIgnoringCase) {
    KTComponentAnimation a;
    KTComponentAnimation b;
    a.setComponentName("Robot");
    b.setComponentName("rOBOT");
    b.addPartAnimation(newTrack("arm"));
    EXPECT_TRUE(a == b);
    b.setComponentName(nullptr);
    EXPECT_STREQ(b.getComponentName(), "rOBOT");
    b.setComponentName("Other");
    EXPECT_FALSE(a == b);
}

TEST(ComponentAnimationBuild, RefusesNullArgumentsWithoutTouchingTheTrack) {
    KTComponentAnimation animation;
    const auto noFloats = listOf<float>({});
    const auto noAngles = listOf<KTAngle>({});
    const auto noVectors = listOf<KTVector3>({});
    std::unique_ptr<KTPartAnimation> track(newTrack("arm", 2));
    EXPECT_EQ(KTComponentAnimationAccess::build(animation, track.get(), nullptr, noFloats, noAngles,
                                                noFloats, noVectors),
              0);
    EXPECT_EQ(KTComponentAnimationAccess::build(animation, nullptr, "arm", noFloats, noAngles,
                                                noFloats, noVectors),
              0);
    EXPECT_EQ(track->getNumStates(), 2u);
    EXPECT_EQ(track->getPartName(), "arm");
}

TEST(ComponentAnimationBuild, FillsKeysFromTheListsAndReplacesOldKeys) {
    KTComponentAnimation animation;
    std::unique_ptr<KTPartAnimation> track(newTrack("old", 5));
    track->setUsePositions(1);
    const auto threeKeys = listOf<float>({0.0f, 0.5f, 1.0f});
    const auto angles = listOf<KTAngle>({KTAngle(1, 0, 0), KTAngle(2, 0, 0), KTAngle(3, 0, 0)});
    const auto positions =
        listOf<KTVector3>({KTVector3(1, 1, 1), KTVector3(2, 2, 2), KTVector3(3, 3, 3)});
    const auto none = listOf<float>({});

    ASSERT_EQ(KTComponentAnimationAccess::build(animation, track.get(), "arm", threeKeys, angles,
                                                none, listOf<KTVector3>({})),
              1);
    EXPECT_EQ(track->getPartName(), "arm");
    EXPECT_EQ(track->useOrientations(), 1);
    EXPECT_EQ(track->usePositions(), 0);
    ASSERT_EQ(track->getNumStates(), 3u);
    for (unsigned int i = 0; i < 3; ++i) {
        EXPECT_EQ((*track)[i]->isValid(), 1);
        EXPECT_EQ((*track)[i]->getKey(), 0.0);
        EXPECT_TRUE((*track)[i]->getPosition() == KTVector3(0, 0, 0));
        EXPECT_TRUE((*track)[i]->getOrientation() == KTAngle(i + 1.0, 0, 0));
    }

    // Positions alone: keys carry them, but the track does not apply them.
    ASSERT_EQ(KTComponentAnimationAccess::build(animation, track.get(), "leg", none,
                                                listOf<KTAngle>({}), threeKeys, positions),
              1);
    EXPECT_EQ(track->useOrientations(), 0);
    EXPECT_EQ(track->usePositions(), 0);
    ASSERT_EQ(track->getNumStates(), 3u);
    EXPECT_TRUE((*track)[2]->getPosition() == KTVector3(3, 3, 3));
    EXPECT_TRUE((*track)[2]->getOrientation() == KTAngle(0, 0, 0));

    // Both lists, equal lengths.
    ASSERT_EQ(KTComponentAnimationAccess::build(animation, track.get(), "leg", threeKeys, angles,
                                                threeKeys, positions),
              1);
    EXPECT_TRUE((*track)[1]->getPosition() == KTVector3(2, 2, 2));
    EXPECT_TRUE((*track)[1]->getOrientation() == KTAngle(2, 0, 0));

    // No keys at all: an empty, named track.
    ASSERT_EQ(KTComponentAnimationAccess::build(animation, track.get(), "head", none,
                                                listOf<KTAngle>({}), none, listOf<KTVector3>({})),
              1);
    EXPECT_EQ(track->getPartName(), "head");
    EXPECT_EQ(track->getNumStates(), 0u);
    EXPECT_EQ(track->useOrientations(), 0);
}

TEST(ComponentAnimationBuild, MismatchedOrShortListsLeaveAClearedNamedTrack) {
    KTComponentAnimation animation;
    std::unique_ptr<KTPartAnimation> track(newTrack("old", 4));
    const auto twoKeys = listOf<float>({0.0f, 1.0f});
    const auto threeKeys = listOf<float>({0.0f, 1.0f, 2.0f});
    const auto twoAngles = listOf<KTAngle>({KTAngle(1, 0, 0), KTAngle(2, 0, 0)});
    const auto threePositions =
        listOf<KTVector3>({KTVector3(1, 1, 1), KTVector3(2, 2, 2), KTVector3(3, 3, 3)});

    EXPECT_EQ(KTComponentAnimationAccess::build(animation, track.get(), "arm", twoKeys, twoAngles,
                                                threeKeys, threePositions),
              0);
    EXPECT_EQ(track->getPartName(), "arm");
    EXPECT_EQ(track->getNumStates(), 0u);
    EXPECT_EQ(track->useOrientations(), 1);
    EXPECT_EQ(track->usePositions(), 0);

    // A values list shorter than its keys list raises the bounds error once
    // the missing value is reached; the keys built so far stay in the track.
    EXPECT_THROW(KTComponentAnimationAccess::build(animation, track.get(), "arm", threeKeys,
                                                   twoAngles, listOf<float>({}),
                                                   listOf<KTVector3>({})),
                 RWBoundsErr);
    EXPECT_EQ(track->getNumStates(), 2u);
}
