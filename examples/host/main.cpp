// A small host of the ktrt library. It builds a world in code (a chest whose
// lid is a logical part, with behaviors and attributes), loads the lid's
// animation through the registry loader, and runs the world with the world
// driver for one simulated second (240 ticks of 1/240 s) while the chest plays
// one animation frame on every tick and slides a little. Half-way it takes a
// snapshot of the world (and of the lid's pose, which a world snapshot does
// not cover: it records each component's own transform, not its parts'); at
// the end it restores both and prints what happened.
//
//   ktrt_host [ANIMATION.kta]    (default: the chest animation of examples/)
#include <chrono>
#include <cstdio>
#include <thread>

#include <Inventor/SbColor.h>
#include <Inventor/SbTime.h>
#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoTransform.h>
#include <Inventor/sensors/SoSensorManager.h>

#include <ktcp/KTColorAttribute.h>
#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTFloatAttribute.h>
#include <ktcp/KTPart.h>
#include <ktcp/KTStringAttribute.h>
#include <ktrld/KTRegistryLoader.h>

#include <ktrt/ktrt.h>

namespace {

constexpr unsigned long totalTicks = 240; // one second at the driver's 1/240 s
// Half-way, on a tick that leaves the lid on a middle key of its three.
constexpr unsigned long snapshotTick = totalTicks / 2 - 1;

// A component that plays one animation frame per tick of the world driver and
// slides 1 cm along x, so that the world snapshot has a pose to put back.
class AnimatedChest : public KTComponent {
public:
    void tick() override {
        KTComponent::tick(); // keeps the tick count
        if (player) {
            player->update();
            ++framesPlayed;
        }
        SoTransform* own = transformOf(this);
        const SbVec3f at = own->translation.getValue();
        own->translation.setValue(at[0] + 0.01f, at[1], at[2]);
    }

    static SoTransform* transformOf(SoBaseKit* kit) {
        return static_cast<SoTransform*>(kit->getPart("transform", TRUE));
    }

    KTAnimationInstance* player = nullptr; // owned by main()
    unsigned long framesPlayed = 0;
};

void printPose(const char* label, SoTransform* chest, SoTransform* lid) {
    float q[4];
    lid->rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
    double x, y, z;
    KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
    const SbVec3f& lidAt = lid->translation.getValue();
    std::printf("%-9s chest x %.2f | lid at (%.3f, %.3f, %.3f) turned (%.2f, %.2f, %.2f) deg\n",
                label, chest->translation.getValue()[0], lidAt[0], lidAt[1], lidAt[2], x + 0.0,
                y + 0.0, z + 0.0);
}

float weightOf(KTComponent* component) {
    return static_cast<KTFloatAttribute*>(component->getAttribute("weight"))->getValue();
}

} // namespace

int main(int argc, char** argv) {
    const char* animationPath = argc > 1 ? argv[1] : KTRT_HOST_ANIMATION;
    KTComponentLibrary::init(); // Coin and the component library, once

    // The world: one chest with a hinged lid, two behaviors, three attributes.
    // The world holds a reference to the chest; the chest owns its attributes.
    KTComponentDB world;
    auto* chest = new AnimatedChest();
    chest->setName("Chest");
    world.addComponent(chest);
    KTPart* lid = chest->addLogicalPart("Lid");
    SoTransform* lidTransform = AnimatedChest::transformOf(lid);
    lidTransform->translation.setValue(0.0f, 0.35f, 0.0f);
    lidTransform->center.setValue(0.0f, 0.0f, -0.3f);
    chest->addBehavior("Creak", /*activatedAtStartup=*/1);
    chest->addBehavior("Glow");
    chest->addAttribute(new KTFloatAttribute("weight", 12.5f));
    chest->addAttribute(new KTColorAttribute("color", SbColor(0.55f, 0.35f, 0.15f)));
    chest->addAttribute(new KTStringAttribute("owner", "Ada"));

    // The animation, found by name through the registry loader.
    KTRegistryLoader::RegisterAnimation("chest-lid", animationPath);
    KTComponentAnimation animation;
    if (!animation.loadAnimationFromFile("chest-lid")) {
        if (animation.getErrorMessage().isNull())
            std::fprintf(stderr, "ktrt_host: cannot read %s\n", animationPath);
        else
            std::fprintf(stderr, "ktrt_host: %s:%d: %s\n", animationPath, animation.getLineNumber(),
                         animation.getErrorMessage().data());
        return 1;
    }
    KTPartAnimation* lidTrack = nullptr;
    if (!animation.getPartAnimation("Lid", lidTrack)) {
        std::fprintf(stderr, "ktrt_host: %s has no track for the part Lid\n", animationPath);
        return 1;
    }
    // A track read from a file plays its orientations only (usePositions() is
    // 0): the lid turns about its hinge and stays where the world put it.
    std::printf("animation %s: %u track(s), Lid with %u keys, positions played: %d\n",
                animationPath, animation.getNumPartAnimations(), lidTrack->getNumStates(),
                lidTrack->usePositions());

    KTAnimationInstance player(chest, &animation);
    chest->player = &player;

    // Run the world: the driver's timer sensor fires whenever Coin's timer
    // queue is processed after its interval has passed, as a host's event loop
    // would do it.
    KTWorldDriver driver;
    driver.addWorld(&world);
    driver.runWorld(&world);
    std::printf("running: Creak active %d, Glow active %d\n",
                chest->getBehavior("Creak").isActive(), chest->getBehavior("Glow").isActive());

    KTWorldState worldState;
    KTObjectState lidState;
    const SbTime giveUp = SbTime::getTimeOfDay() + SbTime(30.0);
    while (chest->getTickCount() < totalTicks && SbTime::getTimeOfDay() < giveUp) {
        SoDB::getSensorManager()->processTimerQueue();
        if (lidState.transformSet() == false && chest->getTickCount() >= snapshotTick) {
            worldState.makeSnapshot(&world);
            lidState.setTransform(lidTransform);
            std::printf("snapshot at tick %lu, frame %lu\n", chest->getTickCount(),
                        chest->framesPlayed);
            printPose("snapshot", AnimatedChest::transformOf(chest), lidTransform);
            // Changes made after the snapshot, for the restore to undo.
            static_cast<KTFloatAttribute*>(chest->getAttribute("weight"))->setValue(99.0f);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    driver.stopWorld(&world); // deactivates Creak
    chest->player = nullptr;
    std::printf("ran %lu ticks, played %lu frames\n", chest->getTickCount(), chest->framesPlayed);
    if (!lidState.transformSet()) {
        std::fprintf(stderr, "ktrt_host: the driver never reached tick %lu\n", snapshotTick);
        return 1;
    }

    printPose("end", AnimatedChest::transformOf(chest), lidTransform);
    std::printf("end       weight %.1f, Creak active %d\n", weightOf(chest),
                chest->getBehavior("Creak").isActive());

    worldState.restoreFromSnapshot(&world); // transform, attributes, behaviors
    lidState.restoreTransform(lidTransform);
    printPose("restored", AnimatedChest::transformOf(chest), lidTransform);
    std::printf("restored  weight %.1f, Creak active %d\n", weightOf(chest),
                chest->getBehavior("Creak").isActive());
    return 0;
}
