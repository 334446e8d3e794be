#include <ktrt/world/KTAnimationPlayback.h>

#include <utility>

#include <ktrt/pose/KTAnimationClip.h>

SO_NODE_SOURCE(KTAnimationPlayback)

KTAnimationPlayback::KTAnimationPlayback() {
    SO_NODE_CONSTRUCTOR(KTAnimationPlayback);
    SO_NODE_ADD_FIELD(animation, (""));
    SO_NODE_ADD_FIELD(speed, (1.0f));
    SO_NODE_ADD_FIELD(wrap, (KTAnimationClip::LOOP));
    SO_NODE_ADD_FIELD(interpolation, (KTAnimationClip::LINEAR));
    SO_NODE_ADD_FIELD(keyRate, (30.0f));
    SO_NODE_ADD_FIELD(cycleLength, (0.0f));
    SO_NODE_ADD_FIELD(playing, (TRUE));
    SO_NODE_ADD_FIELD(positions, (FALSE));
    SO_NODE_ADD_FIELD(weight, (1.0f));
    SO_NODE_ADD_FIELD(blend, (REPLACE));
    SO_NODE_ADD_FIELD(parts, (""));
    // No part named: every part plays.
    parts.setNum(0);
    parts.setDefault(TRUE);
    // The clip's modes, under their names in a file.
    for (const auto& [name, value] : {std::pair{"LOOP", KTAnimationClip::LOOP},
                                      {"CLAMP", KTAnimationClip::CLAMP},
                                      {"PING_PONG", KTAnimationClip::PING_PONG}})
        fieldData->addEnumValue("Wrap", name, value);
    SO_NODE_SET_SF_ENUM_TYPE(wrap, Wrap);
    for (const auto& [name, value] : {std::pair{"STEP", KTAnimationClip::STEP},
                                      {"LINEAR", KTAnimationClip::LINEAR},
                                      {"HOLD", KTAnimationClip::HOLD}})
        fieldData->addEnumValue("Interpolation", name, value);
    SO_NODE_SET_SF_ENUM_TYPE(interpolation, Interpolation);
    SO_NODE_DEFINE_ENUM_VALUE(Blend, REPLACE);
    SO_NODE_DEFINE_ENUM_VALUE(Blend, ADDITIVE);
    SO_NODE_SET_SF_ENUM_TYPE(blend, Blend);
}

KTAnimationPlayback::~KTAnimationPlayback() = default;

void KTAnimationPlayback::initClass() {
    if (getClassTypeId() == SoType::badType())
        SO_NODE_INIT_CLASS(KTAnimationPlayback, SoNode, "Node");
}
