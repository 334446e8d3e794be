#pragma once

#include <array>
#include <cstddef>
#include <list>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <rw/RWCString.h>

class KTPartAnimation;

namespace ktrt::detail {

/// The track table of a component animation: part name -> owned track.
///
/// Names match exactly. Lookups hash the name once (O(1) on average at any
/// size). The index order walks 64 name buckets in turn (bucket = hash of
/// the name modulo 64) and, inside a bucket, the order in which the names
/// were first stored; it is cached and rebuilt only after an insert or a
/// removal, so walking every index is linear.
class TrackTable {
public:
    TrackTable();
    /// Deep copy: every track is copied.
    TrackTable(const TrackTable& other);
    TrackTable& operator=(const TrackTable& other);
    /// Deletes every track.
    ~TrackTable();

    std::size_t size() const;
    /// The track filed under the name, or null.
    KTPartAnimation* find(const char* name, std::size_t length) const;
    /// True when `track` is filed under any name (it may have been renamed).
    bool holds(const KTPartAnimation* track) const { return tracks.count(track) != 0; }
    /// Files `track` under `name` and takes it; false (nothing taken) when
    /// the name is already present.
    bool insert(const RWCString& name, KTPartAnimation* track);
    /// Files `track` under `name`, taking it; a track already filed under
    /// that name is unlinked and returned (the caller deletes it), keeping
    /// the name's place in the index order. Returns null when there was none.
    KTPartAnimation* replace(const RWCString& name, KTPartAnimation* track);
    /// Unlinks and returns the track filed under the name (the caller deletes
    /// it), or null.
    KTPartAnimation* remove(const char* name, std::size_t length);
    /// The track at `index` of the index order; null past the end.
    KTPartAnimation* at(std::size_t index) const;
    /// Deletes every track and empties the table.
    void clearAndDestroy();

private:
    /// Number of buckets of the index order.
    static constexpr std::size_t bucketCount = 64;

    struct Entry {
        RWCString name; // the table's own copy: renaming the track moves nothing
        KTPartAnimation* track;
    };
    using Bucket = std::list<Entry>;

    struct NameHash {
        std::size_t operator()(std::string_view name) const noexcept {
            return RWCString::hash(name.data(), name.size());
        }
    };

    static std::size_t bucketOf(const char* name, std::size_t length) {
        return RWCString::hash(name, length) % bucketCount;
    }
    void swap(TrackTable& other) noexcept;
    void rebuildOrder() const;

    // Entries live in their bucket's list (stable addresses, insertion order);
    // the map's keys view the names stored in those entries.
    std::array<Bucket, bucketCount> buckets;
    std::unordered_map<std::string_view, Bucket::iterator, NameHash> byName;
    // Tracks in index order; rebuilt lazily after the table changed.
    mutable std::vector<KTPartAnimation*> order;
    mutable bool orderValid = true;
    // Every track filed, so that a track cannot be filed (and deleted) twice.
    std::unordered_set<const KTPartAnimation*> tracks;
};

} // namespace ktrt::detail
