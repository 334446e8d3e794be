#include "PlaySession.h"
#include "AnimationFile.h"

#include <iostream>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/geometry/KTVector3.h>

namespace ktrt_tool {

namespace {

KTComponent* chooseComponent(KTComponentDB& world, KTComponentAnimation& animation,
                             const std::string& requested) {
    if (!requested.empty())
        return world.getComponent(requested.c_str());
    const char* intended = animation.getComponentName();
    if (intended && *intended)
        return world.getComponent(intended);
    return world.getComponent(0u);
}

} // namespace

int cycleLength(KTComponentAnimation& animation) {
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        if (animation[i]->getNumStates() > 0)
            return static_cast<int>(animation[i]->getNumStates());
    }
    return 0;
}

// Tracks read from a file keep their position keys but have usePositions 0; a
// track read without position keys holds zero positions, which must not pin
// its part to the origin.
bool hasPositions(KTPartAnimation& track) {
    for (unsigned int k = 0; k < track.getNumStates(); ++k) {
        const KTVector3& position = track[k]->getPosition();
        if (position[0] != 0.0 || position[1] != 0.0 || position[2] != 0.0)
            return true;
    }
    return false;
}

bool openPlaySession(const char* tool, const PlayInput& input, PlaySession& session,
                     bool requireParts) {
    KTComponentLibrary::init();

    const std::string reason = unreadableReason(input.world);
    if (!reason.empty()) {
        std::cerr << tool << ": cannot read " << input.world << ": " << reason << '\n';
        return false;
    }
    if (!session.world.readWorld(input.world.c_str())) {
        std::cerr << tool << ": " << input.world
                  << ": not an Inventor file with KTComponent nodes\n";
        return false;
    }

    if (!loadAnimation(tool, input.animation, std::string(tool) + '/' + input.animation,
                       session.animation))
        return false;

    session.component = chooseComponent(session.world, session.animation, input.component);
    if (!session.component) {
        std::cerr << tool << ": " << input.world << " has no component named \"" << input.component
                  << "\"\n";
        return false;
    }

    KTComponentAnimation& animation = session.animation;
    std::vector<std::string> missing;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        if (input.positions && hasPositions(*track))
            track->setUsePositions(1);
        KTPart* part = session.component->getLogicalPart(track->getPartName());
        if (!part) {
            missing.push_back(track->getPartName().std());
            continue;
        }
        session.parts.push_back(
            AnimatedPart{track->getPartName().std(), part,
                         static_cast<SoTransform*>(part->getPart("transform", TRUE)), i});
    }
    const char* componentName = session.component->getName().getString();
    if (requireParts && session.parts.empty()) {
        std::cerr << tool << ": no track of " << input.animation << " names a part of component \""
                  << componentName << "\"\n";
        return false;
    }
    for (const std::string& name : missing) {
        std::cerr << tool << ": component \"" << componentName << "\" has no part \"" << name
                  << "\"; track skipped\n";
    }
    return true;
}

} // namespace ktrt_tool
