#pragma once

#include <cstdio>
#include <map>
#include <string>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

namespace ktrt_test {

// Every track sorted by name: "name", "o"/"p" for its flags, then each key as
// (position|orientation in degrees).
inline std::string summary(KTComponentAnimation& animation) {
    std::map<std::string, std::string> tracks;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* t = animation[i];
        std::string text = "\"" + t->getPartName().std() + "\"" +
                           (t->useOrientations() ? " o" : "") + (t->usePositions() ? " p" : "");
        for (unsigned int k = 0; k < t->getNumStates(); ++k) {
            const KTVector3& p = (*t)[k]->getPosition();
            const KTAngle& o = (*t)[k]->getOrientation();
            char key[128];
            std::snprintf(key, sizeof key, " (%g %g %g|%.4g %.4g %.4g)", p[0], p[1], p[2], o[0],
                          o[1], o[2]);
            text += key;
        }
        tracks[t->getPartName().std()] = text;
    }
    std::string result;
    for (const auto& entry : tracks)
        result += (result.empty() ? "" : "; ") + entry.second;
    return result;
}

} // namespace ktrt_test
