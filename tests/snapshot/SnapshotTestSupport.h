#pragma once

#include <ktcp/ktcp.h>

#include <gtest/gtest.h>

/// Initialises the component library once for every snapshot test.
class SnapshotTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KTComponentLibrary::init(); }
};

/// A host's own attribute class, derived from a typed class but with a type
/// of its own: it is none of the nine typed classes.
class KTCounterAttribute : public KTFloatAttribute {
public:
    KTCounterAttribute(const RWCString& name, float value) : KTFloatAttribute(name, value) {}
    SoType getTypeId() const override { return getClassTypeId(); }
    static SoType getClassTypeId() {
        static SoType type;
        registerType(&type, KTFloatAttribute::getClassTypeId(), "KTCounterAttribute");
        return type;
    }
};

#include <string>
#include <vector>

/// A world that records the behavior activations it is asked for.
class RecordingWorld : public KTComponentDB {
public:
    int activateBehavior(const RWCString& component, const RWCString& behavior,
                         int immediate) override {
        calls.push_back(std::string(component.data()) + "." + behavior.data());
        return KTComponentDB::activateBehavior(component, behavior, immediate);
    }
    std::vector<std::string> calls;
};
