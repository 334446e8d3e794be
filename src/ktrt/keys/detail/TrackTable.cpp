#include <ktrt/keys/detail/TrackTable.h>

#include <memory>
#include <utility>

#include <ktrt/keys/KTPartAnimation.h>

namespace ktrt::detail {

TrackTable::TrackTable() = default;

TrackTable::TrackTable(const TrackTable& other) : TrackTable() {
    // Delegating first means the destructor frees the copies made so far if
    // a later copy throws.
    byName.reserve(other.byName.size());
    for (const Bucket& bucket : other.buckets) {
        for (const Entry& entry : bucket) {
            std::unique_ptr<KTPartAnimation> copy(new KTPartAnimation(*entry.track));
            insert(entry.name, copy.get());
            static_cast<void>(copy.release()); // the table owns it now
        }
    }
}

TrackTable& TrackTable::operator=(const TrackTable& other) {
    if (this != &other) {
        TrackTable copy(other);
        swap(copy);
    }
    return *this;
}

TrackTable::~TrackTable() {
    clearAndDestroy();
}

void TrackTable::swap(TrackTable& other) noexcept {
    // Swapping lists keeps their nodes in place, so the map's name views and
    // iterators stay valid.
    buckets.swap(other.buckets);
    byName.swap(other.byName);
    tracks.swap(other.tracks);
    order.swap(other.order);
    std::swap(orderValid, other.orderValid);
}

std::size_t TrackTable::size() const {
    return byName.size();
}

KTPartAnimation* TrackTable::find(const char* name, std::size_t length) const {
    const auto found = byName.find(std::string_view(name, length));
    return found == byName.end() ? nullptr : found->second->track;
}

bool TrackTable::insert(const RWCString& name, KTPartAnimation* track) {
    if (byName.count(std::string_view(name.data(), name.length())))
        return false;
    tracks.insert(track);
    Bucket& bucket = buckets[bucketOf(name.data(), name.length())];
    try {
        bucket.push_back(Entry{name, track});
    } catch (...) {
        tracks.erase(track);
        throw;
    }
    const auto entry = std::prev(bucket.end());
    try {
        byName.emplace(std::string_view(entry->name.data(), entry->name.length()), entry);
    } catch (...) {
        bucket.pop_back();
        tracks.erase(track);
        throw;
    }
    orderValid = false;
    return true;
}

KTPartAnimation* TrackTable::replace(const RWCString& name, KTPartAnimation* track) {
    const auto found = byName.find(std::string_view(name.data(), name.length()));
    if (found == byName.end()) {
        insert(name, track);
        return nullptr;
    }
    // The entry keeps its place in its bucket; only the cached track changes.
    KTPartAnimation* displaced = found->second->track;
    tracks.insert(track);
    if (displaced != track)
        tracks.erase(displaced);
    found->second->track = track;
    orderValid = false;
    return displaced;
}

KTPartAnimation* TrackTable::remove(const char* name, std::size_t length) {
    const auto found = byName.find(std::string_view(name, length));
    if (found == byName.end())
        return nullptr;
    const Bucket::iterator entry = found->second;
    KTPartAnimation* track = entry->track;
    tracks.erase(track);
    byName.erase(found);
    buckets[bucketOf(entry->name.data(), entry->name.length())].erase(entry);
    orderValid = false;
    return track;
}

KTPartAnimation* TrackTable::at(std::size_t index) const {
    if (index >= byName.size())
        return nullptr;
    if (!orderValid)
        rebuildOrder();
    return order[index];
}

void TrackTable::rebuildOrder() const {
    order.clear();
    order.reserve(byName.size());
    for (const Bucket& bucket : buckets) {
        for (const Entry& entry : bucket)
            order.push_back(entry.track);
    }
    orderValid = true;
}

void TrackTable::clearAndDestroy() {
    byName.clear();
    tracks.clear();
    for (Bucket& bucket : buckets) {
        for (Entry& entry : bucket)
            delete entry.track;
        bucket.clear();
    }
    order.clear();
    orderValid = true;
}

} // namespace ktrt::detail
