#include <ktrt/keys/KTAnimationWriter.h>

#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/keys/detail/AxisAngleOrientation.h>
#include <ktrt/geometry/KTAngle.h>

namespace {

using ktrt::detail::sameBits;

// Characters that split tokens, and the zero byte that ends the name the
// reader hands to the track.
const char* unwritableCharacter(const RWCString& name) {
    for (std::size_t i = 0; i < name.length(); ++i) {
        switch (name.data()[i]) {
        case ' ':
            return "a space";
        case '\t':
            return "a tab";
        case ',':
            return "a comma";
        case '\n':
            return "a line feed";
        case '\0':
            return "a zero byte";
        default:
            break;
        }
    }
    return nullptr;
}

bool isZero(double value) {
    return value == 0.0 && !std::signbit(value);
}

// The axis (unit length) and angle (0 to pi) of the rotation of Euler angles
// `orientation`, computed in double and rounded to floats; no turn, or
// angles that are no numbers, give the axis (0, 0, 1) and the angle 0.
void nearestAxisAngle(const KTAngle& orientation, float numbers[4]) {
    constexpr double halfDegreesToRadians = 0.017453292519943295 / 2.0;
    double x, y, z;
    orientation.getValue(x, y, z);
    const double sx = std::sin(x * halfDegreesToRadians), cx = std::cos(x * halfDegreesToRadians);
    const double sy = std::sin(y * halfDegreesToRadians), cy = std::cos(y * halfDegreesToRadians);
    const double sz = std::sin(z * halfDegreesToRadians), cz = std::cos(z * halfDegreesToRadians);
    // X first, then the fixed Y axis, then the fixed Z axis.
    double q[4] = {cz * cy * sx - sz * sy * cx, cz * sy * cx + sz * cy * sx,
                   sz * cy * cx - cz * sy * sx, cz * cy * cx + sz * sy * sx};
    // The shorter way round: the float angle then rounds the least.
    if (q[3] < 0.0) {
        for (double& component : q)
            component = -component;
    }
    const double sine = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (!(sine > 0.0)) {
        numbers[0] = 0.0f;
        numbers[1] = 0.0f;
        numbers[2] = 1.0f;
        numbers[3] = 0.0f;
        return;
    }
    numbers[0] = static_cast<float>(q[0] / sine);
    numbers[1] = static_cast<float>(q[1] / sine);
    numbers[2] = static_cast<float>(q[2] / sine);
    numbers[3] = static_cast<float>(2.0 * std::atan2(sine, q[3]));
}

bool hasTurn(const KTAngle& orientation) {
    double x, y, z;
    orientation.getValue(x, y, z);
    return !isZero(x) || !isZero(y) || !isZero(z);
}

// Appends numbers and fixed text to a string through a small stack buffer.
class TextOut {
public:
    explicit TextOut(std::string& text) : text(text) {}

    void put(const char* literal) { text.append(literal); }
    void put(const RWCString& value) { text.append(value.data(), value.length()); }

    // The shortest text that reads back as `value`; a trailing separator.
    void number(float value, char separator) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, value);
        *result.ptr = separator;
        text.append(buffer, static_cast<std::size_t>(result.ptr + 1 - buffer));
    }

private:
    std::string& text;
};

} // namespace

KTAnimationWriter::KTAnimationWriter() : inexactCount(0) {}

KTAnimationWriter::KTAnimationWriter(const KTAnimationWriter& other) = default;

KTAnimationWriter& KTAnimationWriter::operator=(const KTAnimationWriter& other) = default;

KTAnimationWriter::~KTAnimationWriter() = default;

int KTAnimationWriter::operator==(const KTAnimationWriter& other) const {
    return errorMessage == other.errorMessage && inexactCount == other.inexactCount;
}

int KTAnimationWriter::refuse(const RWCString& trackName, const std::string& reason) {
    std::string message = "track \"";
    message.append(trackName.data(), trackName.length());
    message += "\": " + reason;
    errorMessage = RWCString(message.data(), message.size());
    return 0;
}

void KTAnimationWriter::fileError(const char* path, int error) {
    const std::string message = std::string("cannot write ") + path + ": " + std::strerror(error);
    errorMessage = RWCString(message.data(), message.size());
}

int KTAnimationWriter::write(KTComponentAnimation& animation, std::string& text) {
    errorMessage = "";
    inexactCount = 0;
    const unsigned int trackCount = animation.getNumPartAnimations();

    // Refuse before writing anything.
    for (unsigned int t = 0; t < trackCount; ++t) {
        KTPartAnimation* track = animation[t];
        const RWCString& name = track->getPartName();
        if (const char* what = unwritableCharacter(name))
            return refuse(name, std::string("the name holds ") + what +
                                    ", which the animation file cannot carry");
        KTPartAnimation* filed = nullptr;
        if (!animation.getPartAnimation(name.data(), filed) || filed != track)
            return refuse(name,
                          "filed under another name (renamed after it was added, or cut short by "
                          "a zero byte in the name read), it would read back under another name");
    }

    TextOut out(text);
    out.put("KTAnimation {\n  Children [\n");
    for (unsigned int t = 0; t < trackCount; ++t) {
        KTPartAnimation& track = *animation[t];
        const unsigned int keyCount = track.getNumStates();
        out.put("    KTPartTransform {\n      Name \"");
        out.put(track.getPartName());
        out.put("\"\n");
        if (keyCount == 0) {
            out.put("    }\n");
            continue;
        }
        // The key fractions the track was read with, else the key values,
        // written in both interpolators' key lists.
        const std::vector<float>& fractions = track.getKeyFractions();
        const auto writeKeys = [&] {
            out.put("        Key [ ");
            for (unsigned int k = 0; k < keyCount; ++k) {
                const double key = fractions.empty() ? track[k]->getKey() : fractions[k];
                const auto narrow = static_cast<float>(key);
                if (static_cast<double>(narrow) != key && key == key)
                    ++inexactCount;
                out.number(narrow, ' ');
            }
            out.put("]\n");
        };
        bool orientations = track.useOrientations() != 0;
        for (unsigned int k = 0; k < keyCount && !orientations; ++k)
            orientations = hasTurn(track[k]->getOrientation());
        if (orientations) {
            out.put("      OrientationInterpolator {\n");
            writeKeys();
            out.put("        KeyValue [\n");
            // A key that remembers the axis and angle of its orientation goes
            // out with them. Any other goes out as the nearest axis and angle
            // of its Euler angles, computed once for a run of equal
            // orientations (a part that holds still).
            KTAngle previous;
            float nearest[4] = {};
            bool converted = false, nearestExact = false;
            for (unsigned int k = 0; k < keyCount; ++k) {
                const KTAnimationState& key = *track[k];
                KTAxisAngle remembered;
                float numbers[4];
                if (key.getAxisAngle(remembered)) {
                    // Finite numbers read back from their shortest text with
                    // the same bits. A NaN may come back with another payload,
                    // but any number that is not finite gives no turn at all.
                    remembered.getValue(numbers[0], numbers[1], numbers[2], numbers[3]);
                } else {
                    if (!converted || !sameBits(key.getOrientation(), previous)) {
                        previous = key.getOrientation();
                        nearestAxisAngle(previous, nearest);
                        const KTAxisAngle written(nearest[0], nearest[1], nearest[2], nearest[3]);
                        nearestExact = sameBits(written.getOrientation(), previous);
                        converted = true;
                    }
                    std::memcpy(numbers, nearest, sizeof numbers);
                    if (!nearestExact)
                        ++inexactCount;
                }
                out.put("          ");
                out.number(numbers[0], ' ');
                out.number(numbers[1], ' ');
                out.number(numbers[2], ' ');
                out.number(numbers[3], '\n');
            }
            out.put("        ]\n      }\n");
        }
        out.put("      PositionInterpolator {\n");
        writeKeys();
        out.put("        KeyValue [\n");
        for (unsigned int k = 0; k < keyCount; ++k) {
            const KTVector3& position = track[k]->getPosition();
            out.put("          ");
            for (unsigned int i = 0; i < 3; ++i) {
                const auto narrow = static_cast<float>(position[i]);
                if (static_cast<double>(narrow) != position[i] && position[i] == position[i])
                    ++inexactCount;
                out.number(narrow, i < 2 ? ' ' : '\n');
            }
        }
        out.put("        ]\n      }\n    }\n");
    }
    out.put("  ]\n}\n");
    return 1;
}

int KTAnimationWriter::writeToFile(KTComponentAnimation& animation, const char* path) {
    if (!path) {
        errorMessage = "no path";
        return 0;
    }
    std::string text;
    if (!write(animation, text))
        return 0;
    const unsigned int inexact = inexactCount;
    // A temporary file beside the target, renamed over it once complete, so
    // a failed write leaves no half file.
    std::string temporary = std::string(path) + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        fileError(path, errno);
        return 0;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(descriptor, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const int writeError = written == text.size() ? 0 : (errno ? errno : EIO);
    // Files get the usual permissions, not mkstemp's owner-only ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    const bool closed = ::close(descriptor) == 0;
    if (writeError || !closed || std::rename(temporary.c_str(), path) != 0) {
        const int error = writeError ? writeError : errno;
        std::remove(temporary.c_str());
        fileError(path, error);
        return 0;
    }
    inexactCount = inexact;
    return 1;
}
