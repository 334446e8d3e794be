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

void expectVec(const SbVec3f& value, float x, float y, float z) {
    EXPECT_EQ(value, SbVec3f(x, y, z));
}

void setUpSpot(SoSpotLight* light) {
    light->color.setValue(0.25f, 0.5f, 0.75f);
    light->intensity.setValue(0.6f);
    light->on.setValue(TRUE);
    light->direction.setValue(1.0f, 0.0f, 0.0f);
    light->location.setValue(3.0f, 4.0f, 5.0f);
    light->cutOffAngle.setValue(0.3f);
    light->dropOffRate.setValue(0.7f);
}

} // namespace

TEST(LightStateNullAndNames, NullLightsAreIgnoredAndNamesCompareIgnoringCase) {
    Held<SoSpotLight> spot;
    setUpSpot(spot.node);
    KTLightState state;
    state.snapshotLight(nullptr);
    state.restoreLight(nullptr);
    state.restoreLight(spot.node);
    // The state still holds the cleared values, so the spot light shows them.
    EXPECT_FLOAT_EQ(spot->cutOffAngle.getValue(), 45.0f);

    KTLightState lamp, other;
    lamp.setName("Lamp");
    lamp.setOldName("old");
    lamp.setName(nullptr);
    lamp.setOldName(nullptr);
    EXPECT_EQ(lamp.getName(), "Lamp");
    EXPECT_EQ(lamp.getOldName(), "old");
    other.setName("LAMP");
    other.snapshotLight(spot.node);
    EXPECT_EQ(lamp == other, 1);
    other.setName("Lamp2");
    EXPECT_EQ(lamp == other, 0);
    const KTLightState& alias = lamp;
    lamp = alias;
    EXPECT_EQ(lamp.getName(), "Lamp");
}

TEST(LightStateClear, ANewOrClearedStateRestoresTheDefaultsOntoASpotLight) {
    Held<SoSpotLight> spot;
    setUpSpot(spot.node);
    KTLightState state;
    state.snapshotLight(spot.node);
    state.setName("spot");
    state.clear();
    EXPECT_EQ(state.getName(), "");
    state.restoreLight(spot.node);
    expectVec(spot->color.getValue(), 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(spot->intensity.getValue(), 0.2f);
    EXPECT_EQ(spot->on.getValue(), FALSE);
    expectVec(spot->direction.getValue(), 0.0f, 0.0f, -1.0f);
    expectVec(spot->location.getValue(), 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(spot->cutOffAngle.getValue(), 45.0f);
    EXPECT_EQ(spot->dropOffRate.getValue(), 0.0f);
}

TEST(LightStateDispatch, SpotLightRoundTripsEveryFieldThroughACopy) {
    Held<SoSpotLight> source, target;
    setUpSpot(source.node);
    KTLightState state;
    state.snapshotLight(source.node);
    const KTLightState copy(state);
    KTLightState assigned;
    assigned = copy;
    assigned.restoreLight(target.node);
    expectVec(target->color.getValue(), 0.25f, 0.5f, 0.75f);
    EXPECT_EQ(target->intensity.getValue(), 0.6f);
    EXPECT_EQ(target->on.getValue(), TRUE);
    expectVec(target->direction.getValue(), 1.0f, 0.0f, 0.0f);
    expectVec(target->location.getValue(), 3.0f, 4.0f, 5.0f);
    EXPECT_EQ(target->cutOffAngle.getValue(), 0.3f);
    EXPECT_EQ(target->dropOffRate.getValue(), 0.7f);
}

TEST(LightStateDispatch, EachClassFillsOnlyItsOwnMembersAndLeavesTheRest) {
    Held<SoDirectionalLight> directional;
    Held<SoPointLight> point;
    Held<SoSpotLight> spot;
    directional->color.setValue(0.1f, 0.2f, 0.3f);
    directional->intensity.setValue(0.9f);
    directional->on.setValue(TRUE);
    directional->direction.setValue(0.0f, -1.0f, 0.0f);
    point->location.setValue(7.0f, 8.0f, 9.0f);
    point->on.setValue(FALSE);
    setUpSpot(spot.node);

    // Directional into a cleared state: location, cut-off and drop-off keep
    // the cleared values when written onto a spot light.
    KTLightState state;
    state.snapshotLight(directional.node);
    state.restoreLight(spot.node);
    expectVec(spot->color.getValue(), 0.1f, 0.2f, 0.3f);
    EXPECT_EQ(spot->intensity.getValue(), 0.9f);
    EXPECT_EQ(spot->on.getValue(), TRUE);
    expectVec(spot->direction.getValue(), 0.0f, -1.0f, 0.0f);
    expectVec(spot->location.getValue(), 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(spot->cutOffAngle.getValue(), 45.0f);
    EXPECT_EQ(spot->dropOffRate.getValue(), 0.0f);

    // A point light then replaces the common values and the location only.
    state.snapshotLight(point.node);
    setUpSpot(spot.node);
    state.restoreLight(spot.node);
    EXPECT_EQ(spot->on.getValue(), FALSE);
    expectVec(spot->direction.getValue(), 0.0f, -1.0f, 0.0f);
    expectVec(spot->location.getValue(), 7.0f, 8.0f, 9.0f);

    // A point light target takes no direction; a directional one no location.
    Held<SoPointLight> pointTarget;
    state.restoreLight(pointTarget.node);
    expectVec(pointTarget->location.getValue(), 7.0f, 8.0f, 9.0f);
    Held<SoDirectionalLight> directionalTarget;
    state.restoreLight(directionalTarget.node);
    expectVec(directionalTarget->direction.getValue(), 0.0f, -1.0f, 0.0f);
}

TEST(LightStateOnFlag, AnyNonZeroOnIsRecordedAsTrueAndRestoredAsTrue) {
    Held<SoPointLight> source, target;
    source->on.setValue(5);
    target->on.setValue(FALSE);
    KTLightState state;
    state.snapshotLight(source.node);
    state.restoreLight(target.node);
    EXPECT_EQ(target->on.getValue(), TRUE);
}
