#include <ktrt/snapshot/KTLightState.h>

#include <Inventor/SbColor.h>
#include <Inventor/SbVec3f.h>
#include <Inventor/nodes/SoDirectionalLight.h>
#include <Inventor/nodes/SoPointLight.h>
#include <Inventor/nodes/SoSpotLight.h>

namespace {

KTVector3 widen(const SbVec3f& value) {
    return KTVector3(value[0], value[1], value[2]);
}

SbVec3f narrow(const KTVector3& value) {
    return SbVec3f(static_cast<float>(value[0]), static_cast<float>(value[1]),
                   static_cast<float>(value[2]));
}

} // namespace

KTLightState::KTLightState() {
    clear();
}

KTLightState::KTLightState(const KTLightState& other) {
    copy(other);
}

KTLightState& KTLightState::operator=(const KTLightState& other) {
    if (this != &other)
        copy(other);
    return *this;
}

KTLightState::~KTLightState() = default;

int KTLightState::operator==(const KTLightState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTLightState::clear() {
    color.setValues(1.0, 1.0, 1.0);
    cutOffAngle = 45.0f;
    direction.setValues(0.0, 0.0, -1.0);
    dropOffRate = 0.0f;
    intensity = 0.2f;
    location.setValues(0.0, 0.0, 0.0);
    name = "";
    oldName = "";
    on = false;
}

void KTLightState::snapshotLight(const SoLight* light) {
    if (light == nullptr)
        return;
    if (light->isOfType(SoDirectionalLight::getClassTypeId()))
        copyFromDirectionalLight(static_cast<const SoDirectionalLight*>(light));
    else if (light->isOfType(SoPointLight::getClassTypeId()))
        copyFromPointLight(static_cast<const SoPointLight*>(light));
    else if (light->isOfType(SoSpotLight::getClassTypeId()))
        copyFromSpotLight(static_cast<const SoSpotLight*>(light));
}

void KTLightState::restoreLight(SoLight* light) {
    if (light == nullptr)
        return;
    if (light->isOfType(SoDirectionalLight::getClassTypeId()))
        restoreToDirectionalLight(static_cast<SoDirectionalLight*>(light));
    else if (light->isOfType(SoPointLight::getClassTypeId()))
        restoreToPointLight(static_cast<SoPointLight*>(light));
    else if (light->isOfType(SoSpotLight::getClassTypeId()))
        restoreToSpotLight(static_cast<SoSpotLight*>(light));
}

void KTLightState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}

void KTLightState::setOldName(const char* text) {
    if (text != nullptr)
        oldName = text;
}

void KTLightState::copy(const KTLightState& other) {
    color = other.color;
    cutOffAngle = other.cutOffAngle;
    direction = other.direction;
    dropOffRate = other.dropOffRate;
    intensity = other.intensity;
    location = other.location;
    name = other.name;
    oldName = other.oldName;
    on = other.on;
}

void KTLightState::getCommonValues(const SoLight* light) {
    color = widen(light->color.getValue());
    intensity = light->intensity.getValue();
    on = light->on.getValue() != FALSE;
}

void KTLightState::copyFromDirectionalLight(const SoDirectionalLight* light) {
    if (light == nullptr)
        return;
    getCommonValues(light);
    direction = widen(light->direction.getValue());
}

void KTLightState::copyFromPointLight(const SoPointLight* light) {
    if (light == nullptr)
        return;
    getCommonValues(light);
    location = widen(light->location.getValue());
}

void KTLightState::copyFromSpotLight(const SoSpotLight* light) {
    if (light == nullptr)
        return;
    getCommonValues(light);
    direction = widen(light->direction.getValue());
    location = widen(light->location.getValue());
    cutOffAngle = light->cutOffAngle.getValue();
    dropOffRate = light->dropOffRate.getValue();
}

void KTLightState::restoreCommonValues(SoLight* light) {
    light->color.setValue(SbColor(narrow(color)));
    light->intensity.setValue(intensity);
    light->on.setValue(on ? TRUE : FALSE);
}

void KTLightState::restoreToDirectionalLight(SoDirectionalLight* light) {
    if (light == nullptr)
        return;
    restoreCommonValues(light);
    light->direction.setValue(narrow(direction));
}

void KTLightState::restoreToPointLight(SoPointLight* light) {
    if (light == nullptr)
        return;
    restoreCommonValues(light);
    light->location.setValue(narrow(location));
}

void KTLightState::restoreToSpotLight(SoSpotLight* light) {
    if (light == nullptr)
        return;
    restoreCommonValues(light);
    light->direction.setValue(narrow(direction));
    light->location.setValue(narrow(location));
    light->cutOffAngle.setValue(cutOffAngle);
    light->dropOffRate.setValue(dropOffRate);
}
