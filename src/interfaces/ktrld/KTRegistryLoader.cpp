#include <ktrld/KTRegistryLoader.h>

#include <string>
#include <unordered_map>

namespace {

using NameTable = std::unordered_map<std::string, std::string>;

struct Registry {
    NameTable animations;
    NameTable geometries;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

bool lookUp(const NameTable& table, const char* name, KTRegistryInfo& info) {
    if (!name)
        return false;
    const auto entry = table.find(name);
    if (entry == table.end())
        return false;
    info.SetLocalPath(entry->second.c_str());
    return true;
}

void enter(NameTable& table, const char* name, const char* localPath) {
    if (name && localPath)
        table[name] = localPath;
}

} // namespace

bool KTRegistryLoader::GetAnimation(const char* name, KTRegistryInfo& info) {
    return lookUp(registry().animations, name, info);
}

bool KTRegistryLoader::GetGeometry(const char* name, KTRegistryInfo& info) {
    return lookUp(registry().geometries, name, info);
}

void KTRegistryLoader::RegisterAnimation(const char* name, const char* localPath) {
    enter(registry().animations, name, localPath);
}

void KTRegistryLoader::RegisterGeometry(const char* name, const char* localPath) {
    enter(registry().geometries, name, localPath);
}

void KTRegistryLoader::ClearRegistry() {
    registry().animations.clear();
    registry().geometries.clear();
}
