#include "common/PlaySession.h"
#include "common/AnimationFile.h"
#include "common/SourceLine.h"
#include "common/WorldFile.h"

#include <algorithm>
#include <iostream>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/world/KTWorldAnimations.h>

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

bool findPartTransform(KTComponent& component, const std::string& name, KTPart*& part,
                       SoTransform*& transform) {
    part = component.getLogicalPart(RWCString(name.c_str()));
    SoNode* node = part ? part->getPart("transform", TRUE) : nullptr;
    if (!node || !node->isOfType(SoTransform::getClassTypeId()))
        return false;
    transform = static_cast<SoTransform*>(node);
    return true;
}

bool openPlaySession(const char* tool, const PlayInput& input, PlaySession& session,
                     bool requireParts) {
    KTComponentLibrary::init();

    if (!readWorld(tool, input.world, session.world))
        return false;

    TrackFacts facts;
    if (!loadAnimation(tool, input.animation, std::string(tool) + '/' + input.animation,
                       session.animation, &facts))
        return false;

    session.component = chooseComponent(session.world, session.animation, input.component);
    if (!session.component) {
        std::cerr << tool << ": " << escapeBytes(input.world) << " has no component named \""
                  << escapeBytes(input.component) << "\"\n";
        return false;
    }

    KTComponentAnimation& animation = session.animation;
    std::vector<std::string> missing;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        if (input.positions && KTWorldAnimations::hasPositionKeys(*track))
            track->setUsePositions(1);
        KTPart* part = nullptr;
        SoTransform* transform = nullptr;
        if (!findPartTransform(*session.component, track->getPartName().std(), part, transform)) {
            missing.push_back(track->getPartName().std());
            continue;
        }
        session.parts.push_back(AnimatedPart{track->getPartName().std(), part, transform, i});
    }
    // Parts in the order of their tracks in the file.
    const auto placeInFile = [&facts](const AnimatedPart& part) {
        return std::find(facts.fileOrder.begin(), facts.fileOrder.end(), part.name) -
               facts.fileOrder.begin();
    };
    std::stable_sort(session.parts.begin(), session.parts.end(),
                     [&](const AnimatedPart& a, const AnimatedPart& b) {
                         return placeInFile(a) < placeInFile(b);
                     });
    const std::string componentName = escapeBytes(session.component->getName().getString());
    if (requireParts && session.parts.empty()) {
        std::cerr << tool << ": no track of " << escapeBytes(input.animation)
                  << " names a part of component \"" << componentName << "\"\n";
        return false;
    }
    for (const std::string& name : missing) {
        std::cerr << tool << ": component \"" << componentName << "\" has no part \""
                  << escapeBytes(name) << "\"; track skipped\n";
    }
    return true;
}

} // namespace ktrt_tool
