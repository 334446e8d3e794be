#pragma once

#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "gltf/ExportScene.h"
#include "gltf/PoseClip.h"

namespace ktrt_tool {

/// A glTF 2.0 model of `scene` with one animation per clip: every node, one
/// mesh per node that has triangles (one primitive and one material per
/// colour), and for each track a rotation channel and, when it has
/// translations, a translation channel, all in one buffer. A clip with fades
/// (a crossfade) carries them in its animation's extras: `ktrtFade`, B's
/// weight at each sample time, and `ktrtFadeStart`, `ktrtFadeEnd` in seconds.
tinygltf::Model buildGltfModel(const ExportScene& scene, const std::vector<PoseClip>& clips);

/// The model serialised as binary glTF (`binary`) or as JSON with the buffer
/// embedded as a data URI. Empty when tinygltf fails.
std::string serializeGltf(const tinygltf::Model& model, bool binary);

} // namespace ktrt_tool
