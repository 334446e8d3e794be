#include <ktrt/keys/detail/AnimationFileReader.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include <ktrld/KTRegistryLoader.h>
#include <ktstd/Std_CString.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/keys/detail/LineReader.h>
#include <ktrt/keys/detail/NumberScanner.h>
#include <ktrt/keys/detail/TrackTable.h>

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

// Space, tab, line feed and comma separate tokens.
inline bool isSeparator(char c) {
    const auto byte = static_cast<unsigned char>(c);
    constexpr unsigned long long separators =
        (1ull << ' ') | (1ull << '\t') | (1ull << '\n') | (1ull << ',');
    return byte < 64 && ((separators >> byte) & 1u);
}

inline bool inList(State state) {
    return state == State::inKeys || state == State::inKeyValues;
}

// The construct that a state lies in, as the keyword that opens it.
const char* constructOf(State state) {
    switch (state) {
    case State::inStrayBlock:
        return "{";
    case State::afterChildren:
    case State::inChildren:
        return "Children";
    case State::afterKey:
    case State::inKeys:
        return "Key";
    case State::afterKeyValue:
    case State::inKeyValues:
        return "KeyValue";
    case State::afterName:
    case State::afterPartTransform:
    case State::inPartTransform:
        return "KTPartTransform";
    case State::afterOrientation:
    case State::inOrientation:
        return "OrientationInterpolator";
    case State::afterPosition:
    case State::inPosition:
        return "PositionInterpolator";
    default:
        return "KTAnimation";
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens the file for reading; a directory, which some systems let fopen
// open, counts as a file that cannot be opened.
std::unique_ptr<std::FILE, FileCloser> openForReading(const char* path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "r"));
    struct stat status;
    if (file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode)) {
        file.reset();
        errno = EISDIR;
    }
    return file;
}

} // namespace

int buildPartAnimation(KTPartAnimation* track, const char* partName,
                       const RWTValOrderedVector<float>& orientationKeys,
                       const RWTValOrderedVector<KTAxisAngle>& orientations,
                       const RWTValOrderedVector<float>& positionKeys,
                       const RWTValOrderedVector<KTVector3>& positions) {
    if (!partName || !track)
        return 0;
    track->clear();
    track->setPartName(partName);

    // Only the key lists' lengths matter: every built key has key value 0.0.
    const std::size_t orientationCount = orientationKeys.entries();
    const std::size_t positionCount = positionKeys.entries();
    track->setUseOrientations(orientationCount > 0 ? 1 : 0);
    // A built track never applies positions, even when its keys carry them.
    track->setUsePositions(0);
    if (orientationCount > 0 && positionCount > 0 && orientationCount != positionCount)
        return 0;

    const std::size_t keyCount = positionCount > 0 ? positionCount : orientationCount;
    for (std::size_t i = 0; i < keyCount; ++i) {
        auto key = std::make_unique<KTAnimationState>();
        // Checked access: a values list shorter than its keys raises RWBoundsErr.
        if (orientationCount > 0)
            key->setOrientation(orientations[i]);
        else
            key->setOrientation(KTAngle(0, 0, 0));
        key->setPosition(positionCount > 0 ? positions[i] : KTVector3(0, 0, 0));
        key->setValidity(1);
        track->appendState(key.get());
        static_cast<void>(key.release()); // the track owns it now
    }
    return 1;
}

AnimationFileReader::AnimationFileReader(const ReadTarget& target,
                                         KTAnimationDiagnostics* diagnostics)
    : target(target), diagnostics(diagnostics) {}

int AnimationFileReader::read(const RWCString& animationName) {
    target.errorMessage = "";
    target.lineNumber = 0;

    Std_CString path;
    {
        KTRegistryInfo info;
        KTRegistryLoader loader;
        if (!loader.GetAnimation(animationName.data(), info)) {
            reportAt(Code::notRegistered, 0, 0, animationName.data(), animationName.length());
            return 0;
        }
        path = info.GetLocalPath();
    }
    const auto file = openForReading(path);
    if (!file) {
        const int reason = errno;
        const char* const text = path;
        reportAt(Code::openFailed, 0, 0, text, std::strlen(text),
                 static_cast<unsigned long>(reason));
        return 0;
    }

    LineReader lines(file.get());
    if (!readLines(lines))
        return 0;
    if (diagnostics)
        endOfFile();
    target.lineText = "";
    target.loaded = 1;
    return 1;
}

bool AnimationFileReader::readLines(LineReader& lines) {
    char* line;
    char* lineEnd;
    while (lines.next(line, lineEnd)) {
        ++target.lineNumber;
        lineBegin = line;
        if (diagnostics) {
            lastLineLength = static_cast<std::size_t>(lineEnd - line);
            // The line reader drops a carriage return only before a line feed.
            if (line != lineEnd && lineEnd[-1] == '\r')
                report(Code::carriageReturn, lineEnd - 1, 1);
        }
        char* p = line;
        for (;;) {
            while (p != lineEnd && isSeparator(*p))
                ++p;
            if (p == lineEnd || *p == '#')
                break; // a comment runs to the end of the line
            // Inside a list, a short plain number that fills its token is
            // taken without finding the token's end first.
            if (inList(state)) {
                float number;
                const char* const numberEnd = scanShortDecimal(p, lineEnd, number);
                if (numberEnd && (numberEnd == lineEnd || isSeparator(*numberEnd))) {
                    takeNumber(number, p, numberEnd);
                    p = line + (numberEnd - line);
                    continue;
                }
            }
            char* const token = p;
            while (p != lineEnd && !isSeparator(*p))
                ++p;
            if (!takeToken(token, p)) {
                target.lineText = RWCString(line, static_cast<std::size_t>(lineEnd - line));
                return false;
            }
        }
    }
    return true;
}

bool AnimationFileReader::takeToken(char* token, char* tokenEnd) {
    const auto length = static_cast<std::size_t>(tokenEnd - token);
    tokenBegin = token;
    if (insideAnimation) {
        // The values that follow "Name" and the numbers of lists are no
        // keywords; a list's "]" is.
        if (state == State::afterName && token[0] == '"')
            return takeName(token, length);
        if (inList(state) && token[0] != ']') {
            float number;
            if (!scanFloat(token, tokenEnd, number))
                return fail(state == State::inKeys ? illegalKey : illegalKeyValue);
            takeNumber(number, token, tokenEnd);
            return true;
        }
    }
    const Transition& transition = grammar.at(state, findKeyword(token, length));
    if (!insideAnimation && !transition.escape) {
        report(Code::outsideAnimation, token, length);
        return true;
    }
    return apply(transition, token, length);
}

bool AnimationFileReader::takeName(const char* token, std::size_t length) {
    // A lone quote opens and closes nothing: it lacks its trailing quote.
    if (length < 2 || token[length - 1] != '"')
        return fail(missingTrailingQuote);
    partName = RWCString(token + 1, length - 2);
    partNamed = true;
    if (diagnostics && std::memchr(token + 1, '\0', length - 2))
        report(Code::nameCutAtNul, token, length);
    state = State::inPartTransform;
    return true;
}

bool AnimationFileReader::apply(const Transition& transition, const char* token,
                                std::size_t length) {
    switch (transition.action) {
    case Action::move:
        break;
    case Action::ignoreWord:
        report(state == State::afterName ? Code::unquotedName : Code::unknownWord, token, length);
        break;
    case Action::openAnimation:
        insideAnimation = true;
        sawAnimation = true;
        break;
    case Action::closeAnimation:
        insideAnimation = false;
        break;
    case Action::skipAnimation:
        insideAnimation = false;
        report(Code::animationSkipped, token, length);
        break;
    case Action::leaveAnimation:
        insideAnimation = false;
        report(Code::animationLeft, token, length);
        break;
    case Action::openStrayBlock:
        report(Code::strayBlock, token, length);
        break;
    case Action::openStrayList:
        report(Code::strayList, token, length);
        break;
    case Action::openPartTransform:
        partLine = target.lineNumber;
        partColumn = columnOf(token);
        partNamed = false;
        break;
    case Action::openOrientationBody:
        orientationMode = true;
        break;
    case Action::closeList:
        return closeList();
    case Action::endInterpolator:
        if (!endInterpolator())
            return false;
        orientationMode = false;
        break;
    case Action::endPartTransform:
        if (!endPartTransform())
            return false;
        break;
    case Action::failNestedAnimations:
        return fail(nestedAnimations);
    case Action::failUnexpectedRightBrace:
        return fail(unexpectedRightBrace);
    case Action::failIllegalRightBrace:
        return fail(illegalRightBrace);
    case Action::failUnexpectedKey:
        return fail(unexpectedKey);
    case Action::failUnexpectedKeyValue:
        return fail(unexpectedKeyValue);
    case Action::failOrientationOutside:
        return fail(orientationOutside);
    case Action::failPositionOutside:
        return fail(positionOutside);
    }
    if (transition.next != State::unchanged)
        state = transition.next;
    return true;
}

void AnimationFileReader::takeNumber(float number, const char* token, const char* tokenEnd) {
    if (diagnostics) {
        if (!std::isfinite(number))
            report(Code::nonFiniteNumber, token, static_cast<std::size_t>(tokenEnd - token));
        const std::size_t used = scannedLength(token, tokenEnd);
        if (token + used < tokenEnd)
            report(Code::numberSuffix, token, static_cast<std::size_t>(tokenEnd - token), used);
    }
    if (state == State::inKeys)
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
    // Axis and angle in radians; the key built from them turns them into
    // Euler angles through the quaternion.
    orientations.append(
        KTAxisAngle(orientationPending[0], orientationPending[1], orientationPending[2], number));
}

void AnimationFileReader::addPositionNumber(float number) {
    if (positionPendingCount < 2) {
        positionPending[positionPendingCount++] = number;
        return;
    }
    positionPendingCount = 0;
    positions.append(KTVector3(positionPending[0], positionPending[1], number));
}

bool AnimationFileReader::closeList() {
    if (state == State::inKeyValues) {
        const int pending = orientationMode ? orientationPendingCount : positionPendingCount;
        if (pending > 0)
            report(Code::valuesLeftOver, tokenBegin, 1, static_cast<unsigned long>(pending));
    }
    state = orientationMode ? State::inOrientation : State::inPosition;
    return true;
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
    if (!buildPartAnimation(track.get(), partName.data(), orientationKeys, orientations,
                            positionKeys, positions))
        return fail(partDiscrepancy);
    const unsigned long keyCount = track->getNumStates();
    // The key lists' numbers go beside the keys, whose key values stay 0.0:
    // the orientation keys' when the part has any, else the position keys'.
    const RWTValOrderedVector<float>& keyList =
        orientationCount > 0 ? orientationKeys : positionKeys;
    std::vector<float> fractions(keyCount);
    for (unsigned long i = 0; i < keyCount; ++i)
        fractions[i] = keyList[i];
    track->setKeyFractions(fractions);
    // The table files the track under the full name, the displaced track
    // leaves the animation for good.
    std::unique_ptr<KTPartAnimation> displaced(target.tracks.replace(partName, track.release()));

    if (diagnostics) {
        const char* const name = partName.data();
        const std::size_t nameLength = partName.length();
        if (!partNamed)
            reportAt(Code::nameInherited, partLine, partColumn, name, nameLength);
        if (positionCount > 0)
            reportAt(Code::positionsNotPlayed, partLine, partColumn, name, nameLength,
                     positionCount);
        if (displaced)
            reportAt(Code::trackReplaced, partLine, partColumn, name, nameLength);
        reportAt(Code::trackStored, partLine, partColumn, name, nameLength, keyCount);
    }

    orientationKeys.clear();
    orientations.clear();
    positionKeys.clear();
    positions.clear();
    return true;
}

void AnimationFileReader::endOfFile() {
    // Whatever is still open at the end is dropped with its lists.
    if (!sawAnimation) {
        reportAt(Code::noAnimation, 0, 0, nullptr, 0,
                 static_cast<unsigned long>(target.lineNumber));
    } else if (insideAnimation) {
        const char* const construct = constructOf(state);
        reportAt(Code::openAtEnd, target.lineNumber, static_cast<int>(lastLineLength) + 1,
                 construct, std::strlen(construct));
    }
}

bool AnimationFileReader::fail(const char* message) {
    target.errorMessage = message;
    report(Code::readFailed, message, std::strlen(message));
    return false;
}

void AnimationFileReader::report(Code code, const char* text, std::size_t length,
                                 unsigned long count) {
    if (diagnostics)
        reportAt(code, target.lineNumber, columnOf(code == Code::readFailed ? tokenBegin : text),
                 text, length, count);
}

void AnimationFileReader::reportAt(Code code, int line, int column, const char* text,
                                   std::size_t length, unsigned long count) {
    if (diagnostics)
        diagnostics->report({code, line, column, text, length, count});
}

} // namespace ktrt::detail
