// ktrt import on models that no one here wrote (Debian's assimp-testmodels):
// the output passes ktrt check and plays on the imported world, and at every
// sampled frame each node's pose read back from the file equals the node
// channel evaluated straight from assimp's keys.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/geometry/KTAngle.h>

#include "import/ImportSampling.h"

namespace {

const std::string models = "/usr/share/assimp/models/";
// One folder per process: CTest runs the cases of this file side by side.
const std::filesystem::path work =
    std::filesystem::path(::testing::TempDir()) / ("ktrt-import-" + std::to_string(::getpid()));

// Runs the tool quietly; its exit status.
int run(const std::string& arguments) {
    std::filesystem::create_directories(work);
    const int status =
        std::system((std::string(KTRT_TOOL) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The channel at `ticks`, straight from its keys: the two keys around the
// time, assimp's own quaternion interpolation and a linear blend.
template <class Key>
double between(const Key* keys, unsigned int count, double ticks, unsigned int& at) {
    at = 0;
    while (at + 1 < count && keys[at + 1].mTime <= ticks)
        ++at;
    if (at + 1 >= count || ticks <= keys[at].mTime)
        return 0.0;
    return (ticks - keys[at].mTime) / (keys[at + 1].mTime - keys[at].mTime);
}

aiQuaternion rotationAt(const aiNodeAnim& channel, double ticks) {
    unsigned int at;
    const double t = between(channel.mRotationKeys, channel.mNumRotationKeys, ticks, at);
    aiQuaternion result = channel.mRotationKeys[at].mValue;
    if (t == 0.0)
        return result.Normalize(); // some files' keys are a hair off unit length
    aiQuaternion::Interpolate(result, channel.mRotationKeys[at].mValue,
                              channel.mRotationKeys[at + 1].mValue, static_cast<float>(t));
    return result.Normalize();
}

aiVector3D positionAt(const aiNodeAnim& channel, double ticks) {
    unsigned int at;
    const double t = between(channel.mPositionKeys, channel.mNumPositionKeys, ticks, at);
    const aiVector3D& a = channel.mPositionKeys[at].mValue;
    if (t == 0.0)
        return a;
    const aiVector3D& b = channel.mPositionKeys[at + 1].mValue;
    return a + (b - a) * static_cast<float>(t);
}

// Expects rotation `q` to be `e` (x, y, z, w) to `tolerance`; q and -q are the same.
void expectSameTurn(const float q[4], const float e[4], double tolerance,
                    const std::string& where) {
    const float sign = q[0] * e[0] + q[1] * e[1] + q[2] * e[2] + q[3] * e[3] < 0 ? -1.0f : 1.0f;
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(sign * q[k], e[k], tolerance) << where;
}

class ImportTest : public ::testing::TestWithParam<const char*> {};

// Every key read back remembers the axis and angle it was made from, so the
// rotations sampled by time are the source's to float precision, where the
// keys' Euler angles would snap turns near quarter turns by up to 1e-3.
TEST_P(ImportTest, PosesMatchTheSourceAndTheOutputPlays) {
    const std::string source = models + GetParam();
    const std::string stem = std::filesystem::path(source).stem().string();
    const std::string kta = (work / (stem + ".kta")).string();
    const std::string iv = (work / (stem + ".iv")).string();
    const double fps = 24;
    ASSERT_EQ(run("import " + source + " -o " + kta + " --fps 24 --world " + iv), 0);
    // Imports keep their positions, which a host enables: --positions.
    EXPECT_EQ(run("check --strict --positions " + kta), 0);
    EXPECT_EQ(run("play " + iv + " " + kta + " --positions"), 0);

    KTRegistryLoader::RegisterAnimation(kta.c_str(), kta.c_str());
    KTComponentAnimation animation;
    ASSERT_EQ(animation.loadAnimationFromFile(kta.c_str()), 1);
    const KTAnimationClip sampled(animation);
    KTAnimationClip::Timing timing;
    timing.keysPerSecond = fps;
    timing.wrap = KTAnimationClip::CLAMP;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(source, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr);
    const aiAnimation& clip = *scene->mAnimations[0];
    const double tps = ktrt_tool::ticksPerSecond(clip);
    const unsigned int frames = ktrt_tool::frameCount(clip, fps);
    EXPECT_GE(frames * tps / fps, clip.mDuration - tps / fps);
    for (unsigned int c = 0; c < clip.mNumChannels; ++c) {
        const aiNodeAnim& channel = *clip.mChannels[c];
        const std::string name = ktrt_tool::partNameOf(channel.mNodeName.C_Str());
        KTPartAnimation* track = nullptr;
        ASSERT_EQ(animation.getPartAnimation(name.c_str(), track), 1) << name;
        ASSERT_EQ(track->getNumStates(), frames);
        unsigned int t = 0;
        while (t < sampled.getNumTracks() && sampled.getPartName(t) != name.c_str())
            ++t;
        KTPose pose;
        for (unsigned int i = 0; i < frames; ++i) {
            const double ticks = i / fps * tps;
            const std::string where = GetParam() + (" frame " + std::to_string(i));
            if (channel.mNumRotationKeys > 0) {
                ASSERT_EQ(sampled.sample(i / fps, timing, pose), 1);
                const aiQuaternion turn = rotationAt(channel, ticks);
                const float e[4] = {turn.x, turn.y, turn.z, turn.w};
                expectSameTurn(pose.getRotation(t).getValue(), e, 1e-6, where);
            }
            if (channel.mNumPositionKeys > 0) {
                const aiVector3D expected = positionAt(channel, ticks);
                const KTVector3& position = (*track)[i]->getPosition();
                for (unsigned int k = 0; k < 3; ++k)
                    EXPECT_NEAR(position[k], expected[k],
                                1e-4 * std::max(1.0f, std::fabs(expected[k])))
                        << where;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AssimpTestModels, ImportTest,
                         ::testing::Values("BVH/01_01.bvh", "glTF2/simple_skin/simple_skin.gltf",
                                           "Collada/box_nested_animation.dae",
                                           "FBX/animation_with_skeleton.fbx"));

// ktrt export of every example, then ktrt import of the glTF at the same
// rate: the same keys come back, orientations and positions to 1e-5.
class ExportImportTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportImportTest, GivesBackTheSameKeys) {
    const std::string example = std::string(KTRT_SOURCE_DIR) + "/examples/" + GetParam();
    const std::string gltf = (work / (std::string(GetParam()) + ".gltf")).string();
    const std::string kta = (work / (std::string(GetParam()) + "-back.kta")).string();
    ASSERT_EQ(run("export " + example + ".iv " + example + ".kta --positions --fps 10 -o " + gltf),
              0);
    ASSERT_EQ(run("import " + gltf + " --fps 10 -o " + kta), 0);

    KTRegistryLoader::RegisterAnimation(example.c_str(), (example + ".kta").c_str());
    KTRegistryLoader::RegisterAnimation(kta.c_str(), kta.c_str());
    KTComponentAnimation original, back;
    ASSERT_EQ(original.loadAnimationFromFile(example.c_str()), 1);
    ASSERT_EQ(back.loadAnimationFromFile(kta.c_str()), 1);
    for (unsigned int t = 0; t < original.getNumPartAnimations(); ++t) {
        KTPartAnimation& track = *original[t];
        KTPartAnimation* imported = nullptr;
        ASSERT_EQ(back.getPartAnimation(track.getPartName().data(), imported), 1)
            << track.getPartName().data();
        // The export closes the cycle with the last pose again, and moves
        // only parts whose keys have positions (the others keep their rest
        // translation, which the import then holds).
        ASSERT_GE(imported->getNumStates(), track.getNumStates());
        bool moves = false;
        for (unsigned int k = 0; k < track.getNumStates(); ++k)
            for (unsigned int i = 0; i < 3; ++i)
                moves = moves || track[k]->getPosition()[i] != 0.0;
        for (unsigned int k = 0; k < track.getNumStates(); ++k) {
            float q[4], r[4];
            track[k]->getOrientation().getValue(q);
            (*imported)[k]->getOrientation().getValue(r);
            expectSameTurn(r, q, 1e-5, GetParam() + (" key " + std::to_string(k)));
            for (unsigned int i = 0; i < 3 && moves; ++i)
                EXPECT_NEAR((*imported)[k]->getPosition()[i], track[k]->getPosition()[i], 1e-5)
                    << GetParam() << " key " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExportImportTest, ::testing::Values("chest", "door", "figure"));

} // namespace
