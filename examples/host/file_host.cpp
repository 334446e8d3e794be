// A host that plays a world read from a file with no animation code of its
// own: the world names the animation each component plays (a
// KTAnimationPlayback node), KTWorldAnimations makes the players, and the
// world driver advances them by the real time between its firings, so the
// motion's speed does not depend on the timer's period. It plays half a
// second, snapshots the pose, seeks, restores the snapshot and resets.
//
//   ktrt_file_host [WORLD.iv]    (default: examples/chest-play.iv)
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <Inventor/SbTime.h>
#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoTransform.h>
#include <Inventor/sensors/SoSensorManager.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>
#include <ktrld/KTRegistryLoader.h>

#include <ktrt/ktrt.h>

namespace {

void printLid(const char* label, KTComponentDB& world) {
    KTPart* lid = world.getComponent("Chest")->getLogicalPart("Lid");
    auto* transform = static_cast<SoTransform*>(lid->getPart("transform", TRUE));
    float q[4];
    transform->rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
    double x, y, z;
    KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
    std::printf("%s: lid turned (%.2f, %.2f, %.2f) deg\n", label, x + 0.0, y + 0.0, z + 0.0);
}

} // namespace

int main(int argc, char** argv) {
    const std::string worldPath = argc > 1 ? argv[1] : KTRT_HOST_WORLD;
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // before reading a world that names animations

    // The host knows where its animations live; the world names them.
    const std::string folder = worldPath.substr(0, worldPath.find_last_of('/') + 1);
    KTRegistryLoader::RegisterAnimation("chest", (folder + "chest.kta").c_str());

    KTComponentDB world;
    if (!world.readWorld(worldPath.c_str())) {
        std::fprintf(stderr, "ktrt_file_host: cannot read %s\n", worldPath.c_str());
        return 1;
    }
    KTWorldAnimations animations(&world); // one player per KTAnimationPlayback node
    for (unsigned int i = 0; i < animations.getNumFailures(); ++i)
        std::fprintf(stderr, "ktrt_file_host: %s\n", animations.getFailure(i).data());
    KTAnimationPlayer* player = animations.getPlayer("Chest");
    if (!player) {
        std::fprintf(stderr, "ktrt_file_host: %s plays nothing on Chest\n", worldPath.c_str());
        return 1;
    }
    std::printf("%u player(s); Chest: %s, %s, %g keys/s, %.2f s a cycle\n",
                animations.getNumPlayers(),
                player->getInterpolation() == KTAnimationClip::LINEAR ? "linear" : "not linear",
                player->getWrapMode() == KTAnimationClip::PING_PONG ? "ping-pong" : "other",
                player->getSampler().getKeyRate(), player->getSampler().getDuration());

    KTWorldDriver driver;
    driver.addWorld(&world);
    for (unsigned int i = 0; i < animations.getNumPlayers(); ++i)
        driver.addPlayer(&world, animations.getPlayer(i)); // advanced by real time
    driver.runWorld(&world);

    // The host's event loop: the sensor fires whenever Coin's timer queue is
    // processed after its interval has passed.
    const SbTime giveUp = SbTime::getTimeOfDay() + SbTime(30.0);
    while (player->getTime() < 0.5 && SbTime::getTimeOfDay() < giveUp) {
        SoDB::getSensorManager()->processTimerQueue();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    driver.stopWorld(&world);
    std::printf("played %s half a second of real time\n",
                player->getTime() >= 0.5 ? "at least" : "less than");

    KTPoseState pose; // the parts' transforms and the players' times
    pose.makeSnapshot(animations);
    const double snapshotTime = player->getTime();
    player->seek(0.75); // 1.5 keys at 2 keys/s
    printLid("at 0.75 s", world);
    pose.restoreFromSnapshot();
    std::printf("restored: time back %d\n", player->getTime() == snapshotTime);
    player->resetState(); // the pose before playing
    printLid("reset", world);

    for (unsigned int i = 0; i < animations.getNumPlayers(); ++i)
        driver.removePlayer(animations.getPlayer(i));
    return 0;
}
