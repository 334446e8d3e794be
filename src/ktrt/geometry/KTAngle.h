#pragma once

#include <ktrt/visibility.h>

/// An orientation held as three rotation angles in degrees about the X, Y and
/// Z axes: a point is turned about X first, then about the fixed Y axis, then
/// about the fixed Z axis. Converts to and from the unit quaternion of an
/// SbRotation (q0..q2 the axis times sin(angle/2), q3 cos(angle/2)).
///
/// Angles are stored as given and compared exactly: 360 and 0 differ. The
/// conversion from a rotation snaps rotations within about 0.08 degrees of a
/// pure turn about one axis onto that axis, and puts the whole turn into x
/// at the gimbal lock (y = +-90).
class KTRT_API KTAngle {
public:
    /// (0, 0, 0).
    KTAngle();
    /// Angles in degrees, stored unchanged (no reduction to a range).
    KTAngle(double x, double y, double z);
    /// From a quaternion: each component is narrowed to float, set into an
    /// SbRotation and converted to angles.
    KTAngle(double q0, double q1, double q2, double q3);
    /// Copies the three angles only (never the spare slot).
    KTAngle(const KTAngle& other);
    /// Copies the three angles only (never the spare slot).
    KTAngle& operator=(const KTAngle& other);
    /// Virtual: KTAngle may be derived from.
    virtual ~KTAngle();

    /// Sets the angles from the quaternion q[0..3]; a null q changes nothing.
    KTAngle& operator=(const float q[4]);
    /// As operator=(const float q[4]).
    void setValue(const float q[4]);
    /// Stores the three angles in degrees, unchanged.
    void setValue(double x, double y, double z);
    /// The three angles in degrees, as stored.
    void getValue(double& x, double& y, double& z) const;
    /// Writes the quaternion of this orientation into q[0..3]; a null q gets
    /// nothing.
    void getValue(float q[4]) const;

    /// 1 when the three angles are each exactly equal, else 0.
    virtual int operator==(const KTAngle& other) const;

    /// Angle i for i <= 2; any larger index reaches a spare slot that is
    /// neither copied nor compared.
    double& operator[](unsigned int i);
    /// As the non-const operator[], by value.
    double operator[](unsigned int i) const;

private:
    double values[3];
    double spare = 0.0;
};
