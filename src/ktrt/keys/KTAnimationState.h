#pragma once

#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTTransform.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/visibility.h>

/// One key of a part track: a key value, a pose and a validity flag.
///
/// The key value is stored, copied and compared but never interpreted:
/// playback steps through keys by their place in the track. Two keys are
/// equal when their key values are equal, whatever their poses.
///
/// A key whose orientation was given as an axis and angle (every key the
/// animation file reader makes) remembers those four numbers, which
/// KTAnimationWriter writes back as they are. Copies keep them, and so does
/// setting the orientation again to the same angles bit for bit or changing
/// only the position; any other orientation forgets them.
class KTRT_API KTAnimationState {
public:
    /// Key 0.0, default transform, valid (1).
    KTAnimationState();
    /// Key and pose from the arguments; valid (1).
    KTAnimationState(double key, const KTVector3& position, const KTAngle& orientation);
    /// Key and a copy of `transform`; valid (1).
    KTAnimationState(double key, const KTTransform& transform);
    /// Copies key and transform (and a remembered axis and angle); the copy is
    /// valid (1) whatever the source's validity.
    KTAnimationState(const KTAnimationState& other);
    /// Copies key, orientation, position and validity (an invalid source gives
    /// an invalid target, unlike the copy constructor), and a remembered axis
    /// and angle.
    KTAnimationState& operator=(const KTAnimationState& other);
    /// Nothing to release beyond the members.
    ~KTAnimationState();

    /// 1 when the two key values are equal; poses and validity are ignored.
    int operator==(const KTAnimationState& other) const;

    /// The key value, as stored.
    double getKey() const { return key; }
    /// Stores the key value; the track's order does not change with it.
    void setKey(double value) { key = value; }
    /// The pose: orientation and position.
    const KTTransform& getTransform() const { return transform; }
    /// Assigns the orientation, then the position; the key forgets the axis
    /// and angle it remembered unless the orientation has the same bits.
    void setTransform(const KTTransform& value);
    /// The pose's orientation (Euler angles in degrees).
    const KTAngle& getOrientation() const { return transform.getOrientation(); }
    /// Copies `value` into the pose's orientation; the key forgets the axis
    /// and angle it remembered unless `value` has the same bits as the
    /// orientation it holds.
    void setOrientation(const KTAngle& value);
    /// Sets the pose's orientation to value.getOrientation(), bit for bit
    /// what the animation file reader makes of these four numbers, and
    /// remembers them.
    void setOrientation(const KTAxisAngle& value);
    /// The axis and angle the key remembers: 1 with `value` set to them, or 0
    /// with `value` unchanged when the orientation was last given some other
    /// way (or the key was built from Euler angles).
    int getAxisAngle(KTAxisAngle& value) const;
    /// The pose's position.
    const KTVector3& getPosition() const { return transform.getPosition(); }
    /// Copies `value` into the pose's position.
    void setPosition(const KTVector3& value) { transform.setPosition(value); }
    /// The validity as stored: 1 valid, 0 invalid, other values kept as given.
    int isValid() const { return validity; }
    /// Stores the validity as given. An invalid key is refused by
    /// KTPartAnimation::insertState() but not by appendState().
    void setValidity(int value) { validity = value; }

private:
    double key;
    KTTransform transform;
    int validity;
    // The axis and angle the orientation was converted from, when known:
    // what the writer writes back.
    bool axisAngleKnown = false;
    KTAxisAngle axisAngle;
};
