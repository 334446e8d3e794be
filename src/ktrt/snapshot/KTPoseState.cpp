#include <ktrt/snapshot/KTPoseState.h>

#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/world/KTWorldAnimations.h>

KTPoseState::KTPoseState() = default;

KTPoseState::KTPoseState(const KTPoseState& other) = default;

KTPoseState& KTPoseState::operator=(const KTPoseState& other) = default;

KTPoseState::~KTPoseState() = default;

int KTPoseState::operator==(const KTPoseState& other) const {
    if (players.size() != other.players.size())
        return 0;
    for (std::size_t i = 0; i < players.size(); ++i) {
        if (players[i].player != other.players[i].player)
            return 0;
    }
    if (mixers.size() != other.mixers.size())
        return 0;
    for (std::size_t i = 0; i < mixers.size(); ++i) {
        if (mixers[i].mixer != other.mixers[i].mixer)
            return 0;
    }
    return 1;
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
    mixers.push_back(MixerRecord{mixer, mixer->getLifetime(),
                                 std::make_shared<const KTAnimationMixer>(*mixer), parts});
    return 1;
}

int KTPoseState::addPlayer(KTAnimationPlayer* player) {
    if (!player)
        return 0;
    const KTAnimationSampler& sampler = player->getSampler();
    KTPartBinding parts = sampler.getBinding();
    parts.saveFields();
    players.push_back(PlayerRecord{
        player, player->getLifetime(), parts, sampler.getObject() != nullptr, player->getTime(),
        player->getSpeed(), sampler.getKeyRate(), player->isPlaying() != 0, sampler.getWrapMode(),
        sampler.getInterpolation(), sampler.getCycleLength()});
    return 1;
}

void KTPoseState::restoreFromSnapshot() const {
    for (const PlayerRecord& record : players) {
        if (record.lifetime.expired() || (record.bound && !record.parts.isComponentPresent()))
            continue;
        KTAnimationPlayer& player = *record.player;
        KTAnimationSampler& sampler = player.getSampler();
        sampler.setKeyRate(record.keyRate);
        sampler.setWrapMode(record.wrapMode);
        sampler.setInterpolation(record.interpolation);
        sampler.setCycleLength(record.cycleLength);
        player.setSpeed(record.speed);
        // play() may rewind a clamped play that stands at its end; the time
        // is set after it.
        if (record.playing)
            player.play();
        else
            player.pause();
        player.seek(record.time);
        record.parts.restore();
    }
    for (const MixerRecord& record : mixers) {
        if (record.lifetime.expired() || !record.parts.isComponentPresent())
            continue;
        record.mixer->restoreActions(*record.saved);
        record.parts.restore();
    }
}

void KTPoseState::clear() {
    players.clear();
    mixers.clear();
}
