// The takes of a live run: each channel's samples go from the device's ring into the channel's
// file (Real Time: its circular buffer file; Recorder: its recording file, which in disk mode is
// saved under a time-stamped name once it passes the configured size, a fresh one taking its
// place). Every file of a take takes each piece or none, so the channels end at one sample; a
// file on disk has a header that names its samples at least once a second, so a crash leaves a
// readable take, and the next start names what a crash left behind.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Thread.h"
#include "plots/TSeriesPlot.h"
#include "records/CommonRoutines.h"
#include "wave/TWaveFile.h"
#include "wave/WorkingFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <new>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {
constexpr WORD kRecorder = 1;
constexpr int kPiece = 256;

std::unique_ptr<TWaveFile> NewRecordingFile(const TPcmFormat& format, const FileIOSettings& io, const char* folder)
{
    std::unique_ptr<TWaveFile> file(
        io.WaveFileMode == 0
            ? new (std::nothrow) TWaveFile(DWORD(std::min<double>(double(io.MaxRamRecordingTimeSecs) * format.SampleRate, 4.0e9)), format, folder)
            : new (std::nothrow) TWaveFile(format, io.MakeBackup != 0, folder));
    if (file != nullptr && file->IsError())
        file.reset();
    return file;
}
} // namespace

bool CMainFrame::PrepareRecordingFiles()
{
    if (Settings.OpMode != kRecorder)
        return false;
    const FileIOSettings& io = Settings.FileIO;
    const UsbDeviceSettings& device = Settings.Device;
    int recorded = 0;
    char text[800];
    std::string unmade;
    for (int ch = 0; ch < kChannels; ++ch) {
        ChannelFileState& f = Settings.Files[ch];
        if (device.Channels[ch].bIsEnabled == 0 || f.IsActive == 0)
            continue;
        ChannelCalibration& cal = Settings.Calibration[ch];
        if (f.File == nullptr) {
            const TPcmFormat& format = Settings.Processing[ch].SampleFormat;
            std::unique_ptr<TWaveFile> file = NewRecordingFile(format, io, Settings.Paths.Wav);
            if (file == nullptr) {
                unmade += (unmade.empty() ? "" : ", ") + std::to_string(ch); // said once, below
                f.FilePath[0] = '\0';
                f.IsActive = 0;
                f.FileChannel = 0;
                continue;
            }
            file->SetFormat(format);
            GiveChannelCalibration(*file, ch);
            LabelTake(*file, ch, false);
            f.File = std::move(file);
            f.FileChannel = 0;
            ++recorded;
            continue;
        }
        // A chosen file that cannot be written to is not counted: a run that records nothing
        // would look like a recording.
        if (f.File->IsError())
            continue;
        const TPcmFormat& format = f.File->GetFormat();
        const char* path = f.FilePath[0] != '\0' ? f.FilePath : f.File->GetFileName().c_str();
        if (format.GetChannels() > 1) {
            std::snprintf(text, sizeof text,
                          "The file selected on channel %d (%s) contains Stereo data.  Recording will be disabled for this channel.",
                          ch, path);
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            f.IsActive = 0;
        } else if (format.GetSampleRate() != device.SamplingRate) {
            std::snprintf(text, sizeof text,
                          "The file selected on channel %d (%s) is using a different sampling rate (%d Hz) from the rate selected "
                          "for the KDR-5200 device (%d Hz).  Recording will be disabled for this channel.",
                          ch, path, int(format.GetSampleRate()), int(device.SamplingRate));
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            f.IsActive = 0;
        } else if (format.GetBitsPerSample() != device.BitsPerSample) {
            std::snprintf(text, sizeof text,
                          "The file selected on channel %d (%s) is using a different sampling precision (%d bits) from the value "
                          "selected for the KDR-5200 device (%d bits).  Recording will be disabled for this channel.",
                          ch, path, int(format.GetBitsPerSample()), int(device.BitsPerSample));
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            f.IsActive = 0;
        } else if (!FloatsEqualToDecimals(cal.DTGain, float(device.Channels[ch].Gain), 1)) {
            std::snprintf(text, sizeof text,
                          "The device input voltage range (gain) for channel %d differs from the gain used when this channel was "
                          "calibrated.  \n\nDo you want to apply the new gain? \n\nPressing No will disable recording for this "
                          "channel.",
                          ch);
            if (AfxMessageBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES)
                cal.DTGain = float(device.Channels[ch].Gain);
            else
                f.IsActive = 0;
        }
        if (f.IsActive != 0 && !ReadyToAppend(ch))
            f.IsActive = 0;
        if (f.IsActive != 0)
            ++recorded;
    }
    if (!unmade.empty())
        ReportUnwritableWaveFolder(unmade, recorded == 0);
    if (recorded == 0) {
        if (unmade.empty())
            AfxMessageBox("Recording must be enabled for at least one device channel.", MB_OK | MB_ICONSTOP);
        OpenChannelFiles();
        return false;
    }
    RecordedSamples = 0;
    UpdateTitle();
    return true;
}

bool CMainFrame::ReadyToAppend(int channel)
{
    TWaveFile& file = *Settings.Files[channel].File;
    const char* path = Settings.Files[channel].FilePath[0] != '\0' ? Settings.Files[channel].FilePath
                                                                    : file.GetFileName().c_str();
    char text[900];
    if (file.GetMode() == TWaveFile::kResource) {
        std::snprintf(text, sizeof text,
                      "The file selected on channel %d (%s) is read-only data of the program.  Recording will be "
                      "disabled for this channel.",
                      channel, path);
        AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (file.GetMode() == TWaveFile::kMemory) {
        // A file held in memory has the length it was loaded with: the run gets the room a new
        // in-memory recording would get, after the samples it holds.
        const TPcmFormat format = file.GetFormat();
        const std::uint64_t room = std::uint64_t(Settings.FileIO.MaxRamRecordingTimeSecs) * format.SampleRate;
        const std::uint64_t most = format.BlockAlign() > 0 ? 0xFFFFFFF0ull / format.BlockAlign() : 0;
        const std::uint64_t wanted = std::min<std::uint64_t>(std::uint64_t(file.GetEndFrame()) + room, most);
        const char* cause = nullptr;
        if (wanted <= file.GetEndFrame())
            cause = room == 0 ? "MaxRamRecordingTimeSecs is 0, which leaves no room after its samples"
                              : "it already holds as many samples as a wave file can";
        else if (wanted > file.GetLength() && !file.Resize(DWORD(wanted)))
            cause = "no memory could be had for MaxRamRecordingTimeSecs of samples after the ones it holds";
        if (cause != nullptr) {
            std::snprintf(text, sizeof text,
                          "The file selected on channel %d (%s) is held in memory (WaveFileMode 0) and cannot take "
                          "a recording after its %.1f seconds: %s.  Recording will be disabled for this channel.",
                          channel, path, file.FramesToSeconds(file.GetEndFrame()), cause);
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
            return false;
        }
    }
    // A run adds to what the file holds, wherever opening, playing or rewinding left its position.
    file.SetPosition(file.GetEndFrame());
    return true;
}

void CMainFrame::ReportUnwritableWaveFolder(const std::string& channels, bool nothingKept) const
{
    const bool recorder = Settings.OpMode == kRecorder;
    const bool one = channels.find(',') == std::string::npos;
    char text[900];
    std::snprintf(text, sizeof text,
                  "The wave folder %s cannot be written: no %s could be made there for %s %s.  %s",
                  Settings.Paths.Wav, recorder ? "recording file" : "real-time buffer file", one ? "channel" : "channels",
                  channels.c_str(),
                  recorder ? (nothingKept ? "Nothing would be recorded, so the run does not start."
                                          : one ? "That channel is not recorded in this run."
                                                : "Those channels are not recorded in this run.")
                           : one ? "The run goes on, but that channel's samples are not kept."
                                 : "The run goes on, but those channels' samples are not kept.");
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

std::string CMainFrame::RecordingFileName(int channel) const
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d_%02d_%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    const std::string base = std::string(Settings.Paths.Wav) + "/Ch_" + std::to_string(channel) + "_" + stamp;
    // Files split within the same second would share the name; a later one never replaces an
    // earlier one.
    std::string name = base + ".wav";
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(name, ec) && n < 10000; ++n)
        name = base + "_" + std::to_string(n) + ".wav";
    return name;
}

bool CMainFrame::SplitRecordingFile(int channel)
{
    ChannelFileState& f = Settings.Files[channel];
    TWaveFile* file = f.File.get();
    const FileIOSettings& io = Settings.FileIO;
    const TPcmFormat format = file->GetFormat();
    // The channel's file now starts at the split: the lines of the saved part leave its history.
    const double saved = file->FramesToSeconds(file->GetPosition());
    const bool untitled = file->IsUntitled();
    if (untitled)
        file->SetFileName(RecordingFileName(channel));
    GiveChannelCalibration(*file, channel);
    if (!file->SaveStreamedAs()) {
        // The file stays the channel's as it was, unsaved, for the user to save.
        if (untitled)
            file->ForgetName();
        return false;
    }
    std::unique_ptr<TWaveFile> owned = NewRecordingFile(format, io, Settings.Paths.Wav);
    TWaveFile* next = owned.get();
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->SetWaveFile(next, 0);
    f.File = std::move(owned); // the saved file goes
    f.FilePath[0] = '\0';
    ShiftChannelHistories(channel, -saved);
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->UpdateLayout();
    if (next == nullptr)
        return false;
    GiveChannelCalibration(*next, channel);
    LabelTake(*next, channel, false);
    return true;
}

void CMainFrame::LabelTake(TWaveFile& file, int channel, bool realTime) const
{
    if (file.GetMode() != TWaveFile::kStreamed || file.GetWorkingCopy().empty())
        return; // a take in memory leaves nothing on disk
    WorkingFileLabel label;
    label.kind = realTime ? WorkingFileLabel::Kind::RealTime : WorkingFileLabel::Kind::Take;
    label.channel = channel;
    // The files a Recorder run splits at one sample end together: they share the run and that sample.
    label.run = RunLabel + "/" + std::to_string(RecordedSamples);
    if (file.IsCalibrationPresent()) {
        WaveCalibrationBlock block;
        file.GetCalibrationBlock(block);
        label.calibration.resize(WaveCalibrationBlock::kSize);
        block.WriteToBytes(std::span<std::uint8_t, WaveCalibrationBlock::kSize>(label.calibration.data(),
                                                                                 WaveCalibrationBlock::kSize));
    }
    (void)WriteWorkingFileLabel(file.GetWorkingCopy(), label); // without it the take is still offered, unnamed
}

void CMainFrame::GiveChannelCalibration(TWaveFile& file, int channel) const
{
    const ChannelCalibration& calibration = Settings.Calibration[channel];
    if (calibration.IsEnabled == 0 || Settings.FileIO.IncludeCalibrationData == 0) {
        file.ClearCalibration();
        return;
    }
    WaveCalibrationBlock block;
    file.GetCalibrationBlock(block);
    block.Channel[0] = calibration;
    block.Channel[1] = calibration;
    // The file's own hand-over marks the calibration present, so that a save writes its chunk.
    file.SetCalibration(block);
}

void CMainFrame::WriteRecordingBlock()
{
    if (Settings.OpMode != kRecorder || !AcquisitionRunning)
        return;
    DrainRingsToFiles(false);
}

bool CMainFrame::DrainsChannel(int channel) const
{
    const ChannelFileState& f = Settings.Files[channel];
    if (f.File == nullptr)
        return false;
    return Settings.OpMode != kRecorder || (Settings.Device.Channels[channel].bIsEnabled != 0 && f.IsActive != 0);
}

void CMainFrame::HaltTake(const std::string& text)
{
    // Nothing more is written this run, Stop's last writes neither: a piece some files took and
    // others refused would be written twice or leave a gap.
    RecordingHalted = true;
    if (Settings.OpMode == kRecorder)
        OnStop();
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

void CMainFrame::DrainRingsToFiles(bool final)
{
    if (InputDevice == nullptr || InputDevice->GetRingLength() <= 0)
        return;
    if (!final && InputDevice->IsDeviceLost()) {
        StopForLostDevice();
        return;
    }
    if (!RecordingHalted && !(Settings.OpMode == kRecorder && IsRecordingHeldForTrigger()))
        MoveRingPieces(final);
    if (!final)
        return;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!DrainsChannel(ch))
            continue;
        TWaveFile* file = Settings.Files[ch].File.get();
        // A user's file recorded into in place (no backup copy) had its calibration chunk
        // written over by the samples: it is made whole again, as after any edit of such a file.
        // It still counts as unsaved, so a close asks about the recording as about any other.
        if (Settings.OpMode == kRecorder && RecordedWave[ch] == file && !file->IsUntitled() &&
            file->GetMode() == TWaveFile::kStreamed && file->GetWorkingCopy() == file->GetFileName()) {
            (void)file->SaveStreamed(); // a failure has said so; the save the close offers tries again
            file->SetModified(true);
            continue;
        }
        (void)file->UpdateHeaderSizes(); // one that fails now is written at the save
    }
    const long long lost = InputDevice->GetLostPackets();
    if (lost > 0) {
        char text[300];
        std::snprintf(text, sizeof text,
                      "The device dropped packets during this run: %lld packets lost, %lld ms missing from every "
                      "channel.  The files hold the samples that arrived, without marks where the gaps are.",
                      lost, lost * TUsbDevice::kSamplesPerBlock * 1000 / TUsbDevice::kRingSampleRate);
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CMainFrame::MoveRingPieces(bool final)
{
    const bool recorder = Settings.OpMode == kRecorder;
    const int ringLength = InputDevice->GetRingLength();
    std::vector<std::int32_t> pieces;
    try {
        pieces.resize(std::size_t(kChannels) * kPiece);
    } catch (const std::bad_alloc&) {
        return;
    }
    // Everything whole that has arrived since the last tick (a late tick catches up); at Stop,
    // with the device stopped, the rest, a piece shorter than 256, is taken too. Samples are
    // read by their absolute number, so a position can neither leave the ring nor be read twice.
    for (int n = 0; n <= ringLength / kPiece; ++n) {
        const long long counter = InputDevice->GetSampleCounter();
        // A circular buffer keeps the newest samples: what the ring no longer holds is passed over.
        if (!recorder)
            RecordedSamples = std::max(RecordedSamples, counter - ringLength);
        const int count = final ? int(std::clamp<long long>(counter - RecordedSamples, 0, kPiece)) : kPiece;
        if (count == 0)
            return;
        bool read[kChannels] = {};
        int files = 0;
        for (int ch = 0; ch < kChannels; ++ch) {
            if (!DrainsChannel(ch))
                continue;
            int* piece = &pieces[std::size_t(ch) * kPiece];
            const TUsbDevice::RingRead r = InputDevice->ReadSamples(ch, RecordedSamples, count, piece);
            if (r == TUsbDevice::RingRead::NotYet || (r == TUsbDevice::RingRead::Overrun && !recorder))
                return;
            if (r == TUsbDevice::RingRead::Overrun) {
                HaltTake("The recording could not keep up with the device and samples were lost.  Recording has "
                         "stopped; the samples recorded before the gap are kept.");
                return;
            }
            read[ch] = r == TUsbDevice::RingRead::Ok;
            files += read[ch] ? 1 : 0;
        }
        if (!recorder)
            NoteRingPiece(count, read);
        if (files == 0 || !WritePieceToAll(pieces.data(), count, read))
            return;
        if (RecordStartSample < 0)
            RecordStartSample = RecordedSamples;
        RealTimeFramesWritten += count;
        RecordedSamples += count;
        WaveWritePosition = int(RecordedSamples % ringLength);
        for (int ch = 0; ch < kChannels; ++ch)
            if (read[ch] && !EndPieceOfChannel(ch))
                return;
    }
}

void CMainFrame::NoteRingPiece(int count, const bool* channels)
{
    // Before the piece goes in: a crash while it is written leaves a buffer whose order the
    // next start knows, the piece itself taken as neither old nor new.
    for (int ch = 0; ch < kChannels; ++ch) {
        const TWaveFile* file = channels[ch] ? Settings.Files[ch].File.get() : nullptr;
        if (file == nullptr || file->GetMode() != TWaveFile::kStreamed)
            continue;
        const DWORD at = file->GetPosition();
        (void)UpdateRingPosition(file->GetWorkingCopy(), RealTimeWrapPoint, at, at + DWORD(count));
    }
}

bool CMainFrame::WritePieceToAll(const std::int32_t* pieces, int count, const bool* channels)
{
    const bool recorder = Settings.OpMode == kRecorder;
    TWaveFile::WriteMark marks[kChannels];
    for (int ch = 0; ch < kChannels; ++ch) {
        if (!channels[ch])
            continue;
        TWaveFile* file = Settings.Files[ch].File.get();
        marks[ch] = file->GetWriteMark();
        // A recording only ever adds to its file's end.
        if (recorder && file->GetPosition() != file->GetEndFrame())
            file->SetPosition(file->GetEndFrame());
        if (file->WriteFloatSamples(pieces + std::size_t(ch) * kPiece, DWORD(count))) {
            if (recorder) {
                // Samples recorded into a file are work a close must ask about, whatever the file.
                RecordedWave[ch] = file;
                EditedWave[ch] = file;
            }
            continue;
        }
        // The piece is taken back from the files that took it: the channels end at one sample.
        for (int c = 0; c <= ch; ++c)
            if (channels[c])
                Settings.Files[c].File->ReturnTo(marks[c]);
        char text[400];
        // A file held in memory has no disk to fill: it refuses the piece because its frames are
        // used up.
        const bool full = file->GetMode() == TWaveFile::kMemory &&
                          std::uint64_t(file->GetPosition()) + DWORD(count) > file->GetLength();
        if (Settings.OpMode == kRecorder && full)
            std::snprintf(text, sizeof text,
                          "The recording of channel %d has filled its in-memory file (%.0f seconds; "
                          "MaxRamRecordingTimeSecs sets the room each recording gets in memory).  Recording has "
                          "stopped; the samples recorded so far are kept.",
                          ch, file->FramesToSeconds(file->GetLength()));
        else
            std::snprintf(text, sizeof text,
                          Settings.OpMode == kRecorder
                              ? "The recording file of channel %d could not be written (the disk may be full).  "
                                "Recording has stopped; the samples recorded so far are kept."
                              : "The real-time buffer file of channel %d could not be written (the disk may be full).  "
                                "The buffer files keep the samples up to now; later ones are not kept.",
                          ch);
        HaltTake(text);
        return false;
    }
    return true;
}

bool CMainFrame::EndPieceOfChannel(int channel)
{
    TWaveFile* file = Settings.Files[channel].File.get();
    const FileIOSettings& io = Settings.FileIO;
    // Once a second of samples, even while a late tick catches up; one that fails now is
    // written again a piece later, or at the save.
    if (file->GetEndFrame() >= file->GetHeaderFrames() + file->GetFormat().SampleRate)
        (void)file->UpdateHeaderSizes();
    if (Settings.OpMode != kRecorder) {
        const DWORD wrapAt = file->SecondsToFrames(float(RealTimeWrapSeconds(io.RealTimeWaveBufferLengthSecs)));
        if (file->GetPosition() > wrapAt) {
            RealTimeWrapPoint = file->GetPosition();
            file->Rewind();
        }
        return true;
    }
    if (io.WaveFileMode != 1 || file->GetPositionBytes() <= io.MaxDiskRecordingSizeBytes || SplitRecordingFile(channel))
        return true;
    char text[300];
    std::snprintf(text, sizeof text,
                  "The full recording file of channel %d could not be saved in the wave folder, or no new one could be "
                  "made.  Recording has stopped.",
                  channel);
    HaltTake(text);
    return false;
}

void CMainFrame::StopForLostDevice()
{
    char name[64] = {};
    InputDevice->GetDeviceName(Settings.DTInputDeviceIndex, name, sizeof name);
    OnStop();
    // Released, so that a Run once the device is back opens it afresh.
    InputDevice->CloseDevice();
    char text[400];
    std::snprintf(text, sizeof text,
                  "The KDR-5200 device (%s) was disconnected during the run.  The run has stopped; the samples "
                  "recorded before it was lost are kept.",
                  name);
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

namespace {

// Where the frames of an undo copy of an edit made in the file itself belong, and how far the
// edit got, so that the user can put the file back together. Labels of earlier versions say
// neither.
std::string UndoCopyPlace(const WorkingFileLabel& label, std::int64_t frames)
{
    std::string text = ", holding its frames as they were before its last edit";
    if (label.first < 0)
        return text + " (the file may be part-edited)";
    using State = WorkingFileLabel::State;
    const std::string at = "frame " + std::to_string(label.first);
    text += ": its " + (frames >= 0 ? std::to_string(frames) + " " : std::string()) + "frames belong at " + at +
            " of the file, where the edit " +
            (label.change == WorkingFileLabel::Change::Removed ? "cut them out" : "overwrote them");
    if (label.state == State::Edited)
        return text + "; the edit was finished";
    if (label.state == State::Undoing)
        return text + "; taking the edit back was cut short, so the file may be part-restored from " + at + " on";
    return text + "; the edit was cut short, so the file may be part-edited from " + at + " on";
}

} // namespace

void CMainFrame::ReportLeftOverTakes()
{
    namespace fs = std::filesystem;
    struct LeftOver {
        std::string path, name;
        WorkingFileLabel label;
        bool labelled = false;
        WorkingWave wave;
        bool waveOk = false;
    };
    std::vector<LeftOver> found;
    std::error_code ec;
    for (fs::directory_iterator it(Settings.Paths.Wav, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code bad;
        if (name.ends_with(".tmp.label") && !fs::exists(it->path().string().substr(0, it->path().string().size() - 6), bad)) {
            fs::remove(it->path(), bad); // the label of a file that is gone says nothing
            continue;
        }
        if (name.size() < 8 || name.rfind("wav", 0) != 0 || !name.ends_with(".tmp") || !it->is_regular_file(bad))
            continue;
        // A take holds at least one frame after its header; an empty working file is no loss.
        const std::uintmax_t size = it->file_size(bad);
        if (bad || size <= 44)
            continue;
        LeftOver left{it->path().string(), name};
        left.labelled = ReadWorkingFileLabel(left.path, left.label);
        // Another session that runs now still uses its files: they are neither offered nor touched.
        if (left.labelled && left.label.process != GetCurrentProcessId() && IsProcessRunning(left.label.process))
            continue;
        left.waveOk = InspectWorkingWave(left.path, left.wave);
        found.push_back(std::move(left));
    }
    std::sort(found.begin(), found.end(), [](const LeftOver& a, const LeftOver& b) {
        return std::tie(a.label.channel, a.name) < std::tie(b.label.channel, b.name);
    });

    // The takes of one run end at one sample, as they did while it ran: a crash may have come
    // between one channel's piece and the next's.
    using Kind = WorkingFileLabel::Kind;
    std::map<std::string, std::int64_t> runEnd;
    for (const LeftOver& l : found)
        if (l.labelled && l.waveOk && (l.label.kind == Kind::Take || l.label.kind == Kind::RealTime)) {
            const std::int64_t frames = TakeFrames(l.wave, l.label);
            auto [at, fresh] = runEnd.emplace(l.label.run, frames);
            if (!fresh)
                at->second = std::min(at->second, frames);
        }

    std::string takes, copies, others;
    int shown = 0;
    auto list = [&](std::string& to, const std::string& line) {
        if (++shown <= 12)
            to += "\r" + line;
        else if (shown == 13)
            to += "\r...";
    };
    for (LeftOver& l : found) {
        const Kind kind = l.labelled ? l.label.kind : Kind::Unknown;
        std::error_code bad;
        if (kind == Kind::Take || kind == Kind::RealTime) {
            const bool turned = kind == Kind::RealTime && l.label.wrap > 0;
            const std::int64_t frames = l.waveOk ? runEnd[l.label.run] : 0;
            const bool sealed = l.waveOk && SealTake(l.path, l.wave, l.label, frames);
            char line[400];
            const int ch = l.label.channel;
            const double rate = l.waveOk ? double(l.wave.sampleRate) : 0.0;
            std::snprintf(line, sizeof line, "%s: channel %d (%s), %.1f s%s%s", l.name.c_str(), ch,
                          ch >= 0 && ch < 7 ? GetChannelLocationName(ch) : "Ch 7",
                          rate > 0.0 ? double(frames) / rate : 0.0,
                          turned && sealed ? ", a Real Time buffer put into time order" : "",
                          sealed ? "" : " (could not be repaired; read it as it is)");
            list(takes, line);
        } else if ((kind == Kind::Backup || kind == Kind::Undo) && !l.label.original.empty()) {
            // A copy of a file that is still intact holds nothing the file does not. An edit made
            // in the file itself leaves it changed, perhaps half-moved by a crash: its undo copy
            // holds the frames as they were before, maybe the only ones left.
            const bool exists = fs::is_regular_file(l.label.original, bad);
            const bool intact = exists && (kind == Kind::Undo ? !l.label.editedInPlace
                                                              : SameWaveData(l.path, l.label.original));
            if (intact) {
                fs::remove(l.path, bad);
                RemoveWorkingFileLabel(l.path);
                continue;
            }
            if (kind == Kind::Undo)
                list(copies, l.name + ": the undo copy of " + l.label.original +
                                 (exists ? UndoCopyPlace(l.label, l.waveOk ? l.wave.frames : -1) : ", which is gone"));
            else
                list(copies, l.name + ": a working copy of " + l.label.original +
                                 (exists ? " with changes not saved" : ", which is gone"));
        } else {
            list(others, l.name);
        }
    }
    if (shown == 0)
        return;
    std::string text = "The wave folder " + std::string(Settings.Paths.Wav) + " holds files from an earlier session that ended before saving them:";
    if (!takes.empty())
        text += "\r\rTakes of live runs (recordings):" + takes;
    if (!copies.empty())
        text += "\r\rWorking copies of files:" + copies;
    if (!others.empty())
        text += "\r\rOther working files:" + others;
    text += "\r\rNothing listed has been deleted.  They are wave files: rename one to *.wav to open it, or delete it.";
    AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
}
