#include <ktrt/keys/KTAnimationDiagnostics.h>

#include <ktrt/keys/KTComponentAnimation.h>

KTAnimationDiagnostics::~KTAnimationDiagnostics() = default;

int KTAnimationDiagnostics::loadAnimationFromFile(KTComponentAnimation& animation,
                                                  const RWCString& animationName,
                                                  KTAnimationDiagnostics& diagnostics) {
    return animation.readFile(animationName, &diagnostics);
}
