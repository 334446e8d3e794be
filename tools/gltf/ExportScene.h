#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/PlaySession.h"

class KTComponent;

namespace ktrt_tool {

/// Triangles of one colour: three vertices per triangle, positions and unit
/// normals as x, y, z floats in the frame of the node that holds them.
struct ExportPrimitive {
    std::array<float, 4> color{{0.8f, 0.8f, 0.8f, 1.0f}};
    std::vector<float> positions;
    std::vector<float> normals;
};

/// One node of the exported hierarchy: a name, its parent (-1 for a root),
/// its rest pose as translation, rotation (x, y, z, w) and scale, or as a
/// column-major 4x4 matrix when `matrix` is not empty, and its triangles.
struct ExportNode {
    std::string name;
    int parent = -1;
    std::array<double, 3> translation{{0.0, 0.0, 0.0}};
    std::array<double, 4> rotation{{0.0, 0.0, 0.0, 1.0}};
    std::array<double, 3> scale{{1.0, 1.0, 1.0}};
    std::vector<double> matrix;
    std::vector<ExportPrimitive> primitives;
};

/// The geometry and hierarchy of a component, ready to be written as glTF.
/// Parents come before their children in `nodes`. `partNodes[i]` is the node
/// of `parts[i]` of the collection: its translation and rotation are the
/// fields of the part's transform node, so an animation of those two fields
/// targets it directly. A transform with a center, a scale orientation or an
/// offset from its parent's frame gets static helper nodes around it.
struct ExportScene {
    std::vector<ExportNode> nodes;
    std::vector<int> partNodes;
};

/// Collects the triangles of every shape below `component` with a callback
/// action, each into the frame of the nearest enclosing part of `parts` (or
/// the component's root node), with the diffuse colour and transparency of
/// its material. The transforms are read as they are now: call it before
/// playing.
ExportScene collectExportScene(KTComponent& component, const std::vector<AnimatedPart>& parts);

} // namespace ktrt_tool
