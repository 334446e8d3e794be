#include "gltf/ExportScene.h"

#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

#include <Inventor/SbColor.h>
#include <Inventor/SbLinear.h>
#include <Inventor/SoPrimitiveVertex.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

namespace ktrt_tool {

namespace {

constexpr double closeEnough = 1e-6;

bool isIdentity(const SbMatrix& matrix) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(matrix[r][c] - (r == c ? 1.0f : 0.0f)) > closeEnough)
                return false;
        }
    }
    return true;
}

bool isIdentity(const SbRotation& rotation) {
    float q[4];
    rotation.getValue(q[0], q[1], q[2], q[3]);
    return std::fabs(q[0]) <= closeEnough && std::fabs(q[1]) <= closeEnough &&
           std::fabs(q[2]) <= closeEnough;
}

std::array<double, 4> quaternionOf(const SbRotation& rotation) {
    float q[4];
    rotation.getValue(q[0], q[1], q[2], q[3]);
    return {{q[0], q[1], q[2], q[3]}};
}

std::array<double, 3> vectorOf(const SbVec3f& v) {
    return {{v[0], v[1], v[2]}};
}

// Inventor matrices act on row vectors; read in storage order they are the
// column-major matrix that glTF's column vectors need.
std::vector<double> columnMajor(const SbMatrix& matrix) {
    std::vector<double> values;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            values.push_back(matrix[r][c]);
    }
    return values;
}

// A static node holding `matrix`: translation, rotation and scale when the
// matrix splits into them, else the matrix itself.
void setRestPose(ExportNode& node, const SbMatrix& matrix) {
    SbVec3f translation, scale;
    SbRotation rotation, scaleOrientation;
    matrix.getTransform(translation, rotation, scale, scaleOrientation);
    const bool uniform = std::fabs(scale[0] - scale[1]) <= closeEnough &&
                         std::fabs(scale[0] - scale[2]) <= closeEnough;
    if (!uniform && !isIdentity(scaleOrientation)) {
        node.matrix = columnMajor(matrix);
        return;
    }
    node.translation = vectorOf(translation);
    node.rotation = quaternionOf(rotation);
    node.scale = vectorOf(scale);
}

struct Collector {
    ExportScene* scene;
    // Node that receives the triangles of each animated part, and the model
    // matrix of that node's frame at rest.
    std::vector<int> geometryNodes;
    std::vector<SbMatrix> geometryFrames;
    std::unordered_map<const SoNode*, int> partIndex;
    const std::vector<AnimatedPart>* parts;
    // Enclosing animated part of the traversal (-1: the component itself).
    std::vector<int> enclosing{-1};
    // Per-node primitives by colour, as indexes into the node's primitives.
    std::map<std::pair<int, std::array<float, 4>>, std::size_t> primitiveOf;
    // Relative matrices of the last shape, reused for its other triangles.
    SbMatrix lastModel;
    int lastOwner = -2;
    SbMatrix toFrame;
    SbMatrix normalsToFrame;
    std::set<std::string> names;
};

std::string uniqueName(Collector& collector, const std::string& wanted) {
    std::string name = wanted;
    for (int n = 2; !collector.names.insert(name).second; ++n)
        name = wanted + '_' + std::to_string(n);
    return name;
}

int addNode(Collector& collector, const std::string& name, int parent) {
    ExportNode node;
    node.name = uniqueName(collector, name);
    node.parent = parent;
    collector.scene->nodes.push_back(std::move(node));
    return static_cast<int>(collector.scene->nodes.size()) - 1;
}

// Builds the nodes of an animated part when the traversal enters it:
//   [offset from the parent's frame, then the center]  static, when needed
//   part: translation, rotation (and scale)            the animated fields
//   [scale orientation and scale, then minus center]   static, when needed
// so that the chain equals the transform's matrix with its fields as they are.
SoCallbackAction::Response enterPart(void* data, SoCallbackAction* action, const SoNode* node) {
    auto& collector = *static_cast<Collector*>(data);
    auto found = collector.partIndex.find(node);
    if (found == collector.partIndex.end()) {
        collector.enclosing.push_back(collector.enclosing.back());
        return SoCallbackAction::CONTINUE;
    }
    const int index = found->second;
    const AnimatedPart& part = (*collector.parts)[static_cast<std::size_t>(index)];
    const SoTransform& transform = *part.transform;
    const int parentPart = collector.enclosing.back();
    int parent = parentPart < 0 ? 0 : collector.geometryNodes[static_cast<std::size_t>(parentPart)];
    const SbMatrix parentFrame =
        parentPart < 0 ? SbMatrix::identity()
                       : collector.geometryFrames[static_cast<std::size_t>(parentPart)];

    const SbMatrix& entry = action->getModelMatrix();
    const SbVec3f center = transform.center.getValue();
    SbMatrix pivot;
    pivot.setTranslate(center);
    pivot.multRight(entry);
    pivot.multRight(parentFrame.inverse());
    if (!isIdentity(pivot)) {
        parent = addNode(collector, part.name + "_pivot", parent);
        setRestPose(collector.scene->nodes[static_cast<std::size_t>(parent)], pivot);
    }

    const int partNode = addNode(collector, part.name, parent);
    collector.scene->partNodes[static_cast<std::size_t>(index)] = partNode;
    ExportNode& animated = collector.scene->nodes[static_cast<std::size_t>(partNode)];
    animated.translation = vectorOf(transform.translation.getValue());
    animated.rotation = quaternionOf(transform.rotation.getValue());
    const SbRotation scaleOrientation = transform.scaleOrientation.getValue();
    const SbVec3f scale = transform.scaleFactor.getValue();

    int geometryNode = partNode;
    if (isIdentity(scaleOrientation)) {
        collector.scene->nodes[static_cast<std::size_t>(partNode)].scale = vectorOf(scale);
        if (center != SbVec3f(0, 0, 0)) {
            geometryNode = addNode(collector, part.name + "_geometry", partNode);
            collector.scene->nodes[static_cast<std::size_t>(geometryNode)].translation =
                vectorOf(-center);
        }
    } else {
        const int scaled = addNode(collector, part.name + "_scale", partNode);
        ExportNode& scaling = collector.scene->nodes[static_cast<std::size_t>(scaled)];
        scaling.rotation = quaternionOf(scaleOrientation);
        scaling.scale = vectorOf(scale);
        geometryNode = addNode(collector, part.name + "_geometry", scaled);
        ExportNode& back = collector.scene->nodes[static_cast<std::size_t>(geometryNode)];
        const SbRotation undo = scaleOrientation.inverse();
        SbVec3f shifted;
        undo.multVec(-center, shifted);
        back.rotation = quaternionOf(undo);
        back.translation = vectorOf(shifted);
    }

    SbMatrix own;
    own.setTransform(transform.translation.getValue(), transform.rotation.getValue(), scale,
                     scaleOrientation, center);
    own.multRight(entry);
    collector.geometryNodes[static_cast<std::size_t>(index)] = geometryNode;
    collector.geometryFrames[static_cast<std::size_t>(index)] = own;
    collector.enclosing.push_back(index);
    return SoCallbackAction::CONTINUE;
}

SoCallbackAction::Response leavePart(void* data, SoCallbackAction*, const SoNode*) {
    static_cast<Collector*>(data)->enclosing.pop_back();
    return SoCallbackAction::CONTINUE;
}

void addTriangle(void* data, SoCallbackAction* action, const SoPrimitiveVertex* v1,
                 const SoPrimitiveVertex* v2, const SoPrimitiveVertex* v3) {
    auto& collector = *static_cast<Collector*>(data);
    const int owner = collector.enclosing.back();
    const SbMatrix& model = action->getModelMatrix();
    if (owner != collector.lastOwner || model != collector.lastModel) {
        collector.lastOwner = owner;
        collector.lastModel = model;
        collector.toFrame = model;
        if (owner >= 0)
            collector.toFrame.multRight(
                collector.geometryFrames[static_cast<std::size_t>(owner)].inverse());
        collector.normalsToFrame = collector.toFrame.inverse().transpose();
    }

    const SoPrimitiveVertex* vertices[3] = {v1, v2, v3};
    SbVec3f points[3];
    for (int i = 0; i < 3; ++i)
        collector.toFrame.multVecMatrix(vertices[i]->getPoint(), points[i]);
    SbVec3f face = (points[1] - points[0]).cross(points[2] - points[0]);
    if (face.length() == 0.0f)
        return;
    face.normalize();

    SbColor ambient, diffuse, specular, emission;
    float shininess = 0.0f, transparency = 0.0f;
    action->getMaterial(ambient, diffuse, specular, emission, shininess, transparency,
                        v1->getMaterialIndex());
    const std::array<float, 4> color{{diffuse[0], diffuse[1], diffuse[2], 1.0f - transparency}};

    const int node = owner < 0 ? 0 : collector.geometryNodes[static_cast<std::size_t>(owner)];
    std::vector<ExportPrimitive>& primitives =
        collector.scene->nodes[static_cast<std::size_t>(node)].primitives;
    auto [at, added] = collector.primitiveOf.try_emplace({node, color}, primitives.size());
    if (added) {
        primitives.emplace_back();
        primitives.back().color = color;
    }
    ExportPrimitive& primitive = primitives[at->second];
    for (int i = 0; i < 3; ++i) {
        SbVec3f normal;
        collector.normalsToFrame.multDirMatrix(vertices[i]->getNormal(), normal);
        if (normal.length() == 0.0f)
            normal = face;
        normal.normalize();
        for (int c = 0; c < 3; ++c) {
            primitive.positions.push_back(points[i][c]);
            primitive.normals.push_back(normal[c]);
        }
    }
}

} // namespace

ExportScene collectExportScene(KTComponent& component, const std::vector<AnimatedPart>& parts) {
    ExportScene scene;
    scene.partNodes.assign(parts.size(), -1);
    Collector collector;
    collector.scene = &scene;
    collector.parts = &parts;
    collector.geometryNodes.assign(parts.size(), 0);
    collector.geometryFrames.assign(parts.size(), SbMatrix::identity());
    for (std::size_t i = 0; i < parts.size(); ++i)
        collector.partIndex.emplace(parts[i].part, static_cast<int>(i));
    addNode(collector, component.getName().getString(), -1);

    SoCallbackAction action;
    action.addPreCallback(KTPart::getClassTypeId(), enterPart, &collector);
    action.addPostCallback(KTPart::getClassTypeId(), leavePart, &collector);
    action.addTriangleCallback(SoShape::getClassTypeId(), addTriangle, &collector);
    action.apply(&component);
    return scene;
}

} // namespace ktrt_tool
