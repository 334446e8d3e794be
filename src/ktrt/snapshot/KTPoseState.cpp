#include <ktrt/snapshot/KTPoseState.h>

#include <Inventor/nodes/SoTransform.h>

#include <ktrt/animation/KTAnimationMixer.h>
#include <ktrt/animation/KTAnimationPlayer.h>
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

void KTPoseState::savePart(const SoTransform& node) {
    parts.push_back(PartPose{node.translation.getValue(), node.rotation.getValue(),
                             node.scaleFactor.getValue(), node.scaleOrientation.getValue(),
                             node.center.getValue()});
}

void KTPoseState::restorePart(const PartPose& pose, SoTransform& node) const {
    node.translation.setValue(pose.translation);
    node.rotation.setValue(pose.rotation);
    node.scaleFactor.setValue(pose.scaleFactor);
    node.scaleOrientation.setValue(pose.scaleOrientation);
    node.center.setValue(pose.center);
}

int KTPoseState::addMixer(KTAnimationMixer* mixer) {
    if (!mixer)
        return 0;
    auto saved = std::make_shared<const KTAnimationMixer>(*mixer);
    const KTPartBinding& binding = saved->getBinding();
    mixers.push_back(
        MixerRecord{mixer, mixer->getLifetime(), saved, parts.size(), binding.getNumParts()});
    for (unsigned int p = 0; p < binding.getNumParts(); ++p)
        savePart(*binding.getTransform(p));
    return 1;
}

int KTPoseState::addPlayer(KTAnimationPlayer* player) {
    if (!player)
        return 0;
    const KTAnimationSampler& sampler = player->getSampler();
    const KTPartBinding& binding = sampler.getBinding();
    players.push_back(PlayerRecord{
        player, player->getLifetime(), binding, sampler.getObject() != nullptr, player->getTime(),
        player->getSpeed(), sampler.getKeyRate(), player->isPlaying() != 0, sampler.getWrapMode(),
        sampler.getInterpolation(), parts.size(), binding.getNumParts(), sampler.getCycleLength()});
    for (unsigned int p = 0; p < binding.getNumParts(); ++p)
        savePart(*binding.getTransform(p));
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
        for (std::size_t p = 0; p < record.numParts; ++p)
            restorePart(parts[record.firstPart + p],
                        *record.parts.getTransform(static_cast<unsigned int>(p)));
    }
    for (const MixerRecord& record : mixers) {
        const KTPartBinding& binding = record.saved->getBinding();
        if (record.lifetime.expired() || !binding.isComponentPresent())
            continue;
        record.mixer->restoreActions(*record.saved);
        for (std::size_t p = 0; p < record.numParts; ++p)
            restorePart(parts[record.firstPart + p],
                        *binding.getTransform(static_cast<unsigned int>(p)));
    }
}

void KTPoseState::clear() {
    players.clear();
    mixers.clear();
    parts.clear();
}
