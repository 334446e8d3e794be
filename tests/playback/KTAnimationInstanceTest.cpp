#include <ktrt/playback/KTAnimationInstance.h>

#include <set>

#include <Inventor/nodes/SoTransform.h>

#include <coinref/CoinRef.h>
#include <rw/RWBoundsErr.h>
#include <ktcp/ktcp.h>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include <gtest/gtest.h>

namespace {

// Key i of a track tagged `tag` sits at (tag, i + 1, 0), turned (i + 1) * 10
// degrees about Z.
void appendKeys(KTPartAnimation* track, int count, float tag) {
    for (int i = 0; i < count; ++i)
        track->appendState(new KTAnimationState(0.0, KTVector3(tag, i + 1.0, 0.0),
                                                KTAngle(0.0, 0.0, (i + 1) * 10.0)));
}

KTPartAnimation* addTrack(KTComponentAnimation& animation, const char* part, int positions = 1,
                          int orientations = 1) {
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
    SoTransform* nodeOf(KTPartAnimation* track) {
        return track->getPartName() == "Lid" ? lid : lock;
    }
    // The pose of key `index` of appendKeys(); past the end, the sentinel's.
    static void expectKey(const SoTransform* node, float tag, int index, int count) {
        const bool past = index >= count;
        EXPECT_EQ(node->translation.getValue(),
                  past ? SbVec3f(0, 0, 0) : SbVec3f(tag, index + 1.0f, 0));
        const SbRotation expected(SbVec3f(0, 0, 1),
                                  past ? 0.0f : static_cast<float>((index + 1) * 10 * M_PI / 180));
        EXPECT_TRUE(node->rotation.getValue().equals(expected, 1e-5f)) << "key " << index;
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* lid = nullptr;
    SoTransform* lock = nullptr;
    KTComponentAnimation animation;
};
using KTAnimationInstanceValidity = AnimationInstance;

} // namespace

TEST_F(KTAnimationInstanceValidity, NullObjectOrAnimationPlaysNothing) {
    appendKeys(addTrack(animation, "Lid"), 2, 1);
    KTComponentAnimation empty;
    KTAnimationInstance instances[] = {{component, nullptr}, {component, &empty}};
    for (KTAnimationInstance& instance : instances) {
        instance.update();
        instance.resetState();
    }
    // Without a component the instance has no entries: the first track raises.
    KTAnimationInstance orphan(nullptr, &animation);
    EXPECT_THROW(orphan.update(), RWBoundsErr);
    orphan.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(0, 0, 0));
}

TEST_F(AnimationInstance, WalksEveryTrackKeyByKeyAndWrapsAfterTheFirstTrack) {
    for (int longerFirst = 0; longerFirst < 2; ++longerFirst) {
        KTComponentAnimation played;
        addTrack(played, "Lid");
        addTrack(played, "Lock");
        // Which track comes first depends on the table's order, not on adding.
        const int firstCount = longerFirst ? 5 : 3, secondCount = longerFirst ? 3 : 5;
        appendKeys(played[0], firstCount, 1);
        appendKeys(played[1], secondCount, 2);
        KTAnimationInstance instance(component, &played);
        for (int frame = 0; frame < 2 * firstCount; ++frame) {
            instance.update();
            expectKey(nodeOf(played[0]), 1, frame % firstCount, firstCount);
            expectKey(nodeOf(played[1]), 2, frame % firstCount, secondCount);
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
            EXPECT_EQ(lid->translation.getValue() == untouchedPlace, !positions);
            EXPECT_EQ(lid->rotation.getValue().equals(untouchedTurn, 1e-6f) != FALSE,
                      !orientations);
        }
    }
    KTComponentAnimation played;
    addTrack(played, "Lid", 0, 0);
    addTrack(played, "Lock", 0, 0);
    played[1]->setUsePositions(1);
    appendKeys(played[0], 2, 1);
    appendKeys(played[1], 4, 2);
    KTAnimationInstance instance(component, &played);
    for (int frame = 0; frame < 3; ++frame)
        instance.update();
    EXPECT_EQ(nodeOf(played[1])->translation.getValue(), SbVec3f(2, 1, 0)); // wrapped after 2

    // A first track without keys leaves the frame count to the next one.
    KTComponentAnimation gap;
    addTrack(gap, "Lid");
    addTrack(gap, "Lock");
    appendKeys(gap[1], 3, 2);
    KTAnimationInstance gapped(component, &gap);
    for (int frame = 0; frame < 5; ++frame)
        gapped.update();
    expectKey(nodeOf(gap[1]), 2, 1, 3);
}

TEST_F(AnimationInstance, ResetRestoresAllFiveFieldsAndKeepsTheFrame) {
    lid->set("translation 1 2 3 rotation 0 1 0 0.5 scaleFactor 2 2 2 "
             "scaleOrientation 1 0 0 0.25 center 4 5 6");
    coinref::CoinRef<SoTransform> saved(new SoTransform);
    saved->copyFieldValues(lid);
    appendKeys(addTrack(animation, "Lid"), 4, 1);
    KTAnimationInstance instance(component, &animation);
    instance.update();
    instance.update();
    lid->setToDefaults();

    instance.resetState();
    EXPECT_TRUE(lid->fieldsAreEqual(saved.get()));
    instance.update();
    expectKey(lid, 1, 2, 4);
}

TEST_F(AnimationInstance, TracksOfMissingPartsWriteNothingButCountForTheFrames) {
    for (const char* part : {"Ghost", "Lid", "Spirit"})
        addTrack(animation, part);
    for (unsigned int i = 0; i < 3; ++i)
        appendKeys(animation[i], animation[i]->getPartName() == "Lid" ? 4 : 2, 1);
    KTAnimationInstance instance(component, &animation);
    const int frames = animation[0]->getNumStates();
    for (int frame = 0; frame < 2 * frames; ++frame) {
        instance.update();
        expectKey(lid, 1, frame % frames, 4);
    }
}

TEST_F(AnimationInstance, ATrackAddedLaterRaisesAtItsIndexBeforeWritingIt) {
    appendKeys(addTrack(animation, "Lid"), 3, 1);
    appendKeys(addTrack(animation, "Lock"), 3, 2);
    KTAnimationInstance instance(component, &animation);
    instance.update();
    std::set<unsigned int> places;
    for (const char* name : {"A", "B", "C", "D", "E", "F", "G", "H"}) {
        KTPartAnimation* added = addTrack(animation, name);
        appendKeys(added, 3, 9);
        unsigned int at = 0;
        while (animation[at] != added)
            ++at;
        places.insert(at);
        lid->translation.setValue(7, 7, 7);
        lock->translation.setValue(7, 7, 7);
        try {
            instance.update();
            ADD_FAILURE() << name;
        } catch (const RWBoundsErr& error) {
            EXPECT_EQ(error.index(), at);
            EXPECT_EQ(error.count(), 2u);
        }
        // Tracks before it play frame 1; nothing at or after it is written.
        for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
            if (animation[i] == added)
                continue;
            SoTransform* node = nodeOf(animation[i]);
            if (i < at)
                expectKey(node, node == lid ? 1 : 2, 1, 3);
            else
                EXPECT_EQ(node->translation.getValue(), SbVec3f(7, 7, 7)) << name;
        }
        animation.removePartAnimation(name);
    }
    EXPECT_TRUE(places.count(0) || places.count(1)) << "no track added before an old one";
    instance.update();
    expectKey(lid, 1, 1, 3);
}

TEST_F(AnimationInstance, CopiesShareSavedTransformsWithOneReferenceEach) {
    lid->translation.setValue(1, 2, 3);
    appendKeys(addTrack(animation, "Lid"), 3, 1);
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
