#include "gltf/PoseClip.h"

#include <cmath>

#include <Inventor/SbLinear.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTPose.h>

namespace ktrt_tool {

namespace {

// The transforms that a clip samples, their animation tracks, and whether
// each one's translation is sampled too, in the order of the clip's tracks.
struct ClipParts {
    std::vector<const SoTransform*> transforms;
    std::vector<unsigned int> animationTracks;
    std::vector<bool> moves;
};

// Adds an empty track, with room for `samples` samples, for every part that
// has a node in the asset.
ClipParts startTracks(PoseClip& clip, KTComponentAnimation& animation,
                      const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                      std::size_t samples) {
    ClipParts sampled;
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
        sampled.transforms.push_back(parts[i].transform);
        sampled.animationTracks.push_back(parts[i].track);
        sampled.moves.push_back(positions);
    }
    return sampled;
}

} // namespace

PoseClip samplePlayback(KTAnimationInstance& instance, KTComponentAnimation& animation,
                        const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                        int frames, double fps) {
    PoseClip clip;
    const std::size_t samples = static_cast<std::size_t>(frames) + 1;
    const ClipParts sampled = startTracks(clip, animation, parts, partNodes, samples);
    clip.times.reserve(samples);
    for (std::size_t k = 0; k < samples; ++k) {
        clip.times.push_back(static_cast<float>(static_cast<double>(k) / fps));
        // The closing sample repeats the last frame, which a STEP sampler
        // then holds for the whole of its 1 / fps.
        const bool closing = k + 1 == samples;
        if (!closing)
            instance.update();
        for (std::size_t t = 0; t < clip.tracks.size(); ++t) {
            PoseTrack& track = clip.tracks[t];
            if (closing) {
                for (std::size_t c = 0; c < 4; ++c)
                    track.rotations.push_back(track.rotations[track.rotations.size() - 4]);
                for (std::size_t c = 0; c < 3 && sampled.moves[t]; ++c)
                    track.translations.push_back(track.translations[track.translations.size() - 3]);
                continue;
            }
            const SoTransform& transform = *sampled.transforms[t];
            float q[4];
            transform.rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
            track.rotations.insert(track.rotations.end(), q, q + 4);
            if (sampled.moves[t]) {
                const float* v = transform.translation.getValue().getValue();
                track.translations.insert(track.translations.end(), v, v + 3);
            }
        }
    }
    return clip;
}

PoseClip sampleKeysLinear(KTComponent* /*component*/, KTComponentAnimation& animation,
                          const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                          double keyRate) {
    PoseClip clip;
    clip.interpolation = PoseClip::Interpolation::Linear;
    // Poses sampled from the prepared keys, without touching the scene: a
    // part's channel that its track does not play keeps the scene's value.
    const KTAnimationClip keys(animation);
    KTAnimationClip::Timing timing;
    timing.keysPerSecond = keyRate;
    timing.interpolation = KTAnimationClip::LINEAR;
    timing.wrap = KTAnimationClip::CLAMP;
    const std::size_t samples =
        static_cast<std::size_t>(std::lround(keys.getDuration(timing) * keyRate)) + 1;
    KTPose pose;

    const ClipParts sampled = startTracks(clip, animation, parts, partNodes, samples);
    for (std::size_t k = 0; k < samples; ++k) {
        const double time = static_cast<double>(k) / keyRate;
        keys.sample(time, timing, pose);
        clip.times.push_back(static_cast<float>(time));
        for (std::size_t t = 0; t < clip.tracks.size(); ++t) {
            const SoTransform& transform = *sampled.transforms[t];
            const unsigned int track = sampled.animationTracks[t];
            const int channels = pose.getChannels(track);
            std::vector<float>& rotations = clip.tracks[t].rotations;
            float q[4];
            ((channels & KTPose::ROTATION) ? pose.getRotation(track)
                                           : transform.rotation.getValue())
                .getValue(q[0], q[1], q[2], q[3]);
            if (k > 0) {
                const float* before = &rotations[rotations.size() - 4];
                if (q[0] * before[0] + q[1] * before[1] + q[2] * before[2] + q[3] * before[3] < 0) {
                    for (float& component : q)
                        component = -component;
                }
            }
            rotations.insert(rotations.end(), q, q + 4);
            if (sampled.moves[t]) {
                const float* v =
                    ((channels & KTPose::TRANSLATION) ? pose.getTranslation(track)
                                                      : transform.translation.getValue())
                        .getValue();
                clip.tracks[t].translations.insert(clip.tracks[t].translations.end(), v, v + 3);
            }
        }
    }
    return clip;
}

PoseClip samplePoses(TimedPlayback& playback, const std::vector<int>& partNodes,
                     const std::vector<double>& times, double closing,
                     PoseClip::Interpolation interpolation) {
    PoseClip clip;
    clip.interpolation = interpolation;
    const bool step = interpolation == PoseClip::Interpolation::Step;
    const std::size_t samples = times.size() + (step && !times.empty() ? 1 : 0);
    std::vector<unsigned int> partOfTrack;
    std::vector<bool> moves;
    for (std::size_t i = 0; i < partNodes.size(); ++i) {
        if (partNodes[i] < 0)
            continue;
        PoseTrack track;
        track.node = partNodes[i];
        track.rotations.reserve(samples * 4);
        moves.push_back(playback.movesTranslation(static_cast<unsigned int>(i)));
        if (moves.back())
            track.translations.reserve(samples * 3);
        clip.tracks.push_back(std::move(track));
        partOfTrack.push_back(static_cast<unsigned int>(i));
    }
    clip.times.reserve(samples);
    SbVec3f translation;
    SbRotation rotation;
    for (std::size_t k = 0; k < samples; ++k) {
        // The closing sample of a Step clip holds the last pose.
        const bool closingSample = k == times.size();
        clip.times.push_back(static_cast<float>(closingSample ? times.back() + closing : times[k]));
        if (!closingSample)
            playback.advanceTo(times[k]);
        if (playback.isCrossfade())
            clip.fades.push_back(static_cast<float>(playback.getFade()));
        for (std::size_t t = 0; t < clip.tracks.size(); ++t) {
            playback.getPart(partOfTrack[t], translation, rotation);
            std::vector<float>& rotations = clip.tracks[t].rotations;
            float q[4];
            rotation.getValue(q[0], q[1], q[2], q[3]);
            if (k > 0) {
                const float* before = &rotations[rotations.size() - 4];
                if (q[0] * before[0] + q[1] * before[1] + q[2] * before[2] + q[3] * before[3] < 0) {
                    for (float& component : q)
                        component = -component;
                }
            }
            rotations.insert(rotations.end(), q, q + 4);
            if (moves[t]) {
                const float* v = translation.getValue();
                clip.tracks[t].translations.insert(clip.tracks[t].translations.end(), v, v + 3);
            }
        }
    }
    if (playback.isCrossfade()) {
        clip.fadeStart = playback.getCrossfade().at;
        clip.fadeEnd = playback.getCrossfade().at + playback.getCrossfade().over;
    }
    return clip;
}

} // namespace ktrt_tool
