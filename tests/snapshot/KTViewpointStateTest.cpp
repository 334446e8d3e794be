#include <ktrt/snapshot/KTViewpointState.h>

#include <ktcp/KTViewpoint.h>

#include <gtest/gtest.h>

namespace {

// Compares two rotations by what they do to the three axes.
void expectSameRotation(const SbRotation& actual, const SbRotation& expected) {
    for (const SbVec3f& axis : {SbVec3f(1, 0, 0), SbVec3f(0, 1, 0), SbVec3f(0, 0, 1)}) {
        SbVec3f a, e;
        actual.multVec(axis, a);
        expected.multVec(axis, e);
        EXPECT_TRUE(a.equals(e, 1e-5f)) << a[0] << " " << a[1] << " " << a[2];
    }
}

} // namespace

TEST(KTViewpointStateValidity, NullViewpointsAreIgnored) {
    KTViewpointState state;
    state.setOldName("label");
    state.snapshotViewpoint(nullptr);
    state.restoreViewpoint(nullptr);
    EXPECT_EQ(state.getName(), "");
    EXPECT_EQ(state.getOldName(), "label");
}

TEST(ViewpointState, RoundTripsWithTheOrientationAsEulerAnglesAndClearRestoresDefaults) {
    KTViewpoint source("Tower");
    source.description = "top of the tower";
    source.position.setValue(1.5f, -2.0f, 30.25f);
    const SbRotation turned(SbVec3f(1, 2, 3), 0.7f);
    source.orientation = turned;
    source.fieldOfView = 0.9f;
    source.jump = 2;

    KTViewpointState state;
    state.setOldName("label");
    state.snapshotViewpoint(&source);
    EXPECT_EQ(state.getName(), "Tower");
    EXPECT_EQ(state.getOldName(), "label");

    KTViewpoint target("Other");
    KTViewpointState assigned;
    assigned = KTViewpointState(state);
    assigned.restoreViewpoint(&target);
    EXPECT_EQ(target.getName(), "Other"); // the name is never restored
    EXPECT_EQ(target.description, "top of the tower");
    EXPECT_EQ(target.fieldOfView, 0.9f);
    EXPECT_EQ(target.jump, 0);
    EXPECT_EQ(target.position, SbVec3f(1.5f, -2.0f, 30.25f));
    expectSameRotation(target.orientation, turned);
    source.jump = 1;
    state.snapshotViewpoint(&source);
    state.restoreViewpoint(&target);
    EXPECT_EQ(target.jump, 1);

    target.jump = 0;
    state.clear();
    EXPECT_EQ(state.getName(), "");
    state.restoreViewpoint(&target);
    EXPECT_EQ(target.getName(), "Other");
    EXPECT_EQ(target.description, "");
    EXPECT_EQ(target.fieldOfView, 0.0f);
    EXPECT_EQ(target.jump, 1);
    EXPECT_EQ(target.position, SbVec3f(0, 0, 0));
    expectSameRotation(target.orientation, SbRotation::identity());
}
