#include <ktcp/KTComponentIterator.h>

#include <string>

#include <ktcp/ktcp.h>

#include <gtest/gtest.h>

TEST(KTComponentIteratorValidity, AnIteratorOverNoWorldWalksNothing) {
    KTComponentIterator none(nullptr, 0, "");
    EXPECT_FALSE(none++);
    EXPECT_EQ(none.getValue(), nullptr);
}

TEST(ComponentIterator, WalksEveryComponentOnceInOrderOfAddingOrThoseOfOneName) {
    KTComponentLibrary::init();
    KTComponentDB world;
    const char* names[] = {"Zeta", "Alpha", "Mid", "Alpha", "alpha"};
    for (const char* name : names)
        world.addComponent(name);
    // The positions in the world of the components a walk visits.
    auto walk = [&world](KTComponentIterator& iterator) {
        std::string seen;
        while (iterator++)
            for (unsigned int i = 0; i < world.getNumComponents(); ++i)
                seen += iterator.getValue() == world.getComponent(i) ? std::to_string(i) : "";
        return seen + (iterator.getValue() == nullptr ? "." : "!");
    };
    KTComponentIterator all(&world, KTComponentIterator::AllComponents, "ignored");
    KTComponentIterator named(&world, KTComponentIterator::NamedComponents, "Alpha");
    EXPECT_EQ(walk(all), "01234.");
    EXPECT_EQ(walk(all), ".");
    all.reset();
    EXPECT_EQ(walk(all), "01234.");
    EXPECT_EQ(walk(named), "13.");
    named.reset();
    EXPECT_EQ(walk(named), "13.");
}
