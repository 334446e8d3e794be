#include <ktrt/world/KTWorldDriver.h>

#include <algorithm>

#include <Inventor/SbTime.h>
#include <Inventor/sensors/SoTimerSensor.h>

#include <rw/RWCString.h>
#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentIterator.h>

#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/binding/KTPartBinding.h>

namespace {

const double defaultInterval = 1.0 / 240.0;

} // namespace

KTWorldDriver::KTWorldDriver() : sensor(nullptr), interval(defaultInterval) {
    createSensor();
}

KTWorldDriver::KTWorldDriver(const KTWorldDriver& other)
    : runningWorlds(other.runningWorlds), stoppedWorlds(other.stoppedWorlds), sensor(nullptr),
      interval(other.interval) {
    createSensor();
    scheduleWhileRunning();
}

KTWorldDriver& KTWorldDriver::operator=(const KTWorldDriver& other) {
    if (this == &other)
        return *this;
    runningWorlds = other.runningWorlds;
    stoppedWorlds = other.stoppedWorlds;
    setInterval(other.interval);
    scheduleWhileRunning();
    return *this;
}

KTWorldDriver::~KTWorldDriver() {
    sensor->unschedule();
    delete sensor;
}

void KTWorldDriver::createSensor() {
    sensor = new SoTimerSensor(timerCB, this);
    sensor->setInterval(SbTime(interval));
    sensor->unschedule();
}

void KTWorldDriver::scheduleWhileRunning() {
    // Scheduling a scheduled timer sensor would queue it a second time.
    if (runningWorlds.isEmpty()) {
        if (sensor->isScheduled())
            sensor->unschedule();
    } else if (!sensor->isScheduled()) {
        sensor->schedule();
    }
}

int KTWorldDriver::addWorld(KTComponentDB* world) {
    if (!world || containsWorld(world))
        return 0;
    stoppedWorlds.insert(world);
    return 1;
}

int KTWorldDriver::removeWorld(KTComponentDB* world) {
    if (runningWorlds.remove(world) || stoppedWorlds.remove(world))
        return 1;
    return 0;
}

int KTWorldDriver::containsWorld(KTComponentDB* world) {
    if (!world)
        return 0;
    return runningWorlds.contains(world) || stoppedWorlds.contains(world) ? 1 : 0;
}

int KTWorldDriver::runWorld(KTComponentDB* world) {
    if (runningWorlds.contains(world))
        return 1;
    if (!stoppedWorlds.remove(world))
        return 0;
    runningWorlds.insert(world);
    startPlayerClocks(world);

    RWTValSortedVector<RWCString> names;
    KTComponentIterator components(world, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        component->getBehaviorsActivatedAtStartup(names);
        for (const RWCString& name : names)
            component->activateBehavior(name, 0);
    }
    if (!sensor->isScheduled())
        sensor->schedule();
    return 1;
}

int KTWorldDriver::stopWorld(KTComponentDB* world) {
    if (stoppedWorlds.contains(world))
        return 1;
    if (!runningWorlds.remove(world))
        return 0;
    stoppedWorlds.insert(world);

    RWTValSortedVector<RWCString> names;
    KTComponentIterator components(world, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        component->getActiveBehaviorNames(names);
        for (const RWCString& name : names)
            component->deactivateBehavior(name, 0);
    }
    if (runningWorlds.isEmpty())
        sensor->unschedule();
    return 1;
}

void KTWorldDriver::setInterval(double seconds) {
    interval = seconds;
    sensor->setInterval(SbTime(seconds));
}

void KTWorldDriver::tickWorlds() {
    // The count is read again before every world: a tick() may stop or start
    // worlds while the walk is under way.
    for (std::size_t i = 0; i < runningWorlds.entries(); ++i) {
        KTComponentIterator components(runningWorlds(i), 0, "");
        while (components++)
            components.getValue()->tick();
    }
    advancePlayers();
}

SbTime KTWorldDriver::now() const {
    return clock ? clock(clockData) : SbTime::getTimeOfDay();
}

void KTWorldDriver::setClock(Clock* function, void* data) {
    clock = function;
    clockData = data;
}

bool KTWorldDriver::isGone(const TimedPlayer& timed) {
    return timed.lifetime.expired() || (timed.bound && !timed.parts->isComponentPresent());
}

void KTWorldDriver::dropGonePlayers() {
    players.erase(std::remove_if(players.begin(), players.end(), isGone), players.end());
}

int KTWorldDriver::addTimed(KTComponentDB* world, const void* target,
                            std::function<void(double)> advance, std::weak_ptr<const void> lifetime,
                            const KTPartBinding& parts, bool bound) {
    // A new player may live where a deleted one did.
    dropGonePlayers();
    for (const TimedPlayer& timed : players) {
        if (timed.target == target)
            return 0;
    }
    players.push_back(TimedPlayer{world, target, std::move(advance),
                                  runningWorlds.contains(world) ? now() : SbTime(),
                                  std::move(lifetime), &parts, bound});
    return 1;
}

int KTWorldDriver::removeTimed(const void* target) {
    dropGonePlayers();
    for (std::size_t i = 0; i < players.size(); ++i) {
        if (target != nullptr && players[i].target == target) {
            players.erase(players.begin() + static_cast<std::ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
}

int KTWorldDriver::addPlayer(KTComponentDB* world, KTAnimationPlayer* player) {
    if (!world || !player)
        return 0;
    const KTAnimationSampler& sampler = player->getSampler();
    return addTimed(
        world, player, [player](double elapsed) { player->advance(elapsed); },
        player->getLifetime(), sampler.getBinding(), sampler.getObject() != nullptr);
}

int KTWorldDriver::removePlayer(KTAnimationPlayer* player) {
    return removeTimed(player);
}

int KTWorldDriver::addMixer(KTComponentDB* world, KTAnimationMixer* mixer) {
    if (!world || !mixer)
        return 0;
    return addTimed(
        world, mixer, [mixer](double elapsed) { mixer->advance(elapsed); }, mixer->getLifetime(),
        mixer->getBinding(), mixer->getBinding().getComponent() != nullptr);
}

int KTWorldDriver::removeMixer(KTAnimationMixer* mixer) {
    return removeTimed(mixer);
}

void KTWorldDriver::startPlayerClocks(KTComponentDB* world) {
    if (players.empty())
        return;
    const SbTime started = now();
    for (TimedPlayer& timed : players) {
        if (timed.world == world)
            timed.since = started;
    }
}

void KTWorldDriver::advancePlayers() {
    if (players.empty())
        return;
    dropGonePlayers();
    const SbTime firing = now();
    // What is due is listed first: a callback may add, remove or delete
    // players and mixers (or reload the animations that own them), so each is
    // looked up again before it is advanced, where it stood first. The list
    // is taken from the driver while it is walked: a tick run from a callback
    // starts a list of its own.
    std::vector<Due> due;
    due.swap(dueScratch);
    due.clear();
    for (std::size_t i = 0; i < players.size(); ++i) {
        TimedPlayer& timed = players[i];
        if (!runningWorlds.contains(timed.world))
            continue;
        due.push_back(Due{i, timed.target, timed.lifetime, (firing - timed.since).getValue()});
        timed.since = firing;
    }
    for (const Due& entry : due) {
        const auto same = [&entry](const TimedPlayer& t) {
            return t.target == entry.target && !t.lifetime.owner_before(entry.lifetime) &&
                   !entry.lifetime.owner_before(t.lifetime);
        };
        const auto timed = entry.index < players.size() && same(players[entry.index])
                               ? players.begin() + static_cast<std::ptrdiff_t>(entry.index)
                               : std::find_if(players.begin(), players.end(), same);
        if (timed == players.end() || isGone(*timed))
            continue;
        // Copied: the record may go while it runs.
        const std::function<void(double)> advance = timed->advance;
        advance(entry.elapsed);
    }
    // Released now rather than at the next tick.
    due.clear();
    due.swap(dueScratch);
}

void KTWorldDriver::timerCB(void* data, SoSensor* /*sensor*/) {
    if (data)
        static_cast<KTWorldDriver*>(data)->tickWorlds();
}
