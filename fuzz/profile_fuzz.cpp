// Feeds arbitrary bytes to the profile and install-profile readers, then writes the profile
// back as the frame does at exit: the write must succeed and leave the keys of others
// ([Install] Default, [FileIO] HideLogo) as they read before.
#include "FuzzSupport.h"

#include "app/settings/GlobalSettings.h"
#include "platform/core/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    const std::string path = fuzz::PutFile("Durnex.ini", data, size);
    if (path.empty())
        return 0;
    const bool documents = size > 0 && (data[0] & 1) != 0;
    (void)ReadInstallProfile(path.c_str());
    PathSettings paths, working;
    FileIOSettings fileIO;
    ReadGlobalSettings(path.c_str(), "/data/", documents, paths, working, fileIO);
    FUZZ_REQUIRE(fileIO.MaxDiskRecordingSizeBytes >= FileIOSettings::kMinDiskRecordingBytes &&
                 fileIO.MaxDiskRecordingSizeBytes <= FileIOSettings::kMaxDiskRecordingBytes);

    auto others = [&] {
        char install[256], logo[256];
        GetPrivateProfileStringA("Install", "Default", "<none>", install, sizeof install, path.c_str());
        GetPrivateProfileStringA("FileIO", "HideLogo", "<none>", logo, sizeof logo, path.c_str());
        return std::string(install) + '\n' + logo;
    };
    const std::string before = others();
    FUZZ_REQUIRE(WriteGlobalSettings(path.c_str(), paths, fileIO));
    FUZZ_REQUIRE(others() == before);

    // The flags and the clamped size read back as written.
    PathSettings paths2, working2;
    FileIOSettings fileIO2;
    ReadGlobalSettings(path.c_str(), "/data/", false, paths2, working2, fileIO2);
    FUZZ_REQUIRE(fileIO2.MakeBackup == fileIO.MakeBackup && fileIO2.AutoReopenOnLaunch == fileIO.AutoReopenOnLaunch &&
                 fileIO2.MaxDiskRecordingSizeBytes == fileIO.MaxDiskRecordingSizeBytes);
    return 0;
}
