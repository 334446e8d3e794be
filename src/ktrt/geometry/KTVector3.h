#pragma once

#include <ktrt/visibility.h>

/// Three doubles: a position, a direction, or the three components of a
/// light's colour or location. Values are compared exactly.
class KTRT_API KTVector3 {
public:
    /// (0, 0, 0).
    KTVector3();
    KTVector3(double x, double y, double z);
    /// Copies the three values only (never the spare slot).
    KTVector3(const KTVector3& other);
    KTVector3& operator=(const KTVector3& other);
    virtual ~KTVector3();

    /// 1 when x, y and z are each exactly equal, else 0.
    virtual int operator==(const KTVector3& other) const;

    /// Value i for i <= 2; any larger index reaches a spare slot that is
    /// neither copied nor compared.
    double& operator[](unsigned int i);
    double operator[](unsigned int i) const;

    void getValues(double& x, double& y, double& z) const;
    void setValues(double x, double y, double z);

private:
    double spare = 0.0;
    double values[3];
};
