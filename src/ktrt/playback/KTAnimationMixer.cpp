#include <ktrt/playback/KTAnimationMixer.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include <ktrt/keys/KTComponentAnimation.h>

namespace {

const RWCString noName;

} // namespace

KTAnimationMixer::KTAnimationMixer() = default;

KTAnimationMixer::KTAnimationMixer(KTComponent* component) : binding(component) {}

KTAnimationMixer::KTAnimationMixer(const KTAnimationMixer& other) {
    copyFrom(other);
}

KTAnimationMixer& KTAnimationMixer::operator=(const KTAnimationMixer& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

KTAnimationMixer::~KTAnimationMixer() = default;

void KTAnimationMixer::copyFrom(const KTAnimationMixer& other) {
    binding = other.binding;
    partNames = other.partNames;
    partsByName = other.partsByName;
    clips = other.clips;
    restPose = other.restPose;
    restPoseValid = other.restPoseValid;
    pose = other.pose;
    actions.clear();
    pending.clear();
    writtenChannels = other.writtenChannels;
    for (const Entry& entry : other.actions) {
        if (entry.removed)
            continue;
        auto copy = std::make_unique<KTAnimationAction>(*entry.action);
        copy->mixer = this;
        addEntry(std::move(copy));
    }
    callback = other.callback;
    callbackData = other.callbackData;
}

int KTAnimationMixer::operator==(const KTAnimationMixer& other) const {
    return getComponent() == other.getComponent() ? 1 : 0;
}

int KTAnimationMixer::partIndex(const RWCString& name) {
    const auto known = partsByName.find(name.std());
    if (known != partsByName.end())
        return known->second;
    int index = -1;
    if (binding.addPart(name)) {
        index = static_cast<int>(partNames.size());
        partNames.push_back(name);
        restPoseValid = false;
        for (Entry& entry : actions) {
            KTAnimationAction& action = *entry.action;
            if (action.limitedToParts)
                action.partWeights.resize(partNames.size(), 0.0f);
        }
    }
    // Parts the component lacks are remembered too, so they are looked up once.
    partsByName.emplace(name.std(), index);
    return index;
}

void KTAnimationMixer::addEntry(std::unique_ptr<KTAnimationAction> action) {
    Entry entry;
    const KTAnimationClip& clip = *action->getClip();
    entry.partOfTrack.resize(clip.getNumTracks());
    for (unsigned int t = 0; t < clip.getNumTracks(); ++t)
        entry.partOfTrack[t] = partIndex(clip.getPartName(t));
    entry.action = std::move(action);
    actions.push_back(std::move(entry));
}

KTAnimationAction* KTAnimationMixer::addAction(const std::shared_ptr<const KTAnimationClip>& clip,
                                               const KTAnimationClip::Timing& timing) {
    if (!clip || binding.getComponent() == nullptr || !KTAnimationClip::validate(0.0, timing))
        return nullptr;
    addEntry(std::unique_ptr<KTAnimationAction>(new KTAnimationAction(this, clip, timing)));
    return actions.back().action.get();
}

KTAnimationAction* KTAnimationMixer::addAction(KTComponentAnimation* animation,
                                               const KTAnimationClip::Timing& timing) {
    if (animation == nullptr || binding.getComponent() == nullptr)
        return nullptr;
    std::shared_ptr<const KTAnimationClip>& clip = clips[animation];
    if (!clip)
        clip = KTAnimationClip::create(*animation);
    return addAction(clip, timing);
}

int KTAnimationMixer::removeAction(KTAnimationAction* action) {
    for (std::size_t i = 0; i < actions.size(); ++i) {
        Entry& entry = actions[i];
        if (entry.action.get() != action || entry.removed)
            continue;
        action->stop();
        if (dispatching) {
            entry.removed = true;
        } else {
            actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return 1;
    }
    return 0;
}

KTAnimationAction* KTAnimationMixer::getAction(unsigned int index) const {
    return index < actions.size() ? actions[index].action.get() : nullptr;
}

const RWCString& KTAnimationMixer::getPartName(unsigned int index) const {
    return index < partNames.size() ? partNames[index] : noName;
}

int KTAnimationMixer::getPartIndex(const RWCString& name) const {
    const auto known = partsByName.find(name.std());
    return known != partsByName.end() ? known->second : -1;
}

void KTAnimationMixer::blend() {
    const auto numParts = static_cast<unsigned int>(partNames.size());
    if (!restPoseValid) {
        binding.getRestPose(restPose);
        pose.setNumParts(numParts);
        restPoseValid = true;
    }
    // Every active action enters, whatever its weight: the parts it animates
    // are written, a weight of 0 giving them the rest pose.
    layers.clear();
    additiveLayers.clear();
    for (Entry& entry : actions) {
        const KTAnimationAction& action = *entry.action;
        if (entry.removed || !action.isActive())
            continue;
        const bool additive = action.getBlendMode() == KTAnimationAction::ADDITIVE;
        const KTAnimationClip::Timing& timing = action.getTiming();
        if (additive) {
            const KTAnimationClip::Timing& cached = entry.referenceTiming;
            if (!entry.referenceValid || cached.keysPerSecond != timing.keysPerSecond ||
                cached.cycleSeconds != timing.cycleSeconds ||
                cached.interpolation != timing.interpolation || cached.wrap != timing.wrap) {
                entry.reference.setNumParts(numParts);
                entry.referenceValid =
                    action.getClip()->sample(0.0, timing, entry.partOfTrack, entry.reference) != 0;
                entry.referenceTiming = timing;
            }
            if (!entry.referenceValid)
                continue;
        }
        // Sampling sets exactly the channels of the action's own parts, and no
        // other part of its pose is ever set: nothing to clear between ticks.
        entry.sampled.setNumParts(numParts);
        if (!action.getClip()->sample(action.getTime(), timing, entry.partOfTrack, entry.sampled,
                                      &entry.cursor))
            continue;
        const KTPoseBlend::Layer layer{&entry.sampled, action.getEffectiveWeight(),
                                       action.getPartWeights().empty() ? nullptr
                                                                       : &action.getPartWeights(),
                                       additive ? &entry.reference : nullptr};
        (additive ? additiveLayers : layers).push_back(layer);
    }
    KTPoseBlend::blend(layers, additiveLayers, restPose, pose);
}

void KTAnimationMixer::advance(double elapsedSeconds) {
    if (!(elapsedSeconds >= 0.0) || !std::isfinite(elapsedSeconds) || dispatching)
        return;
    if (!binding.isComponentPresent())
        return;
    pending.clear();
    for (Entry& entry : actions) {
        actionEvents.clear();
        entry.action->advance(elapsedSeconds, actionEvents);
        for (KTAnimationAction::Event event : actionEvents)
            pending.push_back(Pending{entry.action.get(), event});
    }
    // An action whose fade-out ended above is stopped: this tick blends
    // without it.
    blend();
    restoreReleasedParts();
    binding.write(pose);
    forgetRestoredParts();

    if (callback == nullptr || pending.empty())
        return;
    // The callback may delete this mixer (directly, through its component or
    // by reloading the world's animations): nothing of it is read once the
    // token has expired. Indices, not iterators: it may also add actions or
    // assign another mixer to this one, which clears `pending`.
    const std::weak_ptr<const void> alive = lifetime;
    dispatching = true;
    // NOLINTNEXTLINE(modernize-loop-convert): the callback may clear `pending`
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const Pending event = pending[i];
        bool gone = false;
        for (const Entry& entry : actions)
            gone = gone || (entry.action.get() == event.action && entry.removed);
        if (gone || callback == nullptr)
            continue;
        callback(callbackData, this, event.action, event.event);
        if (alive.expired())
            return;
    }
    dispatching = false;
    dropRemoved();
}

void KTAnimationMixer::restoreReleasedParts() {
    const unsigned int numParts = pose.getNumParts();
    writtenChannels.resize(numParts, 0);
    restoredChannels.assign(numParts, 0);
    for (unsigned int p = 0; p < numParts; ++p) {
        const int now = pose.getChannels(p);
        // Channels written last tick that nothing animates now go back to the
        // rest pose, once: after that a host may set them by hand.
        const int released = writtenChannels[p] & ~now;
        writtenChannels[p] = now;
        if (released & KTPose::TRANSLATION)
            pose.setTranslation(p, restPose.getTranslation(p));
        if (released & KTPose::ROTATION)
            pose.setRotation(p, restPose.getRotation(p));
        restoredChannels[p] = released;
    }
}

void KTAnimationMixer::forgetRestoredParts() {
    for (unsigned int p = 0; p < restoredChannels.size(); ++p) {
        if (restoredChannels[p] != 0)
            pose.setPart(p, pose.getTranslation(p), pose.getRotation(p), writtenChannels[p]);
    }
}

void KTAnimationMixer::dropRemoved() {
    for (std::size_t i = actions.size(); i-- > 0;) {
        if (actions[i].removed)
            actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void KTAnimationMixer::resetState() {
    binding.restore();
}

void KTAnimationMixer::setCallback(Callback* function, void* data) {
    callback = function;
    callbackData = data;
}

int KTAnimationMixer::restoreActions(const KTAnimationMixer& saved) {
    if (saved.getComponent() != getComponent())
        return 0;
    writtenChannels = saved.writtenChannels;
    const std::size_t count = std::min(actions.size(), saved.actions.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (actions[i].action->getClip() == saved.actions[i].action->getClip())
            *actions[i].action = *saved.actions[i].action;
    }
    return 1;
}
