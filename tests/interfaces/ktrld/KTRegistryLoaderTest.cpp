#include <ktrld/KTRegistryLoader.h>

#include <ktrld/KTRegistryInfo.h>

#include <gtest/gtest.h>

namespace {

void registerExamples() {
    KTRegistryLoader::ClearRegistry();
    KTRegistryLoader::RegisterAnimation("Walk", "/data/walk.kta");
    KTRegistryLoader::RegisterAnimation("Walk", "/data/walk2.kta");
    KTRegistryLoader::RegisterAnimation(nullptr, "/data/null.kta");
    KTRegistryLoader::RegisterAnimation("NoPath", nullptr);
    KTRegistryLoader::RegisterGeometry("Chair", "/data/chair.iv");
}

TEST(KTRegistryLoaderValidity, MissesOfNullUnknownOrPathlessNamesLeaveTheRecord) {
    registerExamples();
    KTRegistryInfo info;
    info.SetLocalPath("untouched");
    KTRegistryLoader loader;
    EXPECT_FALSE(loader.GetAnimation("walk", info)); // letter case counts
    EXPECT_FALSE(loader.GetAnimation(nullptr, info));
    EXPECT_FALSE(loader.GetAnimation("NoPath", info));
    EXPECT_FALSE(loader.GetGeometry("Walk", info)); // animations and geometry are apart
    EXPECT_STREQ(info.GetLocalPath(), "untouched");
    EXPECT_STREQ(KTRegistryInfo().GetLocalPath(), "");
}

TEST(RegistryLoader, ResolvesTheLastPathRegisteredPerKindUntilCleared) {
    registerExamples();
    KTRegistryInfo info;
    KTRegistryLoader loader;
    ASSERT_TRUE(loader.GetAnimation("Walk", info));
    EXPECT_STREQ(info.GetLocalPath(), "/data/walk2.kta");
    ASSERT_TRUE(loader.GetGeometry("Chair", info));
    EXPECT_STREQ(info.GetLocalPath(), "/data/chair.iv");
    KTRegistryLoader::ClearRegistry();
    EXPECT_FALSE(loader.GetAnimation("Walk", info) || loader.GetGeometry("Chair", info));
}

} // namespace
