#pragma once

#include <Inventor/fields/SoMFString.h>
#include <Inventor/fields/SoSFBool.h>
#include <Inventor/fields/SoSFEnum.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoNode.h>
#include <Inventor/nodes/SoSubNode.h>

#include <ktrt/visibility.h>

/// A node of a world file that says how a component plays: put it under the
/// component's geometry and KTWorldAnimations binds the named animation to
/// that component with these settings. It has no effect on rendering.
///
/// \code
/// KTAnimationPlayback { animation "chest" speed 1 wrap LOOP interpolation LINEAR }
/// \endcode
///
/// Call initClass() after KTComponentLibrary::init() and before reading such
/// a file. A file that declares the node's fields (`fields [ SFString
/// animation, ... ]`) also reads where the class is not registered.
class KTRT_API KTAnimationPlayback : public SoNode {
    typedef SoNode inherited;
    SO_NODE_HEADER(KTAnimationPlayback);

public:
    /// How the node's animation enters the component's pose, as
    /// KTAnimationAction::BlendMode.
    enum Blend { REPLACE, ADDITIVE };

    /// The registered name of the animation to play; "" plays nothing.
    SoSFString animation;
    /// Multiplies elapsed time; 1 by default, negative plays backwards.
    SoSFFloat speed;
    /// A KTAnimationClip::WrapMode, by its name in a file: LOOP (default),
    /// CLAMP or PING_PONG.
    SoSFEnum wrap;
    /// A KTAnimationClip::Interpolation, by its name in a file: LINEAR
    /// (default), STEP or HOLD.
    SoSFEnum interpolation;
    /// Keys per second, 30 by default.
    SoSFFloat keyRate;
    /// Seconds of one cycle over which LINEAR and HOLD play the keys at the
    /// fractions of the file's "Key" lists; 0 (the default) plays them evenly
    /// spaced at the key rate.
    SoSFFloat cycleLength;
    /// Whether the player starts playing; TRUE by default.
    SoSFBool playing;
    /// Whether tracks that have position keys play them (tracks read from a
    /// file play orientations only); FALSE by default.
    SoSFBool positions;
    /// The animation's weight among the component's playback nodes; 1 by
    /// default. Finite and at least 0; above 1 outweighs the other nodes.
    /// A weight the mixer refuses (negative, not finite) leaves it at 1. A
    /// component with several nodes, or one whose weight is not 1, whose
    /// blend is ADDITIVE or that names parts, plays them through one
    /// KTAnimationMixer (see KTWorldAnimations).
    SoSFFloat weight;
    /// REPLACE (default): blended with the other nodes by weight; ADDITIVE:
    /// its difference from its own first pose added on top, scaled by the
    /// weight.
    SoSFEnum blend;
    /// The parts (KTPart names) the animation may move; empty (the default)
    /// for all of them. Its tracks of other parts weigh 0, and names of
    /// parts the component lacks are ignored.
    SoMFString parts;

    /// A node with the default values.
    KTAnimationPlayback();
    /// Registers the class with Coin; later calls do nothing.
    static void initClass();

protected:
    /// Protected: a node goes away when its last reference is released.
    ~KTAnimationPlayback() override;
};
