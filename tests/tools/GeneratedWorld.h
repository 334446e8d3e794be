#pragma once

// A generated component for the export's tests and benchmark: `partCount`
// parts in chains of ten (each nested in the one before), each with a
// translation, a center, one cube and a track of `frames` keys that turns it
// about all three axes; every other track plays positions too.

#include <cmath>
#include <string>

#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

#include "common/PlaySession.h"

inline void generateWorld(ktrt_tool::PlaySession& session, int partCount, int frames) {
    KTComponentLibrary::init();
    session.component = session.world.addComponent("Generated");
    KTPart* previous = nullptr;
    for (int i = 0; i < partCount; ++i) {
        const std::string name = "Part" + std::to_string(i);
        KTPart* part = session.component->addLogicalPart(name.c_str(), i % 10 ? previous : nullptr);
        auto* transform = static_cast<SoTransform*>(part->getPart("transform", TRUE));
        transform->translation.setValue(0.3f * static_cast<float>(i % 10), 0.1f, 0.0f);
        transform->center.setValue(0.0f, 0.05f * static_cast<float>(i % 7), 0.0f);
        static_cast<SoSeparator*>(part->getPart("geometry", TRUE))->addChild(new SoCube);

        auto* track = new KTPartAnimation;
        track->setPartName(name.c_str());
        track->setUseOrientations(1);
        track->setUsePositions(i % 2);
        for (int k = 0; k < frames; ++k) {
            const double phase = 0.01 * k + 0.1 * i;
            track->appendState(new KTAnimationState(
                0.0, KTVector3(std::sin(phase), 0.5 * std::cos(phase), 0.1 * i),
                KTAngle(170.0 * std::sin(phase), 80.0 * std::cos(1.3 * phase),
                        120.0 * std::sin(0.7 * phase))));
        }
        session.animation.addPartAnimation(track);
        previous = part;
    }
    KTComponentAnimation& animation = session.animation;
    for (unsigned int t = 0; t < animation.getNumPartAnimations(); ++t) {
        KTPart* part = session.component->getLogicalPart(animation[t]->getPartName());
        session.parts.push_back(ktrt_tool::AnimatedPart{
            animation[t]->getPartName().std(), part,
            static_cast<SoTransform*>(part->getPart("transform", TRUE)), t});
    }
}
