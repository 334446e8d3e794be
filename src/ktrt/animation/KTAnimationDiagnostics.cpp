#include <ktrt/animation/KTAnimationDiagnostics.h>

#include <ktrt/animation/KTComponentAnimation.h>

KTAnimationDiagnostics::~KTAnimationDiagnostics() = default;

int KTAnimationDiagnostics::loadAnimationFromFile(KTComponentAnimation& animation,
                                                  const RWCString& animationName,
                                                  KTAnimationDiagnostics& diagnostics) {
    return animation.readFile(animationName, &diagnostics);
}
