#include <ktrt/world/KTAnimationPlayback.h>

SO_NODE_SOURCE(KTAnimationPlayback)

KTAnimationPlayback::KTAnimationPlayback() {
    SO_NODE_CONSTRUCTOR(KTAnimationPlayback);
    SO_NODE_ADD_FIELD(animation, (""));
    SO_NODE_ADD_FIELD(speed, (1.0f));
    SO_NODE_ADD_FIELD(wrap, (LOOP));
    SO_NODE_ADD_FIELD(interpolation, (LINEAR));
    SO_NODE_ADD_FIELD(keyRate, (30.0f));
    SO_NODE_ADD_FIELD(cycleLength, (0.0f));
    SO_NODE_ADD_FIELD(playing, (TRUE));
    SO_NODE_ADD_FIELD(positions, (FALSE));
    SO_NODE_ADD_FIELD(weight, (1.0f));
    SO_NODE_ADD_FIELD(blend, (REPLACE));
    SO_NODE_DEFINE_ENUM_VALUE(Wrap, LOOP);
    SO_NODE_DEFINE_ENUM_VALUE(Wrap, CLAMP);
    SO_NODE_DEFINE_ENUM_VALUE(Wrap, PING_PONG);
    SO_NODE_SET_SF_ENUM_TYPE(wrap, Wrap);
    SO_NODE_DEFINE_ENUM_VALUE(Interpolation, STEP);
    SO_NODE_DEFINE_ENUM_VALUE(Interpolation, LINEAR);
    SO_NODE_DEFINE_ENUM_VALUE(Interpolation, HOLD);
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
