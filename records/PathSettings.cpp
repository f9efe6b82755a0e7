#include "records/PathSettings.h"

namespace {
constexpr const char* kKeys[PathSettings::kCount] = {"Wav", "Tmp", "cfg", "cal", "mic",
                                                     "ovl", "txt", "rvb", "thd", "filter"};
constexpr const char* kNames[PathSettings::kCount] = {"wave",    "temp", "config", "cal",    "miccomp",
                                                      "overlay", "log",  "reverb", "Thd",    "filter"};
} // namespace

char* PathSettings::Folder(int i)
{
    char* folders[kCount] = {Wav, Tmp, cfg, cal, mic, ovl, txt, rvb, thd, filter};
    return (i >= 0 && i < kCount) ? folders[i] : nullptr;
}

const char* PathSettings::Folder(int i) const
{
    return const_cast<PathSettings*>(this)->Folder(i);
}

const char* PathSettings::Key(int i) { return (i >= 0 && i < kCount) ? kKeys[i] : ""; }

const char* PathSettings::DefaultName(int i) { return (i >= 0 && i < kCount) ? kNames[i] : ""; }

void PathSettings::SetDefaults(const std::string& dataFolder)
{
    for (int i = 0; i < kCount; ++i) {
        std::string path = JoinDataFolder(dataFolder, kNames[i]);
        char* f = Folder(i);
        std::size_t n = path.size() < 259 ? path.size() : 259;
        std::memcpy(f, path.data(), n);
        std::memset(f + n, 0, 260 - n);
    }
}

std::string JoinDataFolder(const std::string& dataFolder, const char* name)
{
    std::string out = dataFolder;
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += name;
    return out;
}
