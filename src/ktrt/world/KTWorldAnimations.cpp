#include <ktrt/world/KTWorldAnimations.h>

#include <algorithm>
#include <list>
#include <string>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentIterator.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/binding/detail/SceneAccess.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/world/KTAnimationPlayback.h>

namespace {

// The playback nodes whose nearest component above them is `component`.
std::vector<KTAnimationPlayback*> playbacksOf(KTComponent* component) {
    std::vector<KTAnimationPlayback*> found;
    std::vector<SoNode*> nodes;
    ktrt::detail::forEachPathToType(
        component, KTAnimationPlayback::getClassTypeId(), [&](SoPath* path, SoNode* tail) {
            ktrt::detail::fullPathNodes(path, nodes);
            for (std::size_t n = nodes.size() - 1; n-- > 0;) {
                if (nodes[n]->isOfType(KTComponent::getClassTypeId())) {
                    if (nodes[n] == component)
                        found.push_back(static_cast<KTAnimationPlayback*>(tail));
                    break;
                }
            }
        });
    return found;
}

// The node's timing; a field the clip refuses (a key rate that is not
// positive, a mode it does not know) plays as the default.
KTAnimationClip::Timing timingOf(const KTAnimationPlayback& node) {
    KTAnimationClip::Timing timing;
    const auto take = [&timing](KTAnimationClip::Timing changed) {
        if (KTAnimationClip::validate(0.0, changed))
            timing = changed;
    };
    KTAnimationClip::Timing changed = timing;
    changed.keysPerSecond = node.keyRate.getValue();
    take(changed);
    changed = timing;
    changed.cycleSeconds = node.cycleLength.getValue();
    take(changed);
    changed = timing;
    changed.interpolation =
        static_cast<KTAnimationClip::Interpolation>(node.interpolation.getValue());
    take(changed);
    changed = timing;
    changed.wrap = static_cast<KTAnimationClip::WrapMode>(node.wrap.getValue());
    take(changed);
    return timing;
}

// Limits `action`, just added to `mixer`, to the parts that `names` lists,
// none listed meaning all. Names the mixer has not bound (parts the component
// lacks or no action moves) are left out.
void limitToParts(KTAnimationMixer& mixer, KTAnimationAction& action, const SoMFString& names) {
    if (names.getNum() == 0)
        return;
    std::vector<RWCString> bound;
    for (int n = 0; n < names.getNum(); ++n) {
        if (mixer.getPartIndex(names[n].getString()) >= 0)
            bound.emplace_back(names[n].getString());
    }
    if (!bound.empty()) {
        action.limitToParts(bound);
        return;
    }
    for (unsigned int p = 0; p < mixer.getNumParts(); ++p)
        action.setPartWeight(mixer.getPartName(p), 0.0);
}

} // namespace

KTWorldAnimations::KTWorldAnimations() : world(nullptr) {}

KTWorldAnimations::KTWorldAnimations(KTComponentDB* loaded) : world(nullptr) {
    load(loaded);
}

KTWorldAnimations::KTWorldAnimations(const KTWorldAnimations& other) : world(nullptr) {
    copyFrom(other);
}

KTWorldAnimations& KTWorldAnimations::operator=(const KTWorldAnimations& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

KTWorldAnimations::~KTWorldAnimations() = default;

void KTWorldAnimations::copyFrom(const KTWorldAnimations& other) {
    // Players first: they point into the animations.
    players.clear();
    world = other.world;
    animations = other.animations;
    for (const std::unique_ptr<KTAnimationPlayer>& player : other.players)
        players.push_back(std::make_unique<KTAnimationPlayer>(*player));
    mixers.clear();
    for (const std::unique_ptr<KTAnimationMixer>& mixer : other.mixers)
        mixers.push_back(std::make_unique<KTAnimationMixer>(*mixer));
    failures = other.failures;
}

int KTWorldAnimations::operator==(const KTWorldAnimations& other) const {
    return world == other.world ? 1 : 0;
}

int KTWorldAnimations::load(KTComponentDB* loaded) {
    players.clear();
    mixers.clear();
    animations.clear();
    failures.clear();
    world = loaded;
    if (!world || KTAnimationPlayback::getClassTypeId() == SoType::badType())
        return 0;
    // Animations read so far, by name and positions setting, with their clip.
    struct Read {
        std::string name;
        bool positions;
        KTComponentAnimation* animation;
        std::shared_ptr<const KTAnimationClip> clip;
    };
    // A list: pointers to its entries stay valid as it grows.
    std::list<Read> read;
    // The animation a node names, read once per name and positions setting;
    // null (and a failure listed) when it does not read.
    const auto animationOf = [&](KTComponent* component, KTAnimationPlayback* node) -> const Read* {
        const SbString& name = node->animation.getValue();
        const bool positions = node->positions.getValue() != FALSE;
        auto known = std::find_if(read.begin(), read.end(), [&](const Read& r) {
            return r.positions == positions && r.name == name.getString();
        });
        if (known != read.end())
            return &*known;
        auto animation = std::make_shared<KTComponentAnimation>();
        if (!animation->loadAnimationFromFile(name.getString())) {
            RWCString failure = RWCString("component \"") + component->getName().getString() +
                                "\": animation \"" + name.getString() + "\": ";
            if (animation->getErrorMessage().isNull()) {
                failure += "cannot be read";
            } else {
                failure += std::to_string(animation->getLineNumber()).c_str();
                failure += ": ";
                failure += animation->getErrorMessage();
                failure += ": ";
                failure += animation->getLineText();
            }
            failures.push_back(failure);
            return nullptr;
        }
        if (positions)
            usePositionKeys(*animation);
        animations.push_back(animation);
        read.push_back(Read{name.getString(), positions, animation.get(),
                            KTAnimationClip::create(*animation)});
        return &read.back();
    };

    KTComponentIterator components(world, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        std::vector<KTAnimationPlayback*> nodes = playbacksOf(component);
        nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                                   [](KTAnimationPlayback* node) {
                                       return node->animation.getValue().getLength() == 0;
                                   }),
                    nodes.end());
        const bool layered =
            nodes.size() > 1 ||
            (nodes.size() == 1 && (nodes[0]->weight.getValue() != 1.0f ||
                                   nodes[0]->blend.getValue() != KTAnimationPlayback::REPLACE ||
                                   nodes[0]->parts.getNum() > 0));
        // One path for both: the component's nodes, read the same way, become
        // one player or the actions of one mixer.
        std::unique_ptr<KTAnimationMixer> mixer;
        if (layered)
            mixer = std::make_unique<KTAnimationMixer>(component);
        for (KTAnimationPlayback* node : nodes) {
            const Read* known = animationOf(component, node);
            if (!known)
                continue;
            const KTAnimationClip::Timing timing = timingOf(*node);
            if (!mixer) {
                auto player = std::make_unique<KTAnimationPlayer>(
                    component, known->animation, known->clip, timing.keysPerSecond);
                KTAnimationSampler& sampler = player->getSampler();
                sampler.setCycleLength(timing.cycleSeconds);
                sampler.setInterpolation(timing.interpolation);
                sampler.setWrapMode(timing.wrap);
                player->setSpeed(node->speed.getValue());
                player->seek(0.0);
                if (node->playing.getValue())
                    player->play();
                players.push_back(std::move(player));
                continue;
            }
            KTAnimationAction* action = mixer->addAction(known->clip, timing);
            action->setSpeed(node->speed.getValue());
            action->setWeight(node->weight.getValue());
            action->setBlendMode(node->blend.getValue() == KTAnimationPlayback::ADDITIVE
                                     ? KTAnimationAction::ADDITIVE
                                     : KTAnimationAction::REPLACE);
            limitToParts(*mixer, *action, node->parts);
            action->play();
            if (!node->playing.getValue())
                action->pause();
        }
        if (mixer && mixer->getNumActions() > 0) {
            mixer->advance(0.0);
            mixers.push_back(std::move(mixer));
        }
    }
    return static_cast<int>(players.size() + mixers.size());
}

KTAnimationPlayer* KTWorldAnimations::getPlayer(unsigned int index) const {
    return index < players.size() ? players[index].get() : nullptr;
}

KTAnimationPlayer* KTWorldAnimations::getPlayer(const RWCString& componentName) const {
    for (const std::unique_ptr<KTAnimationPlayer>& player : players) {
        KTComponent* component = player->getSampler().getBinding().getComponent();
        if (component && componentName == component->getName().getString())
            return player.get();
    }
    return nullptr;
}

KTAnimationMixer* KTWorldAnimations::getMixer(unsigned int index) const {
    return index < mixers.size() ? mixers[index].get() : nullptr;
}

KTAnimationMixer* KTWorldAnimations::getMixer(const RWCString& componentName) const {
    for (const std::unique_ptr<KTAnimationMixer>& mixer : mixers) {
        KTComponent* component = mixer->getComponent();
        if (component && componentName == component->getName().getString())
            return mixer.get();
    }
    return nullptr;
}

RWCString KTWorldAnimations::getFailure(unsigned int index) const {
    return index < failures.size() ? failures[index] : RWCString();
}

int KTWorldAnimations::hasPositionKeys(KTPartAnimation& track) {
    for (unsigned int k = 0; k < track.getNumStates(); ++k) {
        const KTVector3& position = track[k]->getPosition();
        if (position[0] != 0.0 || position[1] != 0.0 || position[2] != 0.0)
            return 1;
    }
    return 0;
}

unsigned int KTWorldAnimations::usePositionKeys(KTComponentAnimation& animation) {
    unsigned int used = 0;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        if (hasPositionKeys(*track)) {
            track->setUsePositions(1);
            ++used;
        }
    }
    return used;
}

std::vector<KTAnimationPlayback*> KTWorldAnimations::findPlaybackNodes(KTComponentDB* world) {
    std::vector<KTAnimationPlayback*> found;
    if (world == nullptr)
        return found;
    for (unsigned int c = 0; c < world->getNumComponents(); ++c) {
        ktrt::detail::forEachNodeOfType(
            world->getComponent(c), KTAnimationPlayback::getClassTypeId(), [&](SoNode* node) {
                auto* playback = static_cast<KTAnimationPlayback*>(node);
                if (std::find(found.begin(), found.end(), playback) == found.end())
                    found.push_back(playback);
            });
    }
    return found;
}

std::vector<KTAnimationPlayback*> KTWorldAnimations::findPlaybackNodesOf(KTComponent* component) {
    return component != nullptr ? playbacksOf(component) : std::vector<KTAnimationPlayback*>();
}
