#include <ktrt/snapshot/KTLightState.h>

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoDirectionalLight.h>
#include <Inventor/nodes/SoPointLight.h>
#include <Inventor/nodes/SoSpotLight.h>

#include <gtest/gtest.h>

namespace {

// Owns one referenced light node for the length of a test.
template <class Light> struct Held {
    Held() : node((SoDB::init(), new Light)) { node->ref(); }
    ~Held() { node->unref(); }
    Light* operator->() const { return node; }
    Light* node;
};

struct SpotValues {
    SbVec3f color;
    float intensity;
    SbBool on;
    SbVec3f direction, location;
    float cutOffAngle, dropOffRate;
};

const SpotValues cleared{{1, 1, 1}, 0.2f, FALSE, {0, 0, -1}, {0, 0, 0}, 45.0f, 0.0f};
const SpotValues lit{{0.25f, 0.5f, 0.75f}, 0.6f, TRUE, {1, 0, 0}, {3, 4, 5}, 0.3f, 0.7f};

void set(SoSpotLight* light, const SpotValues& v) {
    light->color.setValue(v.color);
    light->intensity.setValue(v.intensity);
    light->on.setValue(v.on);
    light->direction.setValue(v.direction);
    light->location.setValue(v.location);
    light->cutOffAngle.setValue(v.cutOffAngle);
    light->dropOffRate.setValue(v.dropOffRate);
}

void expectSpot(const SoSpotLight* light, const SpotValues& v) {
    EXPECT_EQ(light->color.getValue(), SbColor(v.color));
    EXPECT_EQ(light->intensity.getValue(), v.intensity);
    EXPECT_EQ(light->on.getValue(), v.on);
    EXPECT_EQ(light->direction.getValue(), v.direction);
    EXPECT_EQ(light->location.getValue(), v.location);
    EXPECT_EQ(light->cutOffAngle.getValue(), v.cutOffAngle);
    EXPECT_EQ(light->dropOffRate.getValue(), v.dropOffRate);
}

} // namespace

TEST(LightState, SpotLightsRoundTripThroughCopiesAndNullOrClearedStatesBringTheDefaults) {
    Held<SoSpotLight> source, target;
    set(source.node, lit);
    source->on.setValue(5); // any non-zero value is on
    KTLightState state;
    state.snapshotLight(nullptr);
    state.restoreLight(nullptr);
    state.restoreLight(target.node);
    expectSpot(target.node, cleared);
    state.snapshotLight(source.node);
    KTLightState assigned;
    assigned = KTLightState(state);
    const KTLightState& alias = assigned;
    assigned = alias;
    assigned.restoreLight(target.node);
    expectSpot(target.node, lit);

    assigned.setName("Lamp");
    assigned.setName(nullptr);
    state.setName("LAMP");
    EXPECT_EQ(assigned == state, 1);
    assigned.clear();
    EXPECT_EQ(assigned.getName(), "");
    assigned.restoreLight(target.node);
    expectSpot(target.node, cleared);
}

TEST(LightState, EachClassFillsAndWritesOnlyItsOwnMembers) {
    Held<SoDirectionalLight> directional;
    Held<SoPointLight> point;
    Held<SoSpotLight> spot;
    directional->color.setValue(0.1f, 0.2f, 0.3f);
    directional->intensity.setValue(0.9f);
    directional->on.setValue(TRUE);
    directional->direction.setValue(0, -1, 0);
    point->location.setValue(7, 8, 9);

    // Directional into a cleared state: location, cut-off and drop-off keep
    // the cleared values when written onto a spot light.
    KTLightState state;
    state.snapshotLight(directional.node);
    state.restoreLight(spot.node);
    expectSpot(spot.node, {{0.1f, 0.2f, 0.3f}, 0.9f, TRUE, {0, -1, 0}, {0, 0, 0}, 45.0f, 0.0f});

    // A point light then replaces the common values and the location only.
    state.snapshotLight(point.node);
    set(spot.node, lit);
    state.restoreLight(spot.node);
    expectSpot(spot.node, {{1, 1, 1}, 1.0f, TRUE, {0, -1, 0}, {7, 8, 9}, 45.0f, 0.0f});

    // A point light target takes no direction; a directional one no location.
    Held<SoPointLight> pointTarget;
    state.restoreLight(pointTarget.node);
    EXPECT_EQ(pointTarget->location.getValue(), SbVec3f(7, 8, 9));
    Held<SoDirectionalLight> directionalTarget;
    state.restoreLight(directionalTarget.node);
    EXPECT_EQ(directionalTarget->direction.getValue(), SbVec3f(0, -1, 0));
}
