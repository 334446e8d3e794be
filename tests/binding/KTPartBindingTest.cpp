#include <functional>
#include <memory>

#include <Inventor/nodes/SoTransform.h>
#include <Inventor/sensors/SoNodeSensor.h>

#include <coinref/CoinRef.h>
#include <ktcp/ktcp.h>

#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/pose/KTPose.h>

#include <gtest/gtest.h>

namespace {

const int both = KTPose::TRANSLATION | KTPose::ROTATION;

// A component outside any world with parts A and B; A's transform starts
// away from the identity in all five fields.
struct PartBinding : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component.reset(new KTComponent);
        partA = component->addLogicalPart("A");
        component->addLogicalPart("B");
        transformOf(partA)->set("translation 1 2 3 rotation 0 1 0 0.5 scaleFactor 2 2 2 "
                                "scaleOrientation 1 0 0 0.25 center 0 1 0");
    }
    static SoTransform* transformOf(KTPart* part) {
        return static_cast<SoTransform*>(part->getPart("transform", TRUE));
    }
    KTPartBinding bindAB() const {
        KTPartBinding binding(component.get());
        binding.addPart("A");
        binding.addPart("B");
        return binding;
    }

    coinref::CoinRef<KTComponent> component;
    KTPart* partA = nullptr;
};

void countNotification(void* data, SoSensor*) {
    ++*static_cast<int*>(data);
}

} // namespace

TEST_F(PartBinding, ValidityNullComponentMissingPartsAndAReplacedTransform) {
    KTPartBinding none;
    KTPartBinding nullBound(nullptr);
    for (KTPartBinding* binding : {&none, &nullBound}) {
        EXPECT_EQ(binding->addPart("A"), 0);
        EXPECT_EQ(binding->getNumParts(), 0u);
        EXPECT_EQ(binding->isComponentPresent(), 0);
        EXPECT_EQ(binding->getComponent(), nullptr);
        EXPECT_EQ(binding->getTransform(0), nullptr);
        binding->write(KTPose(2));
        binding->restore();
        EXPECT_EQ(binding->getRestPose().getNumParts(), 0u);
    }

    KTPartBinding binding(component.get());
    EXPECT_EQ(binding.addPart("Missing"), 0);
    EXPECT_EQ(binding.addPart(""), 0);
    EXPECT_EQ(binding.addPart("a"), 0); // names match exactly
    EXPECT_EQ(binding.getNumParts(), 0u);
    EXPECT_EQ(binding.addPart("A"), 1);
    EXPECT_EQ(binding.getNumParts(), 1u);
    EXPECT_EQ(binding.getComponent(), component.get());
    EXPECT_EQ(binding.getTransform(1), nullptr);
    binding.writePart(1, both, SbVec3f(9, 9, 9), SbRotation::identity()); // past the end

    // The scene drops the bound node for a new one: the binding keeps the old
    // node alive and writes it; binding again follows the new one.
    SoTransform* bound = binding.getTransform(0);
    ASSERT_EQ(bound, transformOf(partA));
    ASSERT_TRUE(partA->setPart("transform", new SoTransform));
    binding.writePart(0, KTPose::TRANSLATION, SbVec3f(7, 8, 9), SbRotation::identity());
    EXPECT_EQ(bound->translation.getValue(), SbVec3f(7, 8, 9));
    EXPECT_EQ(transformOf(partA)->translation.getValue(), SbVec3f(0, 0, 0));
    KTPartBinding again(component.get());
    ASSERT_EQ(again.addPart("A"), 1);
    EXPECT_EQ(again.getTransform(0), transformOf(partA));
}

// Part A is written from a pose of `poseParts` parts with `channels` set; B
// is written only when the pose reaches it. A part given both channels
// notifies its node (and the scene above) once.
TEST_F(PartBinding, WritesOnlyTheChannelsSetOncePerPart) {
    struct Row {
        const char* what;
        unsigned int poseParts;
        int channels;
        bool translated, rotated;
        int notifications;
    };
    const Row rows[] = {
        {"no channel", 1, 0, false, false, 0},
        {"translation only", 1, KTPose::TRANSLATION, true, false, 1},
        {"rotation only", 1, KTPose::ROTATION, false, true, 1},
        {"both, one notification", 1, both, true, true, 1},
        {"pose longer than the binding", 3, both, true, true, 1},
        {"empty pose", 0, both, false, false, 0},
    };
    const SbVec3f moved(4, 5, 6);
    const SbRotation turned(SbVec3f(0, 0, 1), 1.0f);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp(); // each row starts from the fixture's fields, not the last row's
        KTPartBinding binding = bindAB();
        SoTransform* a = binding.getTransform(0);
        SoTransform* b = binding.getTransform(1);
        binding.restore();
        const SbVec3f aAt = a->translation.getValue();
        const SbRotation aTurn = a->rotation.getValue();
        const SbVec3f bAt = b->translation.getValue();
        KTPose pose(row.poseParts);
        for (unsigned int p = 0; p < row.poseParts; ++p) {
            if (row.channels & KTPose::TRANSLATION)
                pose.setTranslation(p, moved);
            if (row.channels & KTPose::ROTATION)
                pose.setRotation(p, turned);
        }
        int notified = 0;
        SoNodeSensor sensor(countNotification, &notified);
        sensor.setPriority(0); // fires inside the notification itself
        sensor.attach(a);
        binding.write(pose);
        EXPECT_EQ(notified, row.notifications);
        EXPECT_EQ(a->translation.getValue(), row.translated ? moved : aAt);
        EXPECT_EQ(a->rotation.getValue(), row.rotated ? turned : aTurn);
        const bool reachesB = row.poseParts > 1;
        EXPECT_EQ(b->translation.getValue(), reachesB ? moved : bAt);
        // Fields that hold the values already are not written again; one set
        // by hand in between is, alone.
        notified = 0;
        binding.write(pose);
        EXPECT_EQ(notified, 0);
        a->translation.setValue(aAt + SbVec3f(1, 1, 1));
        notified = 0;
        binding.write(pose);
        sensor.detach();
        EXPECT_EQ(notified, row.translated ? 1 : 0);
        EXPECT_EQ(a->translation.getValue(), row.translated ? moved : aAt + SbVec3f(1, 1, 1));
    }
}

TEST_F(PartBinding, RestoresTheFiveFieldsAndGivesTheRestPose) {
    KTPartBinding binding = bindAB();
    SoTransform* a = binding.getTransform(0);
    coinref::CoinRef<SoTransform> before(new SoTransform);
    before->copyFieldValues(a);

    KTPose rest;
    binding.getRestPose(rest);
    ASSERT_EQ(rest.getNumParts(), 2u);
    EXPECT_EQ(rest.getChannels(0), both);
    EXPECT_EQ(rest.getTranslation(0), before->translation.getValue());
    EXPECT_EQ(rest.getRotation(0), before->rotation.getValue());
    EXPECT_EQ(rest.getChannels(1), both);
    EXPECT_EQ(rest.getTranslation(1), SbVec3f(0, 0, 0));
    EXPECT_EQ(rest, binding.getRestPose());

    a->setToDefaults();
    binding.restore();
    EXPECT_TRUE(a->fieldsAreEqual(before.get()));
}

// Every holder references every node once and releases it once.
TEST_F(PartBinding, CopiesShareTheNodesWithAReferenceEach) {
    SoTransform* a = transformOf(partA);
    const int scene = a->getRefCount();
    {
        KTPartBinding binding = bindAB();
        EXPECT_EQ(a->getRefCount(), scene + 1);
        KTPartBinding copy(binding);
        EXPECT_EQ(a->getRefCount(), scene + 2);
        EXPECT_EQ(copy, binding);
        EXPECT_EQ(copy.getTransform(0), a);
        KTPartBinding other(component.get());
        other.addPart("B");
        EXPECT_FALSE(other == binding);
        copy = other;
        EXPECT_EQ(a->getRefCount(), scene + 1);
        const KTPartBinding& same = copy;
        copy = binding;
        copy = same;
        EXPECT_EQ(a->getRefCount(), scene + 2);
        binding = KTPartBinding();
        EXPECT_EQ(a->getRefCount(), scene + 1);
    }
    EXPECT_EQ(a->getRefCount(), scene);
}

// Each row binds part A of a fresh component, then does something to the
// component; `present` is what the binding says afterwards. A binding whose
// component is gone writes and restores nothing.
TEST_F(PartBinding, KnowsWhenItsComponentLeftItsWorldOrWasDeleted) {
    using World = std::unique_ptr<KTComponentDB>;
    using Held = coinref::CoinRef<KTComponent>;
    struct Row {
        const char* what;
        bool boundInWorld;
        std::function<void(World&, Held&)> step;
        int present;
    };
    const Row rows[] = {
        {"never in a world", false, [](World&, Held&) {}, 1},
        {"in a world", true, [](World&, Held&) {}, 1},
        {"added to a world after binding", false,
         [](World& w, Held& c) { w->addComponent(c.get()); }, 1},
        {"removed from its world", true, [](World& w, Held& c) { w->removeComponent(c.get()); }, 0},
        {"removed and added again", true,
         [](World& w, Held& c) {
             w->removeComponent(c.get());
             w->addComponent(c.get());
         },
         0},
        {"its world destroyed", true, [](World& w, Held&) { w.reset(); }, 0},
        {"deleted", false, [](World&, Held& c) { c.reset(); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto world = std::make_unique<KTComponentDB>();
        Held held(new KTComponent);
        KTComponent* bound = held.get();
        SoTransform* node = transformOf(bound->addLogicalPart("A"));
        coinref::CoinRef<SoTransform> watched(node);
        if (row.boundInWorld)
            world->addComponent(bound);
        KTPartBinding binding(bound);
        ASSERT_EQ(binding.addPart("A"), 1);
        row.step(world, held);
        EXPECT_EQ(binding.isComponentPresent(), row.present);
        EXPECT_EQ(binding.getComponent(), held ? bound : nullptr);
        EXPECT_EQ(binding.addPart("A"), row.present);
        node->translation.setValue(1, 1, 1);
        binding.writePart(0, both, SbVec3f(2, 2, 2), SbRotation::identity());
        EXPECT_EQ(node->translation.getValue(), row.present ? SbVec3f(2, 2, 2) : SbVec3f(1, 1, 1));
        binding.restore();
        EXPECT_EQ(node->translation.getValue(), row.present ? SbVec3f(0, 0, 0) : SbVec3f(1, 1, 1));
    }
}
