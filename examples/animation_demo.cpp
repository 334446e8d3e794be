// Builds the animation of a small robot by hand, two parts with a few keys
// each, and prints its tracks as a table: what a host does before handing an
// animation to playback.
#include <cstdio>

#include <ktrt/ktrt.h>

namespace {

// A track for `partName` with one key per pose; the track takes the keys.
KTPartAnimation* makeTrack(const char* partName, int useOrientations, int usePositions,
                           const KTAngle* orientations, const KTVector3* positions, int keyCount) {
    auto* track = new KTPartAnimation();
    track->setPartName(partName);
    track->setUseOrientations(useOrientations);
    track->setUsePositions(usePositions);
    for (int i = 0; i < keyCount; ++i)
        track->appendState(new KTAnimationState(i * 0.25, positions[i], orientations[i]));
    return track;
}

void printTrack(KTPartAnimation& track) {
    std::printf("\npart \"%s\": %u keys, useOrientations %d, usePositions %d\n",
                track.getPartName().data(), track.getNumStates(), track.useOrientations(),
                track.usePositions());
    std::printf("  %4s %6s | %9s %9s %9s | %8s %8s %8s\n", "#", "key", "x deg", "y deg", "z deg",
                "pos x", "pos y", "pos z");
    for (unsigned int i = 0; i < track.getNumStates(); ++i) {
        const KTAnimationState& key = *track[i];
        double ax, ay, az, px, py, pz;
        key.getOrientation().getValue(ax, ay, az);
        key.getPosition().getValues(px, py, pz);
        std::printf("  %4u %6.2f | %9.3f %9.3f %9.3f | %8.3f %8.3f %8.3f\n", i, key.getKey(), ax,
                    ay, az, px, py, pz);
    }
}

} // namespace

int main() {
    KTComponentAnimation animation;
    animation.setComponentName("Robot");

    // The arm swings about X and back.
    const KTAngle armTurns[] = {KTAngle(0, 0, 0), KTAngle(45, 0, 0), KTAngle(90, 0, 0),
                                KTAngle(45, 0, 0), KTAngle(0, 0, 0)};
    const KTVector3 armPlaces[] = {KTVector3(), KTVector3(), KTVector3(), KTVector3(), KTVector3()};
    // The head nods and turns while it bobs up and down.
    const KTAngle headTurns[] = {KTAngle(0, 0, 0), KTAngle(10, 30, 0), KTAngle(0, 60, 0),
                                 KTAngle(-10, 30, 0)};
    const KTVector3 headPlaces[] = {KTVector3(0, 1.5, 0), KTVector3(0, 1.6, 0),
                                    KTVector3(0, 1.5, 0), KTVector3(0, 1.4, 0)};

    animation.addPartAnimation(makeTrack("arm", 1, 0, armTurns, armPlaces, 5));
    animation.addPartAnimation(makeTrack("head", 1, 1, headTurns, headPlaces, 4));

    // Each orientation also goes through its quaternion, as playback does.
    float q[4];
    headTurns[1].getValue(q);
    const KTAngle back(q[0], q[1], q[2], q[3]);

    std::printf("animation of \"%s\": %u tracks\n", animation.getComponentName(),
                animation.getNumPartAnimations());
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i)
        printTrack(*animation[i]);
    std::printf("\nhead key 1 as a quaternion: (%.4f, %.4f, %.4f, %.4f) -> angles (%.3f, %.3f, "
                "%.3f)\n",
                q[0], q[1], q[2], q[3], back[0], back[1], back[2]);
    return 0;
}
