// Builds a one-track animation through the installed headers and library and
// prints it; Coin comes in through ktrt's package.
#include <cstdio>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/ktrt.h>

int main() {
    KTComponentAnimation animation;
    animation.setComponentName("Robot");
    auto* track = new KTPartAnimation();
    track->setPartName("arm");
    track->setUseOrientations(1);
    track->appendState(new KTAnimationState(0.0, KTVector3(1, 2, 3), KTAngle(0, 0, 90)));
    if (!animation.addPartAnimation(track))
        return 1;

    float q[4];
    (*animation[0])[0]->getOrientation().getValue(q);
    const SbRotation expected(SbVec3f(0, 0, 1), 1.5707963f);
    if (!SbRotation(q).equals(expected, 1e-5f))
        return 2;

    std::printf("%s: %u track, %s with %u key\n", animation.getComponentName(),
                animation.getNumPartAnimations(), animation[0]->getPartName().data(),
                animation[0]->getNumStates());
    return 0;
}
