#include "import/ImportSampling.h"
#include "common/OptionLimits.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include <assimp/anim.h>
#include <assimp/scene.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

namespace ktrt_tool {

namespace {

// Walks a channel's keys forward as the sampled times grow: the index of the
// last key at or before `time` (0 before the first key).
template <class Key> class KeyCursor {
public:
    KeyCursor(const Key* keys, unsigned int count) : keys(keys), count(count) {}

    // The two keys around `time` and the fraction of the way between them.
    void locate(double time, const Key*& from, const Key*& to, double& fraction) {
        while (index + 1 < count && keys[index + 1].mTime <= time)
            ++index;
        from = &keys[index];
        if (index + 1 >= count || time <= from->mTime) {
            to = from;
            fraction = 0.0;
            return;
        }
        to = &keys[index + 1];
        fraction = (time - from->mTime) / (to->mTime - from->mTime);
    }

private:
    const Key* keys;
    unsigned int count;
    unsigned int index = 0;
};

void slerp(const aiQuaternion& a, const aiQuaternion& b, double t, double out[4]) {
    double qa[4] = {a.x, a.y, a.z, a.w};
    double qb[4] = {b.x, b.y, b.z, b.w};
    double dot = qa[0] * qb[0] + qa[1] * qb[1] + qa[2] * qb[2] + qa[3] * qb[3];
    if (dot < 0.0) { // the shorter arc
        dot = -dot;
        for (double& v : qb)
            v = -v;
    }
    double wa = 1.0 - t, wb = t;
    if (dot < 0.9999) {
        const double angle = std::acos(dot);
        const double sine = std::sin(angle);
        wa = std::sin((1.0 - t) * angle) / sine;
        wb = std::sin(t * angle) / sine;
    }
    double length = 0.0;
    for (int i = 0; i < 4; ++i) {
        out[i] = wa * qa[i] + wb * qb[i];
        length += out[i] * out[i];
    }
    length = std::sqrt(length);
    const double sign = out[3] < 0.0 ? -1.0 : 1.0;
    for (int i = 0; i < 4; ++i)
        out[i] = length > 0.0 ? sign * out[i] / length : (i == 3 ? 1.0 : 0.0);
}

// Scale keys that a decomposed float matrix gives for an unscaled node sit
// within about 1e-4 of 1; 1e-3 (a tenth of a percent) is above that noise
// and below any scale that shows.
constexpr double scaleTolerance = 1e-3;

bool scales(const aiNodeAnim& channel) {
    for (unsigned int k = 0; k < channel.mNumScalingKeys; ++k) {
        const aiVector3D& s = channel.mScalingKeys[k].mValue;
        for (unsigned int i = 0; i < 3; ++i)
            if (!(std::fabs(s[i] - 1.0) <= scaleTolerance))
                return true;
    }
    return false;
}

// A rotation as the animation file holds it: its axis and angle as floats.
// The key made from it remembers them, so the writer writes them back as
// they are and the file reads back as this very key.
KTAxisAngle axisAngleOf(const double q[4]) {
    const double sine = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (!(sine > 0.0))
        return KTAxisAngle();
    return KTAxisAngle(static_cast<float>(q[0] / sine), static_cast<float>(q[1] / sine),
                       static_cast<float>(q[2] / sine),
                       static_cast<float>(2.0 * std::atan2(sine, q[3])));
}

// `q`, negated when it lies on the other side of the identity from the
// previous key's quaternion: consecutive keys then read as the short turn
// that plays between them, not as a turn the other way round.
const double* sameSideAs(double* q, const double* previous) {
    if (previous &&
        q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
        for (int k = 0; k < 4; ++k)
            q[k] = -q[k];
    return q;
}

} // namespace

double ticksPerSecond(const aiAnimation& animation) {
    return animation.mTicksPerSecond > 0.0 ? animation.mTicksPerSecond : 25.0;
}

unsigned int frameCount(const aiAnimation& animation, double fps) {
    const double seconds = std::max(0.0, animation.mDuration / ticksPerSecond(animation));
    const long whole = wholeFrames(seconds * fps);
    return whole < 0 || whole >= 4000000000L ? 4000000000u : static_cast<unsigned int>(whole) + 1;
}

void sampleChannel(const aiNodeAnim& channel, double tps, double fps, unsigned int frames,
                   double* rotations, double* positions, const aiQuaternion& restRotation,
                   const aiVector3D& restPosition) {
    KeyCursor<aiQuatKey> rotationKeys(channel.mRotationKeys, channel.mNumRotationKeys);
    KeyCursor<aiVectorKey> positionKeys(channel.mPositionKeys, channel.mNumPositionKeys);
    for (unsigned int i = 0; i < frames; ++i) {
        const double ticks = i / fps * tps;
        double* q = rotations + 4 * std::size_t{i};
        if (channel.mNumRotationKeys > 0) {
            const aiQuatKey *from, *to;
            double t;
            rotationKeys.locate(ticks, from, to, t);
            slerp(from->mValue, to->mValue, t, q);
        } else {
            slerp(restRotation, restRotation, 0.0, q);
        }
        double* p = positions + 3 * std::size_t{i};
        if (channel.mNumPositionKeys > 0) {
            const aiVectorKey *from, *to;
            double t;
            positionKeys.locate(ticks, from, to, t);
            for (unsigned int c = 0; c < 3; ++c)
                p[c] = from->mValue[c] + t * (static_cast<double>(to->mValue[c]) - from->mValue[c]);
        } else {
            for (unsigned int c = 0; c < 3; ++c)
                p[c] = restPosition[c];
        }
    }
}

std::string partNameOf(const std::string& nodeName) {
    std::string name = nodeName.empty() ? std::string("_") : nodeName;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 127 ||
            std::string_view("\"'+.\\{},#[]").find(c) != std::string_view::npos)
            c = '_';
    }
    if (name[0] >= '0' && name[0] <= '9')
        name.insert(name.begin(), '_');
    return name;
}

void buildAnimation(const aiScene& scene, const aiAnimation& animation,
                    const std::vector<std::string>& partNames, double fps,
                    KTComponentAnimation& result, std::vector<std::string>& warnings) {
    const double tps = ticksPerSecond(animation);
    const unsigned int frames = frameCount(animation, fps);
    std::vector<double> rotations(4 * std::size_t{frames});
    std::vector<double> positions(3 * std::size_t{frames});
    std::string scaled;
    unsigned int scaledCount = 0;
    for (unsigned int c = 0; c < animation.mNumChannels; ++c) {
        const aiNodeAnim& channel = *animation.mChannels[c];
        if (scales(channel) && ++scaledCount <= 3)
            scaled +=
                (scaledCount > 1 ? ", \"" : "\"") + escapeBytes(channel.mNodeName.C_Str()) + "\"";
        if (channel.mNumRotationKeys == 0 && channel.mNumPositionKeys == 0)
            continue;
        // A channel without rotation or position keys keeps the node's own.
        aiVector3D restScale, restPosition;
        aiQuaternion restRotation;
        if (const aiNode* node =
                scene.mRootNode ? scene.mRootNode->FindNode(channel.mNodeName) : nullptr)
            node->mTransformation.Decompose(restScale, restRotation, restPosition);
        sampleChannel(channel, tps, fps, frames, rotations.data(), positions.data(), restRotation,
                      restPosition);
        auto track = std::make_unique<KTPartAnimation>();
        track->setPartName(partNames[c].c_str());
        track->setUseOrientations(channel.mNumRotationKeys > 0);
        track->setUsePositions(channel.mNumPositionKeys > 0);
        for (unsigned int i = 0; i < frames; ++i) {
            const double* p = &positions[3 * std::size_t{i}];
            const KTVector3 position(static_cast<float>(p[0]), static_cast<float>(p[1]),
                                     static_cast<float>(p[2]));
            const auto key = static_cast<float>(i / fps);
            auto state = std::make_unique<KTAnimationState>(key, position, KTAngle());
            state->setOrientation(axisAngleOf(sameSideAs(
                &rotations[4 * std::size_t{i}], i ? &rotations[4 * std::size_t{i - 1}] : nullptr)));
            track->appendState(state.release()); // the track owns it now
        }
        // The file's Key lists hold fractions of the cycle, 0 to 1; the keys
        // keep their times in seconds.
        std::vector<float> fractions(frames, 0.0f);
        for (unsigned int i = 1; i < frames; ++i)
            fractions[i] = static_cast<float>(static_cast<double>(i) / (frames - 1));
        track->setKeyFractions(fractions);
        if (result.addPartAnimation(track.get()))
            static_cast<void>(track.release()); // the animation owns it now
    }
    if (scaledCount > 0)
        warnings.push_back(std::to_string(scaledCount) +
                           (scaledCount == 1 ? " node scales, which the animation file cannot "
                                               "hold, so its scale is left out: "
                                             : " nodes scale, which the animation file cannot "
                                               "hold, so their scale is left out: ") +
                           scaled + (scaledCount > 3 ? ", ..." : ""));
}

} // namespace ktrt_tool
