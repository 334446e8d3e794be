// A world played through the driver for thousands of ticks with a snapshot
// taken and put back on every cycle: resident memory must stay flat and the
// last restore must give the snapshot's state exactly.

#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/snapshot/KTWorldState.h>
#include <ktrt/world/KTWorldDriver.h>

#include <gtest/gtest.h>

namespace {

// Resident pages of this process that no file backs (heap, stacks): code
// pages first touched late would otherwise count as growth.
long residentPages() {
    long size = 0, resident = 0, shared = 0;
    std::ifstream("/proc/self/statm") >> size >> resident >> shared;
    return resident - shared;
}

SoTransform* transformOf(KTComponent* component) {
    return static_cast<SoTransform*>(component->getPart("transform", TRUE));
}

// Plays its animation while "Play" is active (from the world's start), and
// drifts its own transform and "fuel" on every tick so that a restore has
// something to undo.
class Player : public KTComponent {
public:
    void play(KTComponentAnimation* animation) {
        instance = std::make_unique<KTAnimationInstance>(this, animation);
    }
    void tick() override {
        KTComponent::tick();
        if (getBehavior("Play").isActive())
            instance->update();
        SoTransform* own = transformOf(this);
        own->translation.setValue(own->translation.getValue() + SbVec3f(1, 0, 0));
        auto* fuel = static_cast<KTFloatAttribute*>(getAttribute("fuel"));
        fuel->setValue(fuel->getValue() - 1);
    }

protected:
    ~Player() override = default;

private:
    std::unique_ptr<KTAnimationInstance> instance;
};

// Each component's x position, fuel and whether it plays.
std::string observe(KTComponentDB& world) {
    std::string seen;
    for (unsigned int i = 0; i < world.getNumComponents(); ++i) {
        KTComponent* component = world.getComponent(i);
        seen += std::to_string(transformOf(component)->translation.getValue()[0]) + " " +
                std::to_string(
                    static_cast<KTFloatAttribute*>(component->getAttribute("fuel"))->getValue()) +
                (component->getBehavior("Play").isActive() ? " playing\n" : "\n");
    }
    return seen;
}

} // namespace

TEST(Soak, PlaybackAndSnapshotCyclesKeepMemoryFlatAndRestoreExactly) {
    KTComponentLibrary::init();
    KTComponentAnimation animation;
    for (const char* part : {"Arm", "Leg"}) {
        auto* track = new KTPartAnimation;
        track->setPartName(part);
        track->setUsePositions(1);
        track->setUseOrientations(1);
        for (int i = 0; i < 24; ++i)
            track->appendState(
                new KTAnimationState(i, KTVector3(i, 0, 1), KTAngle(0, 15.0 * i, 0)));
        animation.addPartAnimation(track);
    }
    KTComponentDB world;
    for (int i = 0; i < 16; ++i) {
        auto* player = new Player;
        player->setName(("Player" + std::to_string(i)).c_str());
        world.addComponent(player);
        player->addLogicalPart("Arm");
        player->addLogicalPart("Leg");
        player->addAttribute(new KTFloatAttribute("fuel", 1000));
        player->addBehavior("Play", 1);
        player->play(&animation);
    }
    KTWorldDriver driver;
    ASSERT_EQ(driver.addWorld(&world), 1);
    ASSERT_EQ(driver.runWorld(&world), 1);

    std::string snapshotState;
    long warmedUp = 0;
    const int cycles = 1500;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == cycles / 5)
            warmedUp = residentPages();
        KTWorldState snapshot;
        snapshot.makeSnapshot(&world);
        snapshotState = observe(world);
        for (int tick = 0; tick < 10; ++tick)
            driver.tickWorlds();
        ASSERT_NE(observe(world), snapshotState);
        KTWorldState kept(snapshot); // restore from a copy of a copy
        snapshot = kept;
        snapshot.restoreFromSnapshot(&world);
        ASSERT_EQ(observe(world), snapshotState) << "cycle " << cycle;
    }
    const long end = residentPages();
    driver.stopWorld(&world);
    EXPECT_EQ(world.getComponent(0u)->getTickCount(), cycles * 10u);

#ifndef KTRT_TEST_SANITIZED
    // The sanitizers keep freed memory in quarantine; only a plain build
    // shows what the process really keeps.
    const long pageKiB = sysconf(_SC_PAGESIZE) / 1024;
    EXPECT_LE((end - warmedUp) * pageKiB, 256)
        << "resident KiB grew from " << warmedUp * pageKiB << " to " << end * pageKiB;
#else
    (void)end;
    (void)warmedUp;
#endif
}
