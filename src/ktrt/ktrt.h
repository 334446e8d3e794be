#pragma once

// Umbrella header: every exported class of the library.
#include <ktrt/animation/KTAnimationClip.h>
#include <ktrt/animation/KTAnimationDiagnostics.h>
#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/animation/KTAnimationPlayer.h>
#include <ktrt/animation/KTAnimationSampler.h>
#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/animation/KTAnimationWriter.h>
#include <ktrt/animation/KTAxisAngle.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/animation/KTPartBinding.h>
#include <ktrt/animation/KTPose.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTTransform.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/snapshot/KTAttributeState.h>
#include <ktrt/snapshot/KTBehaviorState.h>
#include <ktrt/snapshot/KTLightState.h>
#include <ktrt/snapshot/KTObjectState.h>
#include <ktrt/snapshot/KTPoseState.h>
#include <ktrt/snapshot/KTViewpointState.h>
#include <ktrt/snapshot/KTWorldState.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>
#include <ktrt/world/KTWorldDriver.h>
