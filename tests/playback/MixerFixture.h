#pragma once

#include <vector>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationMixer.h>

#include <gtest/gtest.h>

namespace ktrt_test {

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
        KTAnimationClip::Timing timing;
        timing.keysPerSecond = 1.0;
        a = mixer.addAction(&walk, timing);
        b = mixer.addAction(&run, timing);
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
    // How often `action` was heard to report `event`.
    int heard(const KTAnimationAction* action, KTAnimationAction::Event event) const {
        int count = 0;
        for (const Heard& one : events)
            count += one.action == action && one.event == event;
        return count;
    }

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

} // namespace ktrt_test
