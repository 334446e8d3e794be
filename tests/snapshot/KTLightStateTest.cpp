#include <ktrt/snapshot/KTLightState.h>

#include <cstdio>
#include <string>

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

// Colour, intensity, on, direction, location, cut-off angle, drop-off rate.
std::string text(const SoSpotLight* light) {
    const SbVec3f c = light->color.getValue(), d = light->direction.getValue(),
                  l = light->location.getValue();
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%g %g %g | %g %d | %g %g %g | %g %g %g | %g %g", c[0],
                  c[1], c[2], light->intensity.getValue(), int(light->on.getValue()), d[0], d[1],
                  d[2], l[0], l[1], l[2], light->cutOffAngle.getValue(),
                  light->dropOffRate.getValue());
    return buffer;
}

const char* const cleared = "1 1 1 | 0.2 0 | 0 0 -1 | 0 0 0 | 45 0";
const char* const lit = "0.25 0.5 0.75 | 0.6 1 | 1 0 0 | 3 4 5 | 0.3 0.7";

void light(SoSpotLight* spot) {
    spot->set("color 0.25 0.5 0.75 intensity 0.6 direction 1 0 0 location 3 4 5 "
              "cutOffAngle 0.3 dropOffRate 0.7");
    spot->on.setValue(5); // any non-zero value is on
}

} // namespace

TEST(KTLightStateValidity, NullLightsAreIgnoredAndAnEmptyStateWritesTheDefaults) {
    Held<SoSpotLight> target;
    light(target.node);
    KTLightState state;
    state.snapshotLight(nullptr);
    state.restoreLight(nullptr);
    state.restoreLight(target.node);
    EXPECT_EQ(text(target.node), cleared);
}

TEST(LightState, SpotLightsRoundTripThroughCopiesAndClearedStatesBringTheDefaults) {
    Held<SoSpotLight> source, target;
    light(source.node);
    KTLightState state;
    state.snapshotLight(source.node);
    KTLightState assigned;
    assigned = KTLightState(state);
    const KTLightState& alias = assigned;
    assigned = alias;
    assigned.restoreLight(target.node);
    EXPECT_EQ(text(target.node), lit);

    assigned.setName("Lamp");
    assigned.clear();
    EXPECT_EQ(assigned.getName(), "");
    assigned.restoreLight(target.node);
    EXPECT_EQ(text(target.node), cleared);
}

TEST(LightState, EachClassFillsAndWritesOnlyItsOwnMembers) {
    Held<SoDirectionalLight> directional;
    Held<SoPointLight> point, pointTarget;
    Held<SoSpotLight> spot;
    Held<SoDirectionalLight> directionalTarget;
    directional->set("color 0.5 0.25 0.125 intensity 0.5 on TRUE direction 0 -1 0");
    point->location.setValue(7, 8, 9);

    // Directional into a cleared state: location, cut-off and drop-off keep
    // the cleared values when written onto a spot light.
    KTLightState state;
    state.snapshotLight(directional.node);
    state.restoreLight(spot.node);
    EXPECT_EQ(text(spot.node), "0.5 0.25 0.125 | 0.5 1 | 0 -1 0 | 0 0 0 | 45 0");

    // A point light then replaces the common values and the location only.
    state.snapshotLight(point.node);
    light(spot.node);
    state.restoreLight(spot.node);
    EXPECT_EQ(text(spot.node), "1 1 1 | 1 1 | 0 -1 0 | 7 8 9 | 45 0");

    // A point light target takes no direction; a directional one no location.
    state.restoreLight(pointTarget.node);
    EXPECT_EQ(pointTarget->location.getValue(), SbVec3f(7, 8, 9));
    state.restoreLight(directionalTarget.node);
    EXPECT_EQ(directionalTarget->direction.getValue(), SbVec3f(0, -1, 0));
}
