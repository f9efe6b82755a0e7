#include "platform/core/Resources.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::span<const std::uint8_t>> blobs;
    std::map<UINT, std::string> strings;
};

Registry& registry()
{
    static Registry r;
    return r;
}

std::string key(std::string_view type, std::string_view name)
{
    std::string k;
    k.reserve(type.size() + name.size() + 1);
    for (char c : type)
        k += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    k += '\x1f';
    for (char c : name)
        k += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return k;
}

std::string idName(UINT id)
{
    return "#" + std::to_string(id);
}
} // namespace

void RegisterResource(std::string_view type, std::string_view name, std::span<const std::uint8_t> bytes)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.blobs[key(type, name)] = bytes;
}

void RegisterResource(std::string_view type, UINT id, std::span<const std::uint8_t> bytes)
{
    RegisterResource(type, idName(id), bytes);
}

std::span<const std::uint8_t> FindResourceBytes(std::string_view type, std::string_view name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.blobs.find(key(type, name));
    return it == r.blobs.end() ? std::span<const std::uint8_t>() : it->second;
}

std::span<const std::uint8_t> FindResourceBytes(std::string_view type, UINT id)
{
    return FindResourceBytes(type, idName(id));
}

void RegisterString(UINT id, std::string text)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.strings[id] = std::move(text);
}

std::string LoadResourceString(UINT id)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.strings.find(id);
    return it == r.strings.end() ? std::string() : it->second;
}
