#include "app/settings/GlobalSettings.h"

#include "records/NumberText.h"
#include "platform/core/Profile.h"

#include <algorithm>
#include <vector>

namespace {

long long ReadInteger(const char* profile, const char* section, const char* key, const char* def)
{
    char buf[256];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, profile);
    return ParseDecimalInteger(buf);
}

// A count or time read from the profile, held to lo..hi; a negative value, which only a
// damaged file holds, takes the default instead of wrapping to four billion. What had to be
// replaced is noted as "[FileIO] key=text (now value)".
DWORD ReadHeld(const char* profile, const char* key, DWORD def, long long lo, long long hi,
               std::vector<std::string>* replaced)
{
    char buf[256];
    GetPrivateProfileStringA("FileIO", key, std::to_string(def).c_str(), buf, sizeof buf, profile);
    const long long v = ParseDecimalInteger(buf);
    const long long held = v < 0 ? def : std::clamp(v, lo, hi);
    if (held != v && replaced != nullptr)
        replaced->push_back(std::string("[FileIO] ") + key + "=" + std::string(buf).substr(0, 40) + " (now " +
                            std::to_string(held) + ")");
    return static_cast<DWORD>(held);
}

BYTE ReadFlag(const char* profile, const char* key, const char* def)
{
    return ReadInteger(profile, "FileIO", key, def) != 0 ? 1 : 0;
}

// "%d" and "%ld" of a 32-bit value.
std::string Signed32(DWORD v) { return std::to_string(static_cast<std::int32_t>(v)); }

} // namespace

int ReadInstallProfile(const char* installProfilePath)
{
    return static_cast<int>(ReadInteger(installProfilePath, "Install", "WindowsInstall", "0"));
}

void ReadGlobalSettings(const char* profilePath, const std::string& dataFolder, bool windowsInstall,
                        PathSettings& paths, PathSettings& workingPaths, FileIOSettings& fileIO,
                        std::vector<std::string>* replaced)
{
    long long useDefaults = ReadInteger(profilePath, "Install", "Default", "0");
    paths.SetDefaults(dataFolder);
    if (!(useDefaults != 0 && windowsInstall)) {
        for (int i = 0; i < PathSettings::kCount; ++i) {
            char* folder = paths.Folder(i);
            std::string def(folder);
            GetPrivateProfileStringA("Paths", PathSettings::Key(i), def.c_str(), folder, 260, profilePath);
        }
    }
    workingPaths = paths;

    fileIO.WaveFileMode = ReadHeld(profilePath, "WaveFileMode", 1, 0, 1, replaced);
    fileIO.MaxRamRecordingTimeSecs = ReadHeld(profilePath, "MaxRamRecordingTimeSecs", 3600,
                                              FileIOSettings::kMinRecordingSecs, FileIOSettings::kMaxRamRecordingSecs,
                                              replaced);
    fileIO.MakeBackup = ReadFlag(profilePath, "MakeBackup", "1");
    fileIO.IncludeCalibrationData = ReadFlag(profilePath, "IncludeCalibrationData", "1");
    fileIO.MaxDiskRecordingSizeBytes =
        ReadHeld(profilePath, "MaxDiskRecordingSizeBytes", FileIOSettings::kMaxDiskRecordingBytes,
                 FileIOSettings::kMinDiskRecordingBytes, FileIOSettings::kMaxDiskRecordingBytes, replaced);
    fileIO.RealTimeWaveBufferEnableFlag = ReadFlag(profilePath, "RealTimeWaveBufferEnableFlag", "1");
    // A buffer held in memory is bounded as a recording in memory is; one on disk by what a
    // wave file of the device's samples can hold.
    fileIO.RealTimeWaveBufferLengthSecs =
        ReadHeld(profilePath, "RealTimeWaveBufferLengthSecs", 3600, FileIOSettings::kMinRecordingSecs,
                 fileIO.WaveFileMode == 0 ? FileIOSettings::kMaxRamRecordingSecs
                                          : FileIOSettings::kMaxRealTimeBufferSecs,
                 replaced);
    fileIO.AutoReopenOnLaunch = ReadFlag(profilePath, "AutoReopenOnLaunch", "1");
}

bool WriteGlobalSettings(const char* profilePath, const PathSettings& paths, const FileIOSettings& fileIO)
{
    bool ok = true;
    for (int i = 0; i < PathSettings::kCount; ++i) {
        const char* folder = paths.Folder(i);
        std::string text(folder, strnlen(folder, 260));
        ok &= WritePrivateProfileStringA("Paths", PathSettings::Key(i), text.c_str(), profilePath) != FALSE;
    }
    auto put = [&](const char* key, const std::string& value) {
        ok &= WritePrivateProfileStringA("FileIO", key, value.c_str(), profilePath) != FALSE;
    };
    put("WaveFileMode", Signed32(fileIO.WaveFileMode));
    put("MaxRamRecordingTimeSecs", Signed32(fileIO.MaxRamRecordingTimeSecs));
    put("MakeBackup", std::to_string(fileIO.MakeBackup));
    put("IncludeCalibrationData", std::to_string(fileIO.IncludeCalibrationData));
    put("RealTimeWaveBufferEnableFlag", std::to_string(fileIO.RealTimeWaveBufferEnableFlag));
    put("RealTimeWaveBufferLengthSecs", Signed32(fileIO.RealTimeWaveBufferLengthSecs));
    put("MaxDiskRecordingSizeBytes", Signed32(fileIO.MaxDiskRecordingSizeBytes));
    put("AutoReopenOnLaunch", std::to_string(fileIO.AutoReopenOnLaunch));
    return ok;
}
