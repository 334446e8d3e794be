#include "PoseClip.h"

#include <Inventor/nodes/SoTransform.h>

#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace ktrt_tool {

PoseClip samplePlayback(KTAnimationInstance& instance, KTComponentAnimation& animation,
                        const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                        int frames, double fps) {
    PoseClip clip;
    const std::size_t samples = static_cast<std::size_t>(frames) + 1;
    std::vector<const SoTransform*> transforms;
    std::vector<bool> moves;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (partNodes[i] < 0)
            continue;
        PoseTrack track;
        track.node = partNodes[i];
        track.rotations.reserve(samples * 4);
        const bool positions = animation[parts[i].track]->usePositions() != 0;
        if (positions)
            track.translations.reserve(samples * 3);
        clip.tracks.push_back(std::move(track));
        transforms.push_back(parts[i].transform);
        moves.push_back(positions);
    }
    clip.times.reserve(samples);
    for (std::size_t k = 0; k < samples; ++k) {
        instance.update();
        clip.times.push_back(static_cast<float>(static_cast<double>(k) / fps));
        for (std::size_t t = 0; t < clip.tracks.size(); ++t) {
            const SoTransform& transform = *transforms[t];
            float q[4];
            transform.rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
            clip.tracks[t].rotations.insert(clip.tracks[t].rotations.end(), q, q + 4);
            if (moves[t]) {
                const float* v = transform.translation.getValue().getValue();
                clip.tracks[t].translations.insert(clip.tracks[t].translations.end(), v, v + 3);
            }
        }
    }
    return clip;
}

} // namespace ktrt_tool
