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

int KTWorldDriver::addPlayer(KTComponentDB* world, KTAnimationPlayer* player) {
    if (!world || !player)
        return 0;
    // A new player may live where a deleted one did.
    dropGonePlayers();
    for (const TimedPlayer& timed : players) {
        if (timed.player == player)
            return 0;
    }
    const KTAnimationSampler& sampler = player->getSampler();
    players.push_back(
        TimedPlayer{world, player, nullptr, runningWorlds.contains(world) ? now() : SbTime(),
                    player->getLifetime(), &sampler.getBinding(), sampler.getObject() != nullptr});
    return 1;
}

int KTWorldDriver::removePlayer(KTAnimationPlayer* player) {
    dropGonePlayers();
    for (std::size_t i = 0; i < players.size(); ++i) {
        if (player && players[i].player == player) {
            players.erase(players.begin() + static_cast<std::ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
}

int KTWorldDriver::addMixer(KTComponentDB* world, KTAnimationMixer* mixer) {
    if (!world || !mixer)
        return 0;
    dropGonePlayers();
    for (const TimedPlayer& timed : players) {
        if (timed.mixer == mixer)
            return 0;
    }
    players.push_back(TimedPlayer{
        world, nullptr, mixer, runningWorlds.contains(world) ? now() : SbTime(),
        mixer->getLifetime(), &mixer->getBinding(), mixer->getBinding().getComponent() != nullptr});
    return 1;
}

int KTWorldDriver::removeMixer(KTAnimationMixer* mixer) {
    dropGonePlayers();
    for (std::size_t i = 0; i < players.size(); ++i) {
        if (players[i].mixer == mixer && mixer != nullptr) {
            players.erase(players.begin() + static_cast<std::ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
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
    const SbTime firing = now();
    // By index: a player's callback may add, remove or delete players.
    for (std::size_t i = 0; i < players.size(); ++i) {
        TimedPlayer& timed = players[i];
        if (isGone(timed)) {
            players.erase(players.begin() + static_cast<std::ptrdiff_t>(i--));
            continue;
        }
        if (!runningWorlds.contains(timed.world))
            continue;
        const double elapsed = (firing - timed.since).getValue();
        timed.since = firing;
        if (timed.player)
            timed.player->advance(elapsed);
        else
            timed.mixer->advance(elapsed);
    }
}

void KTWorldDriver::timerCB(void* data, SoSensor* /*sensor*/) {
    if (data)
        static_cast<KTWorldDriver*>(data)->tickWorlds();
}
