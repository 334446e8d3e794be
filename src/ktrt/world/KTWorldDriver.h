#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <Inventor/SbTime.h>

#include <rw/RWTValSortedVector.h>

#include <ktrt/visibility.h>

class KTAnimationMixer;
class KTAnimationPlayer;
class KTComponentDB;
class KTPartBinding;
class SoSensor;
class SoTimerSensor;

/// Runs worlds: a running world has its components ticked on every firing of
/// the driver's Coin timer sensor (every 1/240 s by default). Starting a world
/// activates its components' start-up behaviors; stopping it deactivates
/// their active behaviors. The sensor is scheduled exactly while at least one
/// world was started and not stopped since.
///
/// The sensor fires only while the host processes Coin's timer queue (its
/// event loop, or SoDB::getSensorManager()->processTimerQueue()); tickWorlds()
/// does the work of one firing and may be called directly. The driver owns its
/// sensor but neither the worlds nor their components; destroy it before its
/// worlds. Every driver, copies included, has a sensor of its own, so Coin
/// must be initialised (SoDB::init()) before a driver is made.
///
/// What a host may delete while the driver runs: components (removed from
/// their world or deleted) and the players added with addPlayer(), whenever
/// it likes. The driver drops a player whose component is gone or that was
/// deleted, without touching either, at its next firing (or addPlayer(),
/// removePlayer()). The driver, its worlds' timer callbacks and everything
/// they call run on one thread, the host's Coin thread: Coin is not
/// thread-safe.
class KTRT_API KTWorldDriver {
public:
    /// No worlds, interval 1/240 s, an unscheduled sensor.
    KTWorldDriver();
    /// The same worlds in the same states and the same interval, with a
    /// sensor of its own, scheduled when the copy has running worlds.
    KTWorldDriver(const KTWorldDriver& other);
    /// As the copy constructor; the target keeps (and reschedules) its own
    /// sensor.
    KTWorldDriver& operator=(const KTWorldDriver& other);
    /// Unschedules and deletes the sensor; worlds and behaviors are untouched.
    ~KTWorldDriver();

    /// Adds `world` as stopped; 0 for null or a world already added.
    int addWorld(KTComponentDB* world);
    /// Forgets `world` whether running or stopped, without deactivating
    /// behaviors or unscheduling the sensor; 0 when it was not added.
    int removeWorld(KTComponentDB* world);
    /// 1 when `world` was added (running or stopped); 0 for null.
    int containsWorld(KTComponentDB* world);

    /// Starts a stopped world: activates every component's start-up behaviors
    /// and schedules the sensor. 1 for a world already running (nothing
    /// happens); 0 for a world never added.
    int runWorld(KTComponentDB* world);
    /// Stops a running world: deactivates every component's active behaviors
    /// and unschedules the sensor when no world is left running. 1 for a world
    /// already stopped (nothing happens); 0 for a world never added.
    int stopWorld(KTComponentDB* world);

    /// Seconds between two firings; the sensor is neither scheduled nor
    /// unscheduled by the change.
    void setInterval(double seconds);
    /// The interval last set, in seconds.
    double getInterval() const { return interval; }

    /// One firing of the sensor: calls tick() on every component of every
    /// running world, worlds in ascending order of their addresses. Worlds
    /// that a tick() stops or starts count from the next world on. Then
    /// advances the players of the running worlds (see addPlayer()).
    void tickWorlds();

    /// A clock: the current time, given the data registered with it.
    typedef SbTime Clock(void* data);
    /// Has every firing advance `player` by the clock's time since the last
    /// firing while `world` runs (time while it is stopped does not count).
    /// The player is not owned. It is dropped, untouched, once it is deleted
    /// or its component is deleted or removed from its world. 0 for a null
    /// argument or a player already added. A driver's copies take no players.
    int addPlayer(KTComponentDB* world, KTAnimationPlayer* player);
    /// Stops advancing `player`; 0 when it was not added or was dropped.
    int removePlayer(KTAnimationPlayer* player);
    /// Has every firing advance `mixer` as addPlayer() does a player: by the
    /// clock's time since the last firing while `world` runs. Not owned;
    /// dropped, untouched, once it is deleted or its component is deleted or
    /// removed from its world. 0 for a null argument or a mixer already added.
    int addMixer(KTComponentDB* world, KTAnimationMixer* mixer);
    /// Stops advancing `mixer`; 0 when it was not added or was dropped.
    int removeMixer(KTAnimationMixer* mixer);
    /// Sets the clock that players are advanced by (SbTime::getTimeOfDay()
    /// when `clock` is null), for instance a simulated clock in a test.
    void setClock(Clock* clock, void* data);

private:
    friend struct KTWorldDriverAccess; // white-box tests of the callback

    static void timerCB(void* data, SoSensor* sensor);
    void createSensor();
    void scheduleWhileRunning();

    RWTValSortedVector<KTComponentDB*> runningWorlds;
    RWTValSortedVector<KTComponentDB*> stoppedWorlds;
    SoTimerSensor* sensor;
    double interval;

    // Players and mixers advanced by the clock, each with the time it was
    // last advanced to; `since` is set when its world starts running. Both
    // are held the same way: a plain pointer (`target`, for lookups), valid
    // while `lifetime` has not expired, how to advance it, and the binding of
    // its parts (owned by it), which says when the component it was bound to
    // (`bound`) is gone.
    struct TimedPlayer {
        KTComponentDB* world;
        const void* target;
        std::function<void(double)> advance;
        SbTime since;
        std::weak_ptr<const void> lifetime;
        const KTPartBinding* parts;
        bool bound;
    };
    int addTimed(KTComponentDB* world, const void* target, std::function<void(double)> advance,
                 std::weak_ptr<const void> lifetime, const KTPartBinding& parts, bool bound);
    int removeTimed(const void* target);
    static bool isGone(const TimedPlayer& timed);
    void dropGonePlayers();
    SbTime now() const;
    void startPlayerClocks(KTComponentDB* world);
    void advancePlayers();

    // What a tick advances, listed before any of it runs (see
    // advancePlayers()); kept between ticks so that a tick allocates nothing.
    struct Due {
        std::size_t index;
        const void* target;
        std::weak_ptr<const void> lifetime;
        double elapsed;
    };

    std::vector<TimedPlayer> players;
    std::vector<Due> dueScratch;
    Clock* clock = nullptr;
    void* clockData = nullptr;
};
