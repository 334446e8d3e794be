#include <ktrt/animation/detail/ElementSearch.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>

#include <ktrt/animation/detail/AxisAngleOrientation.h>
#include <ktrt/animation/detail/OrientationAxisAngle.h>
#include <ktrt/geometry/detail/RotationToAngles.h>

// The reader turns axis a and angle r into angles in these float steps:
//   u = a * (1 / |a|)                      the axis scaled to unit length
//   (s, c) = sincos(r / 2), q = (u s, c)   the quaternion
//   q = q * (1 / |q|) unless |q| is 1      its first length correction
//   n = q / |q|                            the second, in the matrix step
//   m = the rotation matrix of n, and the angles of m in doubles.
// Both corrections divide every component by the same length, and that
// length is one of a few floats next to 1; for each such pair of lengths,
// each component of n is a fixed function of the same component of u. The
// search below therefore takes one pair of lengths at a time and matches the
// matrix elements component by component. The float expressions round as the
// reader's do; the build turns off contraction into fused multiply-adds for
// this file.

namespace ktrt::detail {

namespace {

constexpr double degreesToRadians = 0.017453292519943295;
constexpr double radiansToDegrees = 57.29577951308232;

// Matrix elements beyond this magnitude mean a turn about one axis only or
// the gimbal lock, which these steps leave to the general search. (Angles
// near the threshold may be either; the final check tells.)
constexpr double inside = 0.999999;

// The five matrix elements that the general rotation's angles come from.
struct Elements {
    float m02, m12, m22, m01, m00;
};

float twice(float v) {
    return v + v;
}

// How many units in the last place of `value` make up `distance`, at least 1
// and at most `most`.
int unitsFor(float value, double distance, int most) {
    const float magnitude = std::fabs(value);
    const double unit = static_cast<double>(std::nextafter(magnitude, 2.0f)) - magnitude;
    return static_cast<int>(std::clamp(std::ceil(distance / unit), 1.0, static_cast<double>(most)));
}

// The k-th of the offsets 0, 1, -1, 2, -2, ...
int nearestFirst(int k) {
    return k % 2 ? (k + 1) / 2 : -(k / 2);
}

bool sameBits(double a, double b) {
    return bitsOf(a) == bitsOf(b);
}

// The float pair (sine side, cosine side) whose angle the reader computes as
// exactly `degrees` (whose sine and cosine are given), near the point of the
// circle of `radius` at that angle.
// The reader's elements stray from the circle by rounding, so floats of the
// larger side are tried outwards from the ideal, each with the other side's
// floats that keep the ratio.
bool pairOfAngle(double degrees, double sineOfAngle, double cosineOfAngle, double radius,
                 float& sine, float& cosine) {
    const double idealSine = sineOfAngle * radius, idealCosine = cosineOfAngle * radius;
    const double ratio = idealSine / idealCosine;
    const bool cosineLarger = std::fabs(idealCosine) >= std::fabs(idealSine);
    const auto larger = static_cast<float>(cosineLarger ? idealCosine : idealSine);
    // The radius itself comes from m02 and strays the more, the smaller it is.
    const int reach = unitsFor(larger, 4e-7 + 2e-7 / radius, 4096);
    for (int k = 0; k <= 2 * reach; ++k) {
        const float big = steppedFloat(larger, nearestFirst(k));
        const auto other = static_cast<float>(cosineLarger ? big * ratio : big / ratio);
        for (int j = -1; j <= 1; ++j) {
            const float small = steppedFloat(other, j);
            const float s = cosineLarger ? small : big, c = cosineLarger ? big : small;
            const double candidate = static_cast<double>(s) / c;
            // The angle's own rounding moves the ratio by up to about this.
            if (std::fabs(candidate - ratio) > 1e-14 * (1.0 + ratio * ratio))
                continue;
            if (sameBits(quadrantAngle(s, c) * radiansToDegrees, degrees)) {
                sine = s;
                cosine = c;
                return true;
            }
        }
    }
    return false;
}

// The elements of the general rotation whose angles are `degrees`; false for
// angles the reader gives some other way.
bool elementsOfAngles(const double degrees[3], Elements& e) {
    const double x = degrees[0] * degreesToRadians, y = degrees[1] * degreesToRadians,
                 z = degrees[2] * degreesToRadians;
    const double sx = std::sin(x), cx = std::cos(x), sy = std::sin(y), cy = std::cos(y),
                 sz = std::sin(z), cz = std::cos(z);
    const double m00 = cz * cy, m11 = sx * sy * sz + cx * cz, m22 = cx * cy, m02 = -sy;
    if (!(std::isfinite(m00 + m11 + m22) && m00 < inside && m11 < inside && m22 < inside &&
          std::fabs(m02) < inside))
        return false;
    const auto element = static_cast<float>(m02);
    bool found = false;
    for (int k = 0; k <= 4 && !found; ++k) {
        const float candidate = steppedFloat(element, nearestFirst(k));
        if (sameBits(clampedArcsine(-static_cast<double>(candidate)) * radiansToDegrees,
                     degrees[1])) {
            e.m02 = candidate;
            found = true;
        }
    }
    if (!found)
        return false;
    const double radius = std::sqrt(1.0 - static_cast<double>(e.m02) * e.m02);
    return pairOfAngle(degrees[0], sx, cx, radius, e.m12, e.m22) &&
           pairOfAngle(degrees[2], sz, cz, radius, e.m01, e.m00);
}

// Solves the 4x4 system a d = b by elimination with partial pivoting.
bool solve4(double a[4][5], double d[4]) {
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        for (int j = 0; j < 5; ++j)
            std::swap(a[c][j], a[pivot][j]);
        if (a[c][c] == 0.0)
            return false;
        for (int r = c + 1; r < 4; ++r) {
            const double factor = a[r][c] / a[c][c];
            for (int j = c; j < 5; ++j)
                a[r][j] -= factor * a[c][j];
        }
    }
    for (int c = 3; c >= 0; --c) {
        double sum = a[c][4];
        for (int j = c + 1; j < 4; ++j)
            sum -= a[c][j] * d[j];
        d[c] = sum / a[c][c];
    }
    return true;
}

// Refines quaternion q (x, y, z, w) so that its exact matrix elements fit the
// float elements best, in the weighted least-squares sense, with unit length
// as a sixth condition: the angles' own quaternion ignores how far the
// reader's elements stray from a rotation, which the fit takes in.
void fitToElements(const Elements& e, double q[4]) {
    // Each condition weighted by the inverse of its rounding: a small element
    // is known far more closely than a large one.
    const float values[5] = {e.m02, e.m12, e.m22, e.m01, e.m00};
    double weights[6];
    for (int r = 0; r < 5; ++r) {
        const float magnitude = std::max(std::fabs(values[r]), 0x1p-30f);
        weights[r] = 1.0 / (static_cast<double>(std::nextafter(magnitude, 2.0f)) - magnitude);
    }
    weights[5] = 0x1p24;
    for (int iteration = 0; iteration < 2; ++iteration) {
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        const double residual[6] = {
            2 * (x * z - y * w) - e.m02,     2 * (y * z + x * w) - e.m12,
            1 - 2 * (x * x + y * y) - e.m22, 2 * (x * y + z * w) - e.m01,
            1 - 2 * (y * y + z * z) - e.m00, x * x + y * y + z * z + w * w - 1};
        const double jacobian[6][4] = {
            {2 * z, -2 * w, 2 * x, -2 * y}, {2 * w, 2 * z, 2 * y, 2 * x},
            {-4 * x, -4 * y, 0, 0},         {2 * y, 2 * x, 2 * w, 2 * z},
            {0, -4 * y, -4 * z, 0},         {2 * x, 2 * y, 2 * z, 2 * w}};
        double normal[4][5] = {};
        for (int r = 0; r < 6; ++r) {
            const double weight = weights[r] * weights[r];
            for (int i = 0; i < 4; ++i) {
                normal[i][4] += weight * jacobian[r][i] * residual[r];
                for (int j = 0; j < 4; ++j)
                    normal[i][j] += weight * jacobian[r][i] * jacobian[r][j];
            }
        }
        double step[4];
        if (!solve4(normal, step))
            return;
        for (int i = 0; i < 4; ++i)
            q[i] -= step[i];
    }
}

// An axis that the reader scales to exactly `unit`. A unit of float length 1
// is its own; otherwise the unit is stretched by a factor between 1 and 2,
// and each component moved to a float that the reader's scaling takes back
// to the unit's, until the length settles. A fine comb of factors misses
// about one reachable unit in 10,000.
bool axisScalingTo(const float unit[3], float axis[3]) {
    if (std::sqrt(unit[0] * unit[0] + unit[1] * unit[1] + unit[2] * unit[2]) == 1.0f) {
        std::memcpy(axis, unit, 3 * sizeof(float));
        return true;
    }
    for (int stretch = 0; stretch < 256; ++stretch) {
        const float factor = 1.001f + static_cast<float>(stretch) * 0.0039f;
        for (int i = 0; i < 3; ++i)
            axis[i] = unit[i] * factor;
        for (int round = 0; round < 8; ++round) {
            const float length =
                std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
            const float inverse = 1.0f / length;
            bool settled = true;
            for (int i = 0; i < 3; ++i) {
                if (axis[i] * inverse == unit[i])
                    continue;
                settled = false;
                const auto guess = static_cast<float>(static_cast<double>(unit[i]) / inverse);
                for (int k = 0; k <= 8; ++k) {
                    const float candidate = steppedFloat(guess, nearestFirst(k));
                    if (candidate * inverse == unit[i]) {
                        axis[i] = candidate;
                        break;
                    }
                }
            }
            if (settled)
                return true;
        }
    }
    return false;
}

// The lengths by which the reader's two corrections divide the quaternion
// (1: that correction changes nothing), the usual first.
struct Corrections {
    float first, second;
};
constexpr Corrections corrections[] = {
    {1.0f, 1.0f},
    {1.0f, 1.0f - 0x1p-24f},
    {1.0f - 0x1p-23f, 1.0f},
    {1.0f + 0x1p-23f, 1.0f - 0x1p-24f},
    {1.0f + 0x1p-23f, 1.0f},
    {1.0f - 0x1p-23f, 1.0f - 0x1p-24f},
    {1.0f - 0x1p-23f, 1.0f + 0x1p-23f},
    {1.0f - 3 * 0x1p-24f, 1.0f + 0x1p-23f},
    {1.0f - 3 * 0x1p-24f, 1.0f},
    {1.0f + 0x1p-23f, 1.0f - 0x1p-23f},
};

// One angle and one pair of corrections: the map from a component of the
// unit axis to the same component of the reader's n.
class ComponentMap {
public:
    ComponentMap(float sine, float cosine, const Corrections& lengths)
        : sineOfHalf(sine), cosine(cosine), lengths(lengths), inverse(1.0f / lengths.first),
          gain(static_cast<double>(sine) * inverse / lengths.second) {}

    float operator()(float unit) const { return corrected(unit * sineOfHalf); }
    float w() const { return corrected(cosine); }
    float sine() const { return sineOfHalf; }
    // The unit component whose image is about `n` (0 where there is none).
    float unitNear(double n) const {
        const double unit = n / gain;
        return std::fabs(unit) <= 2.0 ? static_cast<float>(unit) : 0.0f;
    }

    // Whether the reader's own length steps on the unit axis go the way this
    // map assumes.
    bool holdsFor(const float unit[3]) const {
        float q[4] = {unit[0] * sineOfHalf, unit[1] * sineOfHalf, unit[2] * sineOfHalf, cosine};
        const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        const bool unchanged = std::fabs(static_cast<double>(length) - 1.0) <= 0x1p-24;
        if (lengths.first == 1.0f ? !unchanged : (unchanged || length != lengths.first))
            return false;
        if (lengths.first != 1.0f)
            for (float& v : q)
                v *= inverse;
        return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]) == lengths.second;
    }

private:
    float corrected(float v) const {
        if (lengths.first != 1.0f)
            v *= inverse;
        if (lengths.second != 1.0f)
            v /= lengths.second;
        return v;
    }

    float sineOfHalf, cosine;
    Corrections lengths;
    float inverse;
    double gain;
};

bool matchesElements(const float n[3], float w, const Elements& e) {
    const float x = n[0], y = n[1], z = n[2];
    return 1.0f - twice(x * x + y * y) == e.m22 && 1.0f - twice(y * y + z * z) == e.m00 &&
           twice(x * z - y * w) == e.m02 && twice(y * z + x * w) == e.m12 &&
           twice(x * y + z * w) == e.m01;
}

// Component `c` of n that the elements ask for, given the two others and w.
// Each of m12 = 2(yz + xw), m02 = 2(xz - yw) and m01 = 2(xy + zw) is linear
// in it and holds to half a unit in its last place, which bounds it to an
// interval; the middle of the overlap of those intervals is taken (a small
// component's overlap can be far narrower than the interval from the element
// in which it has the largest factor).
double solvedComponent(int c, const float n[3], float w, const Elements& e) {
    // The known product of each element, rounded to a float as the reader
    // rounds it before the sum (for a small unknown that rounding outweighs
    // the unknown's own term).
    const float x = n[0], y = n[1], z = n[2];
    double factor[3], rest[3];
    if (c == 0) {
        factor[0] = w, rest[0] = y * z;
        factor[1] = z, rest[1] = -(y * w);
        factor[2] = y, rest[2] = z * w;
    } else if (c == 1) {
        factor[0] = z, rest[0] = x * w;
        factor[1] = -w, rest[1] = x * z;
        factor[2] = x, rest[2] = z * w;
    } else {
        factor[0] = y, rest[0] = x * w;
        factor[1] = x, rest[1] = -(y * w);
        factor[2] = w, rest[2] = x * y;
    }
    const float element[3] = {e.m12, e.m02, e.m01};
    double low = -2.0, high = 2.0, best = 0.0, bestFactor = 0.0;
    for (int k = 0; k < 3; ++k) {
        if (factor[k] == 0.0)
            continue;
        const double middle = (element[k] / 2.0 - rest[k]) / factor[k];
        if (std::fabs(factor[k]) > bestFactor) {
            bestFactor = std::fabs(factor[k]);
            best = middle;
        }
        const float magnitude = std::fabs(element[k]);
        const double quarterUnit =
            (static_cast<double>(std::nextafter(magnitude, 2.0f)) - magnitude) / 4.0;
        const double reach = quarterUnit / std::fabs(factor[k]);
        low = std::max(low, middle - reach);
        high = std::min(high, middle + reach);
    }
    return low <= high ? (low + high) / 2.0 : best;
}

// How far a component of the reader's quaternion may lie from the fitted
// one's, the most units in the last place tried per axis component, and the
// floats tried on either side of the angle.
constexpr double quaternionSpread = 1.2e-7;
constexpr int mostUnits = 8;
constexpr int angleReach = 3;
// The solved component: how far the elements' rounding can move it (times
// the sine), and the mark of a pass that tries that far.
constexpr double solvedSpread = 6e-8;
constexpr int wideSolved = -1;

// Where a search looks: around the quaternion `q` (x, y, z, w, w >= 0), the
// two larger components of its unit axis tried outwards, the smallest, whose
// floats are too fine to try one by one, solved for.
class Neighbourhood {
public:
    Neighbourhood(const double q[4], const Elements& e, const double degrees[3])
        : e(e), degrees(degrees) {
        const double vector = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        valid = vector > 0.0 && std::isfinite(vector);
        if (!valid)
            return;
        half = std::atan2(vector, q[3]);
        for (int i = 0; i < 3; ++i)
            ideal[i] = static_cast<float>(q[i] / vector);
        solved = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(ideal[i]) < std::fabs(ideal[solved]))
                solved = i;
        first = (solved + 1) % 3;
        second = (solved + 2) % 3;
        const double spread = quaternionSpread / std::max(std::sin(half), 1e-3);
        firstReach = unitsFor(ideal[first], spread, mostUnits);
        secondReach = unitsFor(ideal[second], spread, mostUnits);
    }

    // The usual corrections and the nearest floats, which find most.
    bool searchNarrow(float numbers[4]) {
        return valid &&
               search({0, 2, 3, std::min(firstReach, 1), std::min(secondReach, 1), 2}, numbers);
    }

    // Five corrections, five angles, two floats either way.
    bool searchNear(float numbers[4]) {
        return valid &&
               search({0, 5, 5, std::min(firstReach, 2), std::min(secondReach, 2), wideSolved},
                      numbers);
    }

    // The angle a turn away either way, then the whole neighbourhood.
    bool searchWide(float numbers[4]) {
        constexpr int all = static_cast<int>(std::size(corrections));
        return valid &&
               (search({1, 5, 5, std::min(firstReach, 2), std::min(secondReach, 2), 4}, numbers) ||
                search({2, 5, 5, std::min(firstReach, 2), std::min(secondReach, 2), 4}, numbers) ||
                search({0, all, angleCount, firstReach, secondReach, wideSolved}, numbers));
    }

private:
    static constexpr int angleCount = 2 * angleReach + 1;

    struct Pass {
        int form, corrections, angles, firstReach, secondReach, solvedReach;
    };

    // The angle (form 0) and the angle a whole turn away either way (1, 2):
    // the reader's quaternion changes sign, its matrix does not, and the
    // float roundings of the angle and its sine and cosine differ.
    void prepare(int form) {
        if (prepared[form])
            return;
        constexpr double turn = 6.283185307179586;
        const double centre = 2.0 * half + (form == 0 ? 0.0 : form == 1 ? -turn : turn);
        for (int k = 0; k < angleCount; ++k) {
            angles[form][k] = steppedFloat(static_cast<float>(centre), nearestFirst(k));
            sineAndCosine(angles[form][k] * 0.5f, sines[form][k], cosines[form][k]);
        }
        prepared[form] = true;
    }

    bool search(const Pass& pass, float numbers[4]) {
        prepare(pass.form);
        for (int c = 0; c < pass.corrections; ++c) {
            for (int k = 0; k < pass.angles; ++k) {
                const ComponentMap map(sines[pass.form][k], cosines[pass.form][k], corrections[c]);
                const float w = map.w();
                float unit[3] = {}, n[3] = {};
                for (int a = 0; a <= 2 * pass.firstReach; ++a) {
                    unit[first] = steppedFloat(ideal[first], nearestFirst(a));
                    n[first] = map(unit[first]);
                    for (int b = 0; b <= 2 * pass.secondReach; ++b) {
                        unit[second] = steppedFloat(ideal[second], nearestFirst(b));
                        n[second] = map(unit[second]);
                        // x and y alone fix m22, y and z alone m00.
                        if (solved == 2 && 1.0f - twice(n[0] * n[0] + n[1] * n[1]) != e.m22)
                            continue;
                        if (solved == 0 && 1.0f - twice(n[1] * n[1] + n[2] * n[2]) != e.m00)
                            continue;
                        n[solved] = 0.0f;
                        const float guess = map.unitNear(solvedComponent(solved, n, w, e));
                        const int solvedReach =
                            pass.solvedReach != wideSolved
                                ? pass.solvedReach
                                : unitsFor(guess,
                                           solvedSpread / std::max(std::fabs(map.sine()), 1e-3f),
                                           64);
                        for (int i = 0; i <= 2 * solvedReach; ++i) {
                            unit[solved] = steppedFloat(guess, nearestFirst(i));
                            n[solved] = map(unit[solved]);
                            if (!matchesElements(n, w, e) || !map.holdsFor(unit) ||
                                !axisScalingTo(unit, numbers))
                                continue;
                            numbers[3] = angles[pass.form][k];
                            if (readsBackAs(numbers, degrees))
                                return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    const Elements& e;
    const double* degrees;
    bool valid;
    double half = 0.0;
    float ideal[3] = {};
    int solved = 0, first = 1, second = 2, firstReach = 1, secondReach = 1;
    float angles[3][angleCount] = {}, sines[3][angleCount] = {}, cosines[3][angleCount] = {};
    bool prepared[3] = {};
};

} // namespace

bool axisAngleFromElements(const double degrees[3], float numbers[4]) {
    Elements e;
    if (!elementsOfAngles(degrees, e))
        return false;
    const double radians[3] = {degrees[0] * degreesToRadians, degrees[1] * degreesToRadians,
                               degrees[2] * degreesToRadians};
    // Around the fitted quaternion first, then around the angles' own: near
    // the gimbal lock the elements leave the quaternion loose along one
    // direction, and either may lie nearer to a quaternion the reader makes.
    double own[4], fitted[4];
    quaternionOfAngles(radians, own);
    if (own[3] < 0.0)
        for (double& v : own)
            v = -v;
    std::memcpy(fitted, own, sizeof fitted);
    fitToElements(e, fitted);
    Neighbourhood aroundFitted(fitted, e, degrees), aroundOwn(own, e, degrees);
    return aroundFitted.searchNarrow(numbers) || aroundFitted.searchNear(numbers) ||
           aroundOwn.searchNarrow(numbers) || aroundOwn.searchNear(numbers) ||
           aroundFitted.searchWide(numbers) || aroundOwn.searchWide(numbers);
}

} // namespace ktrt::detail
