#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

#include <gtest/gtest.h>

namespace {

// Key i of a track tagged `tag` sits at (tag, i + 1, 0), turned (i + 1) * 10
// degrees about Z.
void appendKeys(KTPartAnimation* track, int count, float tag) {
    for (int i = 0; i < count; ++i) {
        track->appendState(new KTAnimationState(0.0, KTVector3(tag, i + 1.0, 0.0),
                                                KTAngle(0.0, 0.0, (i + 1) * 10.0)));
    }
}

KTPartAnimation* addTrack(KTComponentAnimation& animation, const char* part, int positions,
                          int orientations) {
    auto* track = new KTPartAnimation;
    track->setPartName(part);
    track->setUsePositions(positions);
    track->setUseOrientations(orientations);
    animation.addPartAnimation(track);
    return track;
}

struct AnimationInstance : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component = world.addComponent("Chest");
        lid = transformOf(component->addLogicalPart("Lid"));
        lock = transformOf(component->addLogicalPart("Lock", component->getLogicalPart("Lid")));
    }
    static SoTransform* transformOf(KTPart* part) {
        return static_cast<SoTransform*>(part->getPart("transform", TRUE));
    }
    // The pose of key `index` of a track made by appendKeys(); a past-the-end
    // index gets the sentinel's zero pose.
    static void expectKey(const SoTransform* node, float tag, int index, int count) {
        if (index >= count) {
            EXPECT_EQ(node->translation.getValue(), SbVec3f(0, 0, 0));
            EXPECT_TRUE(node->rotation.getValue().equals(SbRotation::identity(), 1e-6f));
            return;
        }
        EXPECT_EQ(node->translation.getValue(), SbVec3f(tag, index + 1.0f, 0));
        const SbRotation expected(SbVec3f(0, 0, 1),
                                  static_cast<float>((index + 1) * 10 * M_PI / 180));
        EXPECT_TRUE(node->rotation.getValue().equals(expected, 1e-5f)) << "key " << index;
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* lid = nullptr;
    SoTransform* lock = nullptr;
    KTComponentAnimation animation;
};

} // namespace

TEST_F(AnimationInstance, NullObjectOrAnimationPlaysNothing) {
    appendKeys(addTrack(animation, "Lid", 1, 1), 2, 1);
    KTAnimationInstance noObject(nullptr, &animation);
    noObject.update();
    noObject.resetState();
    KTAnimationInstance noAnimation(component, nullptr);
    noAnimation.update();
    noAnimation.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(0, 0, 0));
    EXPECT_EQ(noObject.getAnimation(), &animation);
    EXPECT_EQ(noAnimation.getObject(), component);

    KTComponentAnimation empty;
    KTAnimationInstance nothing(component, &empty);
    nothing.update();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(0, 0, 0));
}

TEST_F(AnimationInstance, WalksEveryTrackKeyByKeyAndWrapsAfterTheFirstNonEmptyTrack) {
    for (int longerFirst = 0; longerFirst < 2; ++longerFirst) {
        KTComponentAnimation played;
        addTrack(played, "Lid", 1, 1);
        addTrack(played, "Lock", 1, 1);
        // Which track comes first depends on the table's order, not on adding.
        KTPartAnimation* first = played[0];
        KTPartAnimation* second = played[1];
        const int firstCount = longerFirst ? 5 : 3;
        const int secondCount = longerFirst ? 3 : 5;
        appendKeys(first, firstCount, 1);
        appendKeys(second, secondCount, 2);
        SoTransform* firstNode = first->getPartName() == "Lid" ? lid : lock;
        SoTransform* secondNode = first->getPartName() == "Lid" ? lock : lid;

        KTAnimationInstance instance(component, &played);
        for (int frame = 0; frame < 2 * firstCount; ++frame) {
            instance.update();
            const int key = frame % firstCount;
            expectKey(firstNode, 1, key, firstCount);
            expectKey(secondNode, 2, key, secondCount);
        }
    }
}

TEST_F(AnimationInstance, FlagsChooseWhatIsWrittenAndAFlaglessTrackStillSetsTheFrameCount) {
    const SbVec3f untouchedPlace(7, 7, 7);
    const SbRotation untouchedTurn(SbVec3f(1, 0, 0), 1.0f);
    for (int positions = 0; positions < 2; ++positions) {
        for (int orientations = 0; orientations < 2; ++orientations) {
            lid->translation.setValue(untouchedPlace);
            lid->rotation.setValue(untouchedTurn);
            KTComponentAnimation played;
            appendKeys(addTrack(played, "Lid", positions, orientations), 2, 1);
            KTAnimationInstance instance(component, &played);
            instance.update();
            if (positions)
                EXPECT_EQ(lid->translation.getValue(), SbVec3f(1, 1, 0));
            else
                EXPECT_EQ(lid->translation.getValue(), untouchedPlace);
            if (orientations)
                EXPECT_FALSE(lid->rotation.getValue().equals(untouchedTurn, 1e-6f));
            else
                EXPECT_TRUE(lid->rotation.getValue().equals(untouchedTurn, 1e-6f));
        }
    }
    // The flagless track, first in table order, has 2 keys: the other wraps
    // after 2 frames.
    KTComponentAnimation played;
    addTrack(played, "Lid", 0, 0);
    addTrack(played, "Lock", 0, 0);
    played[0]->setUsePositions(0);
    played[1]->setUsePositions(1);
    appendKeys(played[0], 2, 1);
    appendKeys(played[1], 4, 2);
    SoTransform* driven = played[1]->getPartName() == "Lid" ? lid : lock;
    KTAnimationInstance instance(component, &played);
    for (int frame = 0; frame < 3; ++frame)
        instance.update();
    EXPECT_EQ(driven->translation.getValue(), SbVec3f(2, 1, 0));
}

TEST_F(AnimationInstance, ResetRestoresAllFiveFieldsAndKeepsTheFrame) {
    lid->translation.setValue(1, 2, 3);
    lid->rotation.setValue(SbVec3f(0, 1, 0), 0.5f);
    lid->scaleFactor.setValue(2, 2, 2);
    lid->scaleOrientation.setValue(SbVec3f(1, 0, 0), 0.25f);
    lid->center.setValue(4, 5, 6);
    appendKeys(addTrack(animation, "Lid", 1, 1), 4, 1);
    KTAnimationInstance instance(component, &animation);
    instance.update();
    instance.update();
    lid->scaleFactor.setValue(9, 9, 9);
    lid->scaleOrientation.setValue(SbRotation::identity());
    lid->center.setValue(0, 0, 0);

    instance.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_TRUE(lid->rotation.getValue().equals(SbRotation(SbVec3f(0, 1, 0), 0.5f), 1e-6f));
    EXPECT_EQ(lid->scaleFactor.getValue(), SbVec3f(2, 2, 2));
    EXPECT_TRUE(
        lid->scaleOrientation.getValue().equals(SbRotation(SbVec3f(1, 0, 0), 0.25f), 1e-6f));
    EXPECT_EQ(lid->center.getValue(), SbVec3f(4, 5, 6));
    instance.update();
    expectKey(lid, 1, 2, 4);
}

TEST_F(AnimationInstance, TracksOfMissingPartsWriteNothingButCountForTheFrames) {
    addTrack(animation, "Ghost", 1, 1);
    addTrack(animation, "Lid", 1, 1);
    addTrack(animation, "Spirit", 1, 1);
    for (unsigned int i = 0; i < 3; ++i)
        appendKeys(animation[i], animation[i]->getPartName() == "Lid" ? 4 : 2, 1);
    KTAnimationInstance instance(component, &animation);
    const int frames = animation[0]->getNumStates();
    for (int frame = 0; frame < 2 * frames; ++frame) {
        instance.update();
        expectKey(lid, 1, frame % frames, 4);
    }
    EXPECT_EQ(lock->translation.getValue(), SbVec3f(0, 0, 0));

    // A track added after the instance was built has no part and is skipped.
    appendKeys(addTrack(animation, "Lock", 1, 1), 2, 3);
    instance.update();
    EXPECT_EQ(lock->translation.getValue(), SbVec3f(0, 0, 0));
}

TEST_F(AnimationInstance, CopiesShareSavedTransformsWithOneReferenceEach) {
    lid->translation.setValue(1, 2, 3);
    appendKeys(addTrack(animation, "Lid", 1, 1), 3, 1);
    KTComponentAnimation other;
    auto* original = new KTAnimationInstance(component, &animation);
    original->update();
    KTAnimationInstance copy(*original);
    EXPECT_EQ(copy, *original);
    KTAnimationInstance assigned(component, &other);
    EXPECT_EQ(assigned == *original, 0);
    assigned = *original;
    assigned = assigned;
    EXPECT_EQ(assigned, *original);
    delete original;

    // The copies carry the frame and still hold the saved pose.
    copy.update();
    expectKey(lid, 1, 1, 3);
    copy.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(1, 2, 3));
    assigned.update();
    expectKey(lid, 1, 1, 3);
    assigned = copy;
    assigned.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(1, 2, 3));
}
