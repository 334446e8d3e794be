#include <ktrt/animation/detail/AnimationFileReader.h>

#include <cstdio>
#include <memory>

#include <sys/stat.h>

#include <ktrld/KTRegistryLoader.h>
#include <ktstd/Std_CString.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/animation/detail/AxisAngleOrientation.h>
#include <ktrt/animation/detail/KeywordTable.h>
#include <ktrt/animation/detail/LineReader.h>
#include <ktrt/animation/detail/NumberScanner.h>
#include <ktrt/animation/detail/TrackTable.h>

int KTComponentAnimation::loadAnimationFromFile(const RWCString& animationName) {
    return ktrt::detail::AnimationFileReader(*this).read(animationName);
}

namespace ktrt::detail {

namespace {

const char* const missingTrailingQuote = "Missing trailing \" in part name";
const char* const illegalKey = "Illegal or missing value in key field.";
const char* const illegalKeyValue = "Illegal or missing value in position key value field";
const char* const unexpectedRightBrace = "Unexpected right brace.";
const char* const illegalRightBrace = "Illegal right brace.";
const char* const unexpectedKey = "Unexpected key field.";
const char* const unexpectedKeyValue = "Unexpected key value field.";
const char* const keyValueMismatch = "Mismatch between number of interpolator keys and values.";
const char* const partDiscrepancy = "Discrepancy detected while constructing part transform.";
const char* const nestedAnimations = "Illegally nested animations.";
const char* const orientationOutside = "OrientationInterpolator found outside of transform.";
const char* const positionOutside = "PositionInterpolator found outside of transform.";

// Reader states; the numbers follow the keyword codes.
enum State : int {
    topLevel = 0,
    afterAnimation = 1,
    inAnimation = 2,
    inUnexpectedBlock = 3,
    inSkippedList = 5,
    afterChildren = 7,
    inChildren = 8,
    afterKey = 9,
    inKeys = 10,
    afterKeyValue = 11,
    inKeyValues = 12,
    afterName = 13,
    afterOrientationInterpolator = 14,
    inOrientationInterpolator = 15,
    afterPartTransform = 16,
    inPartTransform = 17,
    afterPositionInterpolator = 18,
    inPositionInterpolator = 19,
};

// Space, tab, line feed and comma separate tokens.
inline bool isSeparator(char c) {
    const auto byte = static_cast<unsigned char>(c);
    constexpr unsigned long long separators =
        (1ull << ' ') | (1ull << '\t') | (1ull << '\n') | (1ull << ',');
    return byte < 64 && ((separators >> byte) & 1u);
}

inline bool isSingle(const char* token, std::size_t length, char c) {
    return length == 1 && token[0] == c;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens the file for reading; a directory, which some systems let fopen
// open, counts as a file that cannot be opened.
std::unique_ptr<std::FILE, FileCloser> openForReading(const char* path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "r"));
    struct stat status;
    if (file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode))
        file.reset();
    return file;
}

} // namespace

AnimationFileReader::AnimationFileReader(KTComponentAnimation& animation) : animation(animation) {}

int AnimationFileReader::read(const RWCString& animationName) {
    animation.errorMessage = "";
    animation.lineNumber = 0;

    Std_CString path;
    {
        KTRegistryInfo info;
        KTRegistryLoader loader;
        if (!loader.GetAnimation(animationName.data(), info))
            return 0;
        path = info.GetLocalPath();
    }
    const auto file = openForReading(path);
    if (!file)
        return 0;

    LineReader lines(file.get());
    if (!readLines(lines))
        return 0;
    animation.lineText = "";
    animation.loaded = 1;
    return 1;
}

bool AnimationFileReader::readLines(LineReader& lines) {
    char* line;
    char* lineEnd;
    while (lines.next(line, lineEnd)) {
        ++animation.lineNumber;
        char* p = line;
        for (;;) {
            while (p != lineEnd && isSeparator(*p))
                ++p;
            if (p == lineEnd || *p == '#')
                break;
            // Inside a list, a short plain number that fills its token is
            // taken without finding the token's end first.
            if (state == inKeys || state == inKeyValues) {
                float number;
                const char* const numberEnd = scanShortDecimal(p, lineEnd, number);
                if (numberEnd && (numberEnd == lineEnd || isSeparator(*numberEnd))) {
                    addNumber(number);
                    p = line + (numberEnd - line);
                    continue;
                }
            }
            char* const token = p;
            while (p != lineEnd && !isSeparator(*p))
                ++p;
            if (!takeToken(token, p)) {
                animation.lineText = RWCString(line, static_cast<std::size_t>(lineEnd - line));
                return false;
            }
        }
    }
    return true;
}

bool AnimationFileReader::takeToken(char* token, char* tokenEnd) {
    const auto length = static_cast<std::size_t>(tokenEnd - token);

    // The three escapes are looked at even outside an animation.
    if (state == inUnexpectedBlock && isSingle(token, length, '}')) {
        state = topLevel;
        return true;
    }
    if (state == inSkippedList && isSingle(token, length, ']')) {
        state = topLevel;
        return true;
    }
    if (state == topLevel && findKeyword(token, length) == ktAnimationKeyword) {
        state = afterAnimation;
        insideAnimation = true;
        return true;
    }
    if (!insideAnimation)
        return true;

    if (state == afterName && token[0] == '"') {
        // A lone quote opens and closes nothing: it lacks its trailing quote.
        if (length < 2 || token[length - 1] != '"')
            return fail(missingTrailingQuote);
        partName = RWCString(token + 1, length - 2);
        state = inPartTransform;
        return true;
    }
    // A number is never a keyword, so a number in a list ends its handling.
    if ((state == inKeys || state == inKeyValues) && token[0] != ']') {
        float number;
        if (!scanFloat(token, tokenEnd, number))
            return fail(state == inKeys ? illegalKey : illegalKeyValue);
        addNumber(number);
        return true;
    }
    return takeKeyword(token, length);
}

bool AnimationFileReader::takeKeyword(const char* token, std::size_t length) {
    switch (findKeyword(token, length)) {
    case noKeyword:
        return true;
    case ktAnimationKeyword:
        // Outside an animation, or in state 0, the escape took it already.
        return fail(nestedAnimations);
    case leftBraceKeyword:
        switch (state) {
        case afterAnimation:
            state = inAnimation;
            break;
        case afterPartTransform:
            state = inPartTransform;
            break;
        case afterPositionInterpolator:
            state = inPositionInterpolator;
            break;
        case afterOrientationInterpolator:
            state = inOrientationInterpolator;
            orientationMode = true;
            break;
        default:
            state = inUnexpectedBlock;
            break;
        }
        return true;
    case rightBraceKeyword:
        switch (state) {
        case inAnimation:
            state = topLevel;
            insideAnimation = false;
            return true;
        case inPartTransform:
            if (!endPartTransform())
                return false;
            state = inChildren;
            return true;
        case inOrientationInterpolator:
        case inPositionInterpolator:
            if (!endInterpolator())
                return false;
            state = inPartTransform;
            orientationMode = false;
            return true;
        default:
            return fail(unexpectedRightBrace);
        }
    case leftBracketKeyword:
        switch (state) {
        case afterAnimation:
            // An animation written with "[" is skipped up to the next "]".
            state = inSkippedList;
            insideAnimation = false;
            break;
        case afterChildren:
            state = inChildren;
            break;
        case afterKey:
            state = inKeys;
            break;
        default:
            state = inKeyValues;
            break;
        }
        return true;
    case rightBracketKeyword:
        switch (state) {
        case inChildren:
            state = inAnimation;
            return true;
        case inKeys:
        case inKeyValues:
            state = orientationMode ? inOrientationInterpolator : inPositionInterpolator;
            return true;
        default:
            return fail(illegalRightBrace);
        }
    case childrenKeyword:
        if (state == inAnimation)
            state = afterChildren;
        else
            insideAnimation = false;
        return true;
    case keyKeyword:
        if (state != inOrientationInterpolator && state != inPositionInterpolator)
            return fail(unexpectedKey);
        state = afterKey;
        return true;
    case keyValueKeyword:
        if (state != inOrientationInterpolator && state != inPositionInterpolator)
            return fail(unexpectedKeyValue);
        state = afterKeyValue;
        return true;
    case nameKeyword:
        if (state == inPartTransform)
            state = afterName;
        else
            insideAnimation = false;
        return true;
    case orientationInterpolatorKeyword:
        if (state != inPartTransform)
            return fail(orientationOutside);
        state = afterOrientationInterpolator;
        return true;
    case ktPartTransformKeyword:
        if (state == inChildren) {
            state = afterPartTransform;
        } else {
            state = topLevel;
            insideAnimation = false;
        }
        return true;
    case positionInterpolatorKeyword:
        if (state != inPartTransform)
            return fail(positionOutside);
        state = afterPositionInterpolator;
        return true;
    }
    return true;
}

void AnimationFileReader::addNumber(float number) {
    if (state == inKeys)
        (orientationMode ? orientationKeys : positionKeys).append(number);
    else if (orientationMode)
        addOrientationNumber(number);
    else
        addPositionNumber(number);
}

void AnimationFileReader::addOrientationNumber(float number) {
    if (orientationPendingCount < 3) {
        orientationPending[orientationPendingCount++] = number;
        return;
    }
    orientationPendingCount = 0;
    // Axis and angle in radians, through the quaternion, to Euler angles.
    orientations.append(orientationFromAxisAngle(orientationPending[0], orientationPending[1],
                                                 orientationPending[2], number));
}

void AnimationFileReader::addPositionNumber(float number) {
    if (positionPendingCount < 2) {
        positionPending[positionPendingCount++] = number;
        return;
    }
    positionPendingCount = 0;
    positions.append(KTVector3(positionPending[0], positionPending[1], number));
}

bool AnimationFileReader::endInterpolator() {
    // Both kinds are compared, whichever interpolator ends; pending numbers
    // of an unfinished value do not count.
    if (orientationKeys.entries() != orientations.entries() ||
        positionKeys.entries() != positions.entries())
        return fail(keyValueMismatch);
    return true;
}

bool AnimationFileReader::endPartTransform() {
    const std::size_t orientationCount = orientationKeys.entries();
    const std::size_t positionCount = positionKeys.entries();
    // A list opened by an unexpected "[" or an interpolator left through an
    // unexpected block can leave fewer values than keys without passing the
    // interpolator's own check. The builder would then run past the values.
    if (orientationCount == 0 || positionCount == 0 || orientationCount == positionCount) {
        const std::size_t keyCount = positionCount > 0 ? positionCount : orientationCount;
        if ((orientationCount > 0 && orientations.entries() < keyCount) ||
            (positionCount > 0 && positions.entries() < keyCount))
            return fail(keyValueMismatch);
    }

    auto track = std::make_unique<KTPartAnimation>();
    if (!animation.buildPartAnimation(track.get(), partName.data(), orientationKeys, orientations,
                                      positionKeys, positions))
        return fail(partDiscrepancy);
    // The table files the track under the full name, the displaced track
    // leaves the animation for good.
    delete animation.partAnimations->replace(partName, track.release());

    orientationKeys.clear();
    orientations.clear();
    positionKeys.clear();
    positions.clear();
    return true;
}

bool AnimationFileReader::fail(const char* message) {
    animation.errorMessage = message;
    return false;
}

} // namespace ktrt::detail
