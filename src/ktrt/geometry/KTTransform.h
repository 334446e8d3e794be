#pragma once

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/visibility.h>

/// An orientation followed by a position. Equality is identity: two distinct
/// transforms with equal contents compare unequal.
class KTRT_API KTTransform {
public:
    /// Zero orientation, zero position.
    KTTransform();
    KTTransform(const KTTransform& other);
    /// Copies the orientation, then the position.
    KTTransform& operator=(const KTTransform& other);
    ~KTTransform();

    /// 1 only when `other` is this very object.
    int operator==(const KTTransform& other) const;

    const KTAngle& getOrientation() const { return orientation; }
    const KTVector3& getPosition() const { return position; }
    void setOrientation(const KTAngle& value);
    void setPosition(const KTVector3& value);

private:
    KTAngle orientation;
    KTVector3 position;
};
