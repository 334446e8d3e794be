#pragma once

#include <ktrt/visibility.h>

/// Three doubles: a position, a direction, or the three components of a
/// light's colour or location. Values are compared exactly.
class KTRT_API KTVector3 {
public:
    /// (0, 0, 0).
    KTVector3();
    /// The three values, stored unchanged.
    KTVector3(double x, double y, double z);
    /// Copies the three values only (never the spare slot).
    KTVector3(const KTVector3& other);
    /// Copies the three values only (never the spare slot).
    KTVector3& operator=(const KTVector3& other);
    /// Virtual: KTVector3 may be derived from.
    virtual ~KTVector3();

    /// 1 when x, y and z are each exactly equal, else 0.
    virtual int operator==(const KTVector3& other) const;

    /// Value i for i <= 2; any larger index reaches a spare slot that is
    /// neither copied nor compared.
    double& operator[](unsigned int i);
    /// As the non-const operator[], by value.
    double operator[](unsigned int i) const;

    /// The three values, as stored.
    void getValues(double& x, double& y, double& z) const;
    /// Stores the three values unchanged.
    void setValues(double x, double y, double z);

private:
    double spare = 0.0;
    double values[3];
};
