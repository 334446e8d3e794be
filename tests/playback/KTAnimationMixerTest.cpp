#include <cmath>
#include <random>
#include <vector>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include <gtest/gtest.h>

namespace {

// Two animations of one part "P" at 1 key per second: Walk moves x from 0 to
// 1 in one second, Run moves y from 0 to 4 in two seconds. Part "Q" is
// animated by Walk only.
struct Mixer : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component = world.addComponent("Figure");
        p = transformOf(component->addLogicalPart("P"));
        q = transformOf(component->addLogicalPart("Q"));
        q->translation.setValue(0, 0, 9);
        addTrack(walk, "P", {KTVector3(0, 0, 0), KTVector3(1, 0, 0)});
        addTrack(walk, "Q", {KTVector3(0, 0, 1), KTVector3(0, 0, 3)});
        addTrack(run, "P", {KTVector3(0, 0, 0), KTVector3(0, 2, 0), KTVector3(0, 4, 0)});
        mixer = KTAnimationMixer(component);
        a = mixer.addAction(&walk);
        b = mixer.addAction(&run);
        for (KTAnimationAction* action : {a, b}) {
            KTAnimationClip::Timing timing;
            timing.keysPerSecond = 1.0;
            action->setTiming(timing);
        }
        mixer.setCallback(&Mixer::record, this);
    }
    static void addTrack(KTComponentAnimation& animation, const char* part,
                         std::vector<KTVector3> positions) {
        auto* track = new KTPartAnimation;
        track->setPartName(part);
        track->setUsePositions(1);
        for (const KTVector3& position : positions)
            track->appendState(new KTAnimationState(0.0, position, KTAngle(0, 0, 0)));
        animation.addPartAnimation(track);
    }
    static SoTransform* transformOf(KTPart* part) {
        return static_cast<SoTransform*>(part->getPart("transform", TRUE));
    }
    static void record(void* data, KTAnimationMixer*, KTAnimationAction* action,
                       KTAnimationAction::Event event) {
        auto* self = static_cast<Mixer*>(data);
        self->events.push_back({action, event});
    }
    SbVec3f at(SoTransform* node) const { return node->translation.getValue(); }

    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* p = nullptr;
    SoTransform* q = nullptr;
    KTComponentAnimation walk;
    KTComponentAnimation run;
    KTAnimationMixer mixer;
    KTAnimationAction* a = nullptr;
    KTAnimationAction* b = nullptr;
    struct Heard {
        KTAnimationAction* action;
        KTAnimationAction::Event event;
    };
    std::vector<Heard> events;
};

TEST_F(Mixer, Validity) {
    KTAnimationMixer unbound;
    EXPECT_EQ(unbound.addAction(&walk), nullptr);
    EXPECT_EQ(mixer.addAction(static_cast<KTComponentAnimation*>(nullptr)), nullptr);
    EXPECT_EQ(a->crossFadeTo(*a, 1.0, 0), 0);
    KTAnimationAction copy(*a); // of no mixer: it cannot fade into the mixer's actions
    EXPECT_EQ(copy.getMixer(), nullptr);
    EXPECT_EQ(copy.crossFadeTo(*b, 1.0, 0), 0);
    KTAnimationMixer other(component);
    KTAnimationAction* stranger = other.addAction(&walk);
    EXPECT_EQ(a->crossFadeTo(*stranger, 1.0, 0), 0);
    EXPECT_EQ(mixer.removeAction(stranger), 0);
    KTAnimationClip::Timing zeroRate;
    zeroRate.keysPerSecond = 0.0;
    EXPECT_EQ(a->setTiming(zeroRate), 0);
    EXPECT_EQ(a->setPartWeights({1.0f, NAN}), 0);
    EXPECT_EQ(a->setPartWeight("Hand", 0.5), 0) << "no such part";
    EXPECT_EQ(a->setPartWeight("Q", 1e300), 0) << "too large for a float";
    EXPECT_EQ(a->limitToParts({"P", "Hand"}), 0);
    EXPECT_EQ(copy.setPartWeight("P", 0.5), 0) << "of no mixer";
    EXPECT_EQ(a->getPartWeight("Q"), 1.0);
    EXPECT_EQ(mixer.addAction(&walk)->getClip(), a->getClip()) << "one clip per animation";

    a->play();
    for (double bad : {-1.0, double(NAN), double(INFINITY)})
        mixer.advance(bad);
    EXPECT_EQ(a->getTime(), 0.0);
    EXPECT_EQ(mixer.getNumParts(), 2u) << "P and Q, each bound once";
}

TEST_F(Mixer, OneActionWritesItsClipAndPartsNothingAnimatesGoBackToRestOnce) {
    a->play();
    mixer.advance(0.25);
    EXPECT_FLOAT_EQ(at(p)[0], 0.25f);
    EXPECT_FLOAT_EQ(at(q)[2], 1.5f);
    a->stop();
    mixer.advance(0.25);
    EXPECT_FLOAT_EQ(at(p)[0], 0.0f) << "stopped: the rest pose";
    EXPECT_FLOAT_EQ(at(q)[2], 9.0f);
    q->translation.setValue(1, 2, 3);
    mixer.advance(0.25);
    EXPECT_EQ(at(q), SbVec3f(1, 2, 3)) << "then left to the host";
}

TEST_F(Mixer, CrossfadeBlendsByRisingWeightAndEndsWithTheTarget) {
    a->play();
    mixer.advance(0.0);
    ASSERT_EQ(a->crossFadeTo(*b, 1.0, 0), 1);
    EXPECT_EQ(b->getTime(), 0.0);
    mixer.advance(0.25);
    EXPECT_DOUBLE_EQ(a->getEffectiveWeight(), 0.75);
    EXPECT_DOUBLE_EQ(b->getEffectiveWeight(), 0.25);
    // P: walk at 0.25 s (x 0.25) and run at 0.25 s (y 0.5), weighted.
    EXPECT_NEAR(at(p)[0], 0.75 * 0.25, 1e-6);
    EXPECT_NEAR(at(p)[1], 0.25 * 0.5, 1e-6);
    // Q, which only walk animates, takes the missing weight from its rest pose.
    EXPECT_NEAR(at(q)[2], 0.75 * 1.5 + 0.25 * 9, 1e-5);
    mixer.advance(0.75);
    EXPECT_EQ(a->isActive(), 0);
    EXPECT_DOUBLE_EQ(b->getEffectiveWeight(), 1.0);
    int fadesDone = 0;
    for (const Heard& heard : events)
        fadesDone += heard.event == KTAnimationAction::FADE_DONE;
    EXPECT_EQ(fadesDone, 2);
}

// The transitions other runtimes have got wrong, one row each.
TEST_F(Mixer, TransitionsStayContinuous) {
    // Interrupted half-way and turned back: the weights go on from where they are.
    a->play();
    a->crossFadeTo(*b, 1.0, 0);
    mixer.advance(0.5);
    b->crossFadeTo(*a, 1.0, 0);
    mixer.advance(0.1);
    EXPECT_NEAR(a->getEffectiveWeight(), 0.55, 1e-9);
    EXPECT_NEAR(b->getEffectiveWeight(), 0.45, 1e-9);

    // Asked again every frame: the fade is not restarted.
    b->stop();
    a->stop();
    a->play();
    for (int frame = 0; frame < 8; ++frame) {
        a->crossFadeTo(*b, 1.0, 0);
        mixer.advance(0.125);
    }
    EXPECT_EQ(a->isActive(), 0);
    EXPECT_DOUBLE_EQ(b->getEffectiveWeight(), 1.0);

    // Warped: the speeds meet during the fade and are the actions' own after it.
    b->stop();
    a->play();
    a->setSpeed(1.0);
    b->setSpeed(1.5);
    a->crossFadeTo(*b, 1.0, 1);
    EXPECT_DOUBLE_EQ(b->getEffectiveSpeed(), 1.5 * 2.0);
    mixer.advance(0.5);
    EXPECT_NE(a->getEffectiveSpeed(), 1.0);
    mixer.advance(0.5);
    EXPECT_DOUBLE_EQ(b->getEffectiveSpeed(), 1.5);
    a->play();
    EXPECT_DOUBLE_EQ(a->getEffectiveSpeed(), 1.0);

    // Faded out, then played again: from its beginning, unless told to keep its time.
    a->stop();
    a->play();
    mixer.advance(0.5);
    a->fadeOut(0.2);
    mixer.advance(0.2);
    ASSERT_EQ(a->isActive(), 0);
    a->play();
    EXPECT_EQ(a->getTime(), 0.0);
    mixer.advance(0.5);
    a->setKeepTime(1);
    a->fadeOut(0.0);
    a->play();
    EXPECT_EQ(a->getTime(), 0.5);
}

// Over random crossfades no tick moves a part further than the two
// animations' own steps plus the weight's share of the distance between them.
TEST_F(Mixer, RandomCrossfadesHaveNoSteps) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> tick(0.0, 0.05);
    std::uniform_real_distribution<double> fade(0.05, 1.5);
    // Back and forth: a loop's jump back to the start would be a step of the
    // animation itself.
    for (KTAnimationAction* action : {a, b}) {
        KTAnimationClip::Timing timing = action->getTiming();
        timing.wrap = KTAnimationClip::PING_PONG;
        action->setTiming(timing);
    }
    a->play();
    SbVec3f previous = at(p);
    double previousWeight = 0.0;
    for (int step = 0; step < 2000; ++step) {
        if (step % 97 == 0) {
            KTAnimationAction* from = a->getEffectiveWeight() >= b->getEffectiveWeight() ? a : b;
            from->crossFadeTo(from == a ? *b : *a, fade(random), static_cast<int>(step % 2));
        }
        const double elapsed = tick(random);
        mixer.advance(elapsed);
        const SbVec3f now = at(p);
        // Walk moves 1 per second, run 2 per second at most, sped up at most
        // 2 times by a warp; the two poses are at most sqrt(1 + 16) apart.
        const double ownSteps = (1.0 + 2.0) * 2.0 * elapsed * 1.5;
        const double weightShare =
            std::fabs(b->getEffectiveWeight() - previousWeight) * std::sqrt(17.0) * 2.0;
        EXPECT_LE((now - previous).length(), ownSteps + weightShare + 1e-5) << "step " << step;
        previous = now;
        previousWeight = b->getEffectiveWeight();
    }
}

TEST_F(Mixer, AdditiveActionsAddOntoTheBlendAndMasksKeepPartsOut) {
    a->play();
    b->setBlendMode(KTAnimationAction::ADDITIVE);
    b->setWeight(0.5);
    b->play();
    mixer.advance(0.5);
    EXPECT_NEAR(at(p)[0], 0.5, 1e-6);
    EXPECT_NEAR(at(p)[1], 0.5 * 1.0, 1e-6) << "half of run's rise from its first key";

    b->stop();
    ASSERT_EQ(a->limitToParts({"P"}), 1);
    mixer.advance(0.25);
    EXPECT_NEAR(at(p)[0], 0.75, 1e-6);
    EXPECT_FLOAT_EQ(at(q)[2], 9.0f) << "masked out: the rest pose";
}

TEST_F(Mixer, WritesNothingOnceItsComponentLeftTheWorld) {
    a->play();
    mixer.advance(0.25);
    const SbVec3f before = at(p);
    component->ref();
    world.removeComponent(component);
    mixer.advance(0.25);
    EXPECT_EQ(mixer.isComponentPresent(), 0);
    EXPECT_EQ(at(p), before);
    component->unref();
}

TEST_F(Mixer, CallbackMayRemoveActionsWhileEventsAreReported) {
    struct Remover {
        static void remove(void*, KTAnimationMixer* mixer, KTAnimationAction* action,
                           KTAnimationAction::Event) {
            mixer->removeAction(action);
        }
    };
    mixer.setCallback(&Remover::remove, nullptr);
    a->play();
    b->play();
    mixer.advance(2.5); // both loop
    EXPECT_EQ(mixer.getNumActions(), 0u);
}

} // namespace
