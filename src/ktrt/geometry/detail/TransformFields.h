#pragma once

#include <Inventor/nodes/SoTransform.h>

namespace ktrt::detail {

/// Copies the five fields of a transform node, each read as its current
/// (evaluated) value and written with setValue, in the order translation,
/// rotation, scale factor, scale orientation, center.
inline void copyTransformFields(const SoTransform& from, SoTransform& to) {
    to.translation.setValue(from.translation.getValue());
    to.rotation.setValue(from.rotation.getValue());
    to.scaleFactor.setValue(from.scaleFactor.getValue());
    to.scaleOrientation.setValue(from.scaleOrientation.getValue());
    to.center.setValue(from.center.getValue());
}

} // namespace ktrt::detail
