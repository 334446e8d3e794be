#pragma once

#include "common/Findings.h"

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <ktrt/keys/KTAnimationDiagnostics.h>

class KTComponent;
class KTComponentAnimation;
class KTPartAnimation;

namespace ktrt_tool {

/// Listens to the animation file reader and turns what it reports into
/// findings; checkTracks() adds those about the tracks as read.
class AnimationChecker : public KTAnimationDiagnostics {
public:
    /// With `positionsPlay` the host plays position keys: they are no finding.
    explicit AnimationChecker(bool positionsPlay) : positionsPlay(positionsPlay) {}

    void report(const Report& report) override;

    /// Findings about the animation as read: track lengths and, given a
    /// component, tracks naming parts it lacks.
    void checkTracks(KTComponentAnimation& animation, KTComponent* component);

    /// Replaces the reader's bare message about an interpolator whose keys
    /// and values differ in number by one naming the track, both counts and
    /// the shorter list's line, read from the file at `path`.
    void explainKeyCountMismatch(const std::string& path);

    /// Findings about the Key lists of the file at `path`, as the reader
    /// splits it: keys that do not increase, keys outside 0 to 1, and a part
    /// whose position keys differ from its orientation keys (a track has one
    /// list of key times). Call after a read that succeeded.
    void checkKeyLists(const std::string& path);

    /// Sorts the findings by line and column, those about the whole file last.
    void sortByPlace();

    /// The findings, at most issueLimit of them.
    std::vector<Issue> issues;
    /// Track names in the order their part transforms end in the file (a
    /// replaced track at its later place).
    std::vector<std::string> trackOrder;
    /// Whether findings beyond the limit were dropped.
    bool truncated = false;
    /// Beyond this many findings a file's report is cut short.
    static constexpr std::size_t issueLimit = 100;

private:
    void outside(std::string_view text, const Report& report);
    void checkTurns(KTPartAnimation& track, const std::string& name, int line, int column);
    std::string earlier(std::string_view name) const;
    std::pair<int, int> locationOf(const std::string& name) const;
    void add(Finding finding, const Report& report,
             std::initializer_list<std::string_view> details = {});
    void add(Issue issue);

    bool positionsPlay;
    bool inOutsideRun = false;
    bool afterLeaving = false;
    bool inGluedRun = false; // unknown words after a glued bracket
    std::map<std::string, std::pair<int, int>> locations;
};

} // namespace ktrt_tool
