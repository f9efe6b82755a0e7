#include "wave/FileGroup.h"

#include "wave/ChannelFileState.h"
#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "records/ChannelCalibration.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Profile.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kInfoSection = "TestInfo";
constexpr const char* kFilesSection = "Filenames";

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return slash == 0 ? std::string("/") : std::string();
    return path.substr(0, slash);
}

std::string ReadString(const std::string& file, const char* section, const char* key)
{
    char buf[260] = {};
    GetPrivateProfileStringA(section, key, "", buf, sizeof buf, file.c_str());
    return buf;
}

// A Windows drive path: a letter, ':' and a separator ("C:\\wave\\a.wav"). A name of ours with
// ':' second ("b:wav") is a plain name.
bool IsDrivePath(const std::string& value)
{
    return value.size() >= 3 && std::isalpha(static_cast<unsigned char>(value[0])) && value[1] == ':' &&
           (value[2] == '\\' || value[2] == '/');
}

} // namespace

bool FileGroupInfo::IsUntitled() const
{
    return strnlen(GroupPath, sizeof GroupPath) < 3;
}

std::string FileGroupEntryFor(const std::string& groupPath, const std::string& wavePath)
{
    const std::string folder = FolderOf(groupPath);
    if (folder.empty() || wavePath.empty() || wavePath[0] != '/' || folder[0] != '/')
        return wavePath;
    fs::path relative = fs::path(wavePath).lexically_normal().lexically_relative(fs::path(folder).lexically_normal());
    if (relative.empty() || *relative.begin() == "..")
        return wavePath;
    std::string entry = relative.generic_string();
    // "b:wav" would read as a name on drive b, here as in files written on Windows.
    if (entry.size() >= 2 && entry[1] == ':')
        entry = "./" + entry;
    return entry;
}

std::string ResolveFileGroupEntry(const std::string& groupPath, const std::string& value)
{
    if (value.empty())
        return value;
    // Absolute paths, drive letters and UNC names are taken as they stand; a Windows path that
    // does not exist here is then reported missing when it is opened.
    if (value[0] == '/' || value[0] == '\\' || IsDrivePath(value))
        return value;
    std::string relative = value;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::string folder = FolderOf(groupPath);
    if (folder.empty())
        return relative;
    return folder == "/" ? "/" + relative : folder + "/" + relative;
}

std::string FileGroupChannelFileName(const std::string& groupPath, int channel)
{
    std::string folder = FolderOf(groupPath);
    std::string title = fs::path(groupPath).stem().string();
    std::string name = title + "_" + GetChannelLocationName(channel) + ".wav";
    return folder.empty() ? name : (folder == "/" ? "/" + name : folder + "/" + name);
}

bool WriteFileGroupInfo(const std::string& groupPath, const FileGroupInfo& info)
{
    const char* file = groupPath.c_str();
    auto text = [](const char (&field)[260]) { return std::string(field, strnlen(field, sizeof field)); };
    char date[32];
    std::snprintf(date, sizeof date, "%" PRId64, info.TestDate);
    bool ok = WritePrivateProfileStringA(kInfoSection, "TestName", text(info.TestName).c_str(), file) != FALSE;
    ok = WritePrivateProfileStringA(kInfoSection, "Technician", text(info.Technician).c_str(), file) != FALSE && ok;
    ok = WritePrivateProfileStringA(kInfoSection, "Comments", text(info.Comments).c_str(), file) != FALSE && ok;
    ok = WritePrivateProfileStringA(kInfoSection, "TestDate", date, file) != FALSE && ok;
    return ok;
}

void ReadFileGroupInfo(const std::string& groupPath, FileGroupInfo& info)
{
    CopyField(info.TestName, ReadString(groupPath, kInfoSection, "TestName").c_str());
    CopyField(info.Technician, ReadString(groupPath, kInfoSection, "Technician").c_str());
    CopyField(info.Comments, ReadString(groupPath, kInfoSection, "Comments").c_str());
    info.TestDate = ParseDecimalInteger(ReadString(groupPath, kInfoSection, "TestDate").c_str());
}

bool WriteFileGroupEntry(const std::string& groupPath, int channel, const std::string& wavePath)
{
    if (channel < 0 || channel >= kFileGroupChannels)
        return false;
    return WritePrivateProfileStringA(kFilesSection, GetChannelLocationName(channel),
                                      FileGroupEntryFor(groupPath, wavePath).c_str(), groupPath.c_str()) != FALSE;
}

std::string ReadFileGroupEntry(const std::string& groupPath, int channel)
{
    if (channel < 0 || channel >= kFileGroupChannels)
        return {};
    return ResolveFileGroupEntry(groupPath, ReadString(groupPath, kFilesSection, GetChannelLocationName(channel)));
}

int CountUnsavedWaveFiles(const ChannelFileState* files, int channels)
{
    int count = 0;
    for (int c = 0; c < channels; ++c) {
        const TWaveFile* file = files[c].File.get();
        if (file == nullptr)
            continue;
        if (file->IsUntitled()) {
            ++count;
            continue;
        }
        // Edits of a streamed file without backup are already in the file itself.
        if (file->HasUnsavedEdits())
            ++count;
    }
    return count;
}

namespace {

// The wave files that naming the untitled takes after the group would replace.
std::vector<std::string> FilesReplacedBySave(const std::string& groupPath, const ChannelFileState* files)
{
    std::vector<std::string> replaced;
    for (int c = 0; c < kFileGroupChannels; ++c) {
        const TWaveFile* file = files[c].File.get();
        if (file != nullptr && file->IsUntitled() && FileExists(FileGroupChannelFileName(groupPath, c)))
            replaced.push_back(FileGroupChannelFileName(groupPath, c));
    }
    return replaced;
}

} // namespace

bool SaveFileGroup(const std::string& groupPath, FileGroupInfo& info, ChannelFileState* files)
{
    // Test names are reused: the samples of an earlier test go only when the user says so.
    const std::vector<std::string> replaced = FilesReplacedBySave(groupPath, files);
    if (!replaced.empty()) {
        std::string text = "Saving the file group " + fs::path(groupPath).filename().string() + " would replace " +
                           (replaced.size() == 1 ? "this existing wave file" : "these existing wave files") + " in " +
                           FolderOf(groupPath) + " with untitled takes:";
        for (const std::string& name : replaced)
            text += "\r" + fs::path(name).filename().string();
        text += "\r\rDo you want to replace " + std::string(replaced.size() == 1 ? "it" : "them") +
                "?  No saves nothing.";
        if (AfxMessageBox(text, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
            return false;
    }
    const bool groupExisted = FileExists(groupPath);
    if (!WriteFileGroupInfo(groupPath, info)) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "Failure writing file group %s", groupPath.c_str());
        AfxMessageBox(buf, MB_ICONSTOP);
        return false;
    }
    char previous[sizeof info.GroupPath];
    std::memcpy(previous, info.GroupPath, sizeof previous);
    CopyField(info.GroupPath, groupPath.c_str());
    bool ok = true;
    int written = 0, failed = 0;
    for (int c = 0; c < kFileGroupChannels; ++c) {
        TWaveFile* file = files[c].File.get();
        if (file == nullptr)
            continue;
        bool saved = true;
        const bool untitled = file->IsUntitled();
        const bool writes = untitled || file->IsModified();
        if (untitled) {
            file->SetFileName(FileGroupChannelFileName(groupPath, c));
            saved = file->Save();
        }
        if (saved && file->IsModified())
            saved = file->Save();
        // The wave's own save says nothing when its file cannot be created.
        if (!saved) {
            const std::uint64_t bytes = std::uint64_t(file->GetEndFrame()) * file->GetFormat().BlockAlign();
            AfxMessageBox("Failure saving wave file " + file->GetFileName() + ": " +
                              TWaveFile::WriteFailureCause(file->GetFileName(), bytes),
                          MB_ICONSTOP);
            ok = false;
            ++failed;
            if (untitled) {
                // No file has that name: the wave stays untitled and the group names nothing.
                file->ForgetName();
                continue;
            }
        }
        if (untitled)
            CopyField(files[c].FilePath, file->GetFileName().c_str());
        ok = WriteFileGroupEntry(groupPath, c, file->GetFileName()) && ok;
        written += saved && writes ? 1 : 0;
    }
    if (failed > 0 && written == 0) {
        // Nothing of the group was saved (a full disk): it is what it was, and a group file made
        // here goes again.
        std::memcpy(info.GroupPath, previous, sizeof previous);
        if (!groupExisted)
            DeleteFileA(groupPath.c_str());
    }
    return ok;
}

int OpenFileGroup(const std::string& groupPath, FileGroupInfo& info, ChannelFileState* files,
                  ChannelCalibration* calibrations, WORD waveMode, bool makeBackup, const std::string& waveFolder)
{
    ReadFileGroupInfo(groupPath, info);
    CopyField(info.GroupPath, groupPath.c_str());
    int opened = 0;
    int named = 0;
    for (int c = 0; c < kFileGroupChannels; ++c) {
        ChannelFileState& state = files[c];
        if (state.File != nullptr)
            state.Clear();
        std::string path = ReadFileGroupEntry(groupPath, c);
        CopyField(state.FilePath, path.c_str());
        if (path.empty())
            continue;
        ++named;
        TWaveFile* file = nullptr;
        if (FileExists(path))
            file = new (std::nothrow) TWaveFile(path, waveMode, makeBackup, waveFolder);
        if (file == nullptr || file->IsError()) {
            // A file that said what is wrong with it (a format not read, say) is not reported
            // again as a path or protection problem.
            const bool reported = file != nullptr && file->ErrorReported();
            delete file;
            state.File = nullptr;
            state.FileChannel = 0;
            if (reported)
                continue;
            char buf[600];
            std::snprintf(buf, sizeof buf,
                          "Failure opening wave file %s.  Please check that the wave file path is valid and is not "
                          "write protected",
                          path.c_str());
            AfxMessageBox(buf, MB_ICONSTOP);
            continue;
        }
        state.File.reset(file);
        ++opened;
        ChannelCalibration calibration;
        file->GetChannelCalibration(calibration, static_cast<int>(state.FileChannel));
        ComputeCalibrationFactors(calibration);
        calibrations[c] = calibration;
        // Taking the file's own calibration is no edit of the file.
        const bool modified = file->IsModified();
        if (calibration.IsEnabled == 0) {
            file->ClearCalibration();
        } else {
            WaveCalibrationBlock block;
            file->GetCalibrationBlock(block);
            block.Channel[0] = calibration;
            block.Channel[1] = calibration;
            file->TWaveData::SetCalibration(block);
        }
        file->SetModified(modified);
    }
    // Another kind of file chosen by mistake reads as a group without entries: opening it
    // must not pass for opening a group.
    if (named == 0) {
        char buf[600];
        std::snprintf(buf, sizeof buf, "The file group %s names no wave files.  No file was opened.",
                      groupPath.c_str());
        AfxMessageBox(buf, MB_ICONEXCLAMATION);
    }
    return opened;
}

bool CloseFileGroup(FileGroupInfo& info, ChannelFileState* files, int channels)
{
    if (CountUnsavedWaveFiles(files, channels) > 0 &&
        AfxMessageBox("The file has not been saved.  Do you want to continue without saving?",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    for (int c = 0; c < channels; ++c)
        if (files[c].File != nullptr)
            files[c].Clear();
    info.Clear();
    return true;
}
