#include <ktrt/snapshot/KTPoseState.h>

#include <algorithm>

#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/world/KTWorldAnimations.h>

KTPoseState::KTPoseState() = default;

KTPoseState::KTPoseState(const KTPoseState& other) = default;

KTPoseState& KTPoseState::operator=(const KTPoseState& other) = default;

KTPoseState::~KTPoseState() = default;

int KTPoseState::operator==(const KTPoseState& other) const {
    return std::equal(records.begin(), records.end(), other.records.begin(), other.records.end(),
                      [](const Record& a, const Record& b) { return a.target == b.target; })
               ? 1
               : 0;
}

unsigned int KTPoseState::getNumPlayers() const {
    return static_cast<unsigned int>(
        std::count_if(records.begin(), records.end(), [](const Record& r) { return !r.mixer; }));
}

unsigned int KTPoseState::getNumMixers() const {
    return static_cast<unsigned int>(records.size()) - getNumPlayers();
}

void KTPoseState::makeSnapshot(const KTWorldAnimations& animations) {
    clear();
    for (unsigned int i = 0; i < animations.getNumPlayers(); ++i)
        addPlayer(animations.getPlayer(i));
    for (unsigned int i = 0; i < animations.getNumMixers(); ++i)
        addMixer(animations.getMixer(i));
}

int KTPoseState::addMixer(KTAnimationMixer* mixer) {
    if (!mixer)
        return 0;
    KTPartBinding parts = mixer->getBinding();
    parts.saveFields();
    // The actions' state, as a copy of the mixer.
    auto saved = std::make_shared<const KTAnimationMixer>(*mixer);
    records.push_back(Record{mixer, true, mixer->getLifetime(), parts, true,
                             [mixer, saved]() { mixer->restoreActions(*saved); }});
    return 1;
}

int KTPoseState::addPlayer(KTAnimationPlayer* player) {
    if (!player)
        return 0;
    const KTAnimationSampler& sampler = player->getSampler();
    KTPartBinding parts = sampler.getBinding();
    parts.saveFields();
    const double time = player->getTime();
    const double speed = player->getSpeed();
    const bool playing = player->isPlaying() != 0;
    const double keyRate = sampler.getKeyRate();
    const double cycleLength = sampler.getCycleLength();
    const KTAnimationSampler::WrapMode wrap = sampler.getWrapMode();
    const KTAnimationSampler::Interpolation interpolation = sampler.getInterpolation();
    const auto restore = [=]() {
        KTAnimationSampler& restored = player->getSampler();
        restored.setKeyRate(keyRate);
        restored.setWrapMode(wrap);
        restored.setInterpolation(interpolation);
        restored.setCycleLength(cycleLength);
        player->setSpeed(speed);
        // play() may rewind a clamped play that stands at its end; the time
        // is set after it.
        if (playing)
            player->play();
        else
            player->pause();
        player->seek(time);
    };
    records.push_back(Record{player, false, player->getLifetime(), parts,
                             sampler.getObject() != nullptr, restore});
    return 1;
}

void KTPoseState::restoreFromSnapshot() const {
    // Players first, then mixers, as they were recorded by makeSnapshot().
    for (const bool mixers : {false, true}) {
        for (const Record& record : records) {
            if (record.mixer != mixers || record.lifetime.expired() ||
                (record.bound && !record.parts.isComponentPresent()))
                continue;
            record.restore();
            record.parts.restore();
        }
    }
}

void KTPoseState::clear() {
    records.clear();
}
