#pragma once

#include <cstddef>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/visibility.h>

/// The pose of a set of parts, computed without touching the scene: for each
/// part a translation and a rotation, and which of the two channels are set.
/// A sampler fills a pose, blends combine poses, and a part binding writes a
/// pose into the parts' "transform" nodes (only the channels that are set).
///
/// Parts are numbered 0 to getNumParts() - 1; what a number means is up to
/// whoever fills the pose (a part binding's part order, as a rule). Reading
/// an index past the end gives the identity (zero translation, no turn, no
/// channel); writing one is ignored.
class KTRT_API KTPose {
public:
    /// The channels of a part, as bits.
    enum Channel {
        TRANSLATION = 1, ///< the translation is set
        ROTATION = 2     ///< the rotation is set
    };

    /// No parts.
    KTPose();
    /// `numParts` parts, each at the identity with no channel set.
    explicit KTPose(unsigned int numParts);
    /// The same parts, values and channels.
    KTPose(const KTPose& other);
    /// As the copy constructor.
    KTPose& operator=(const KTPose& other);
    /// Nothing to release beyond the members.
    ~KTPose();

    /// 1 when both have the same number of parts and every part has the same
    /// channels and, for each set channel, the same float values bit for bit.
    int operator==(const KTPose& other) const;

    /// Number of parts.
    unsigned int getNumParts() const { return partCount; }
    /// Changes the number of parts: parts kept keep their values, new ones
    /// start at the identity with no channel. Allocates only when growing
    /// past what the pose held before.
    void setNumParts(unsigned int numParts);
    /// Sets every part to the identity with no channel.
    void clear();

    /// Sets part `index`'s translation and marks it set.
    void setTranslation(unsigned int index, const SbVec3f& translation);
    /// Sets part `index`'s rotation and marks it set.
    void setRotation(unsigned int index, const SbRotation& rotation);
    /// Sets part `index` whole: exactly the given channels (bits of Channel),
    /// each with its value; a channel not given goes back to the identity.
    void setPart(unsigned int index, const SbVec3f& translation, const SbRotation& rotation,
                 int channels);

    /// Part `index`'s translation; (0, 0, 0) when not set or past the end.
    SbVec3f getTranslation(unsigned int index) const;
    /// Part `index`'s rotation; the identity when not set or past the end.
    SbRotation getRotation(unsigned int index) const;
    /// The channels set on part `index` (bits of Channel); 0 past the end.
    int getChannels(unsigned int index) const;

private:
    // Sampling and blends read and write the planes directly, in vectors of
    // parts.
    friend class KTAnimationClip;
    friend class KTPoseBlend;
    // Sets part `index` (below partCount) to exactly `channels`, from the
    // translation's 3 and the rotation's 4 floats as they are.
    void put(std::size_t index, const float* translation, const float* rotation, int channels);

    // The parts as planes, one value per part side by side, `stride` values
    // apart: rotation x, y, z, w, then translation x, y, z; the channel bits
    // in a plane of their own. Parts from partCount up to stride hold the
    // identity with no channel, so that whole vectors may run past the end.
    std::vector<float> values;
    std::vector<int> channelBits;
    unsigned int partCount = 0;
    std::size_t stride = 0;
};
