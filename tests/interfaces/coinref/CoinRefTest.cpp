#include <coinref/CoinRef.h>

#include <utility>

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoTransform.h>

#include <gtest/gtest.h>

TEST(CoinRefValidity, EmptyAndNullHoldersHoldNothing) {
    coinref::CoinRef<SoTransform> empty, null(nullptr);
    EXPECT_FALSE(empty || null);
    empty.reset();
    EXPECT_EQ(null.get(), nullptr);
}

TEST(CoinRef, HoldsOneReferenceThroughMovesAndResets) {
    SoDB::init();
    auto* node = new SoTransform;
    node->ref(); // the test's own, to watch the count
    {
        coinref::CoinRef<SoTransform> held(node);
        EXPECT_EQ(node->getRefCount(), 2);
        held.reset(node); // the same node: kept alive, still one reference
        EXPECT_EQ(node->getRefCount(), 2);
        coinref::CoinRef<SoTransform> moved(std::move(held));
        EXPECT_FALSE(held); // NOLINT(bugprone-use-after-move): a moved-from holder is empty
        EXPECT_EQ(moved.get(), node);
        coinref::CoinRef<SoTransform> other(new SoTransform);
        other = std::move(moved); // releases (and deletes) its own node
        EXPECT_EQ(node->getRefCount(), 2);
    }
    EXPECT_EQ(node->getRefCount(), 1);
    node->unref();
}
