// Recorder runs: each recorded channel's samples go from the device's ring into the channel's
// recording file; a disk file that passes the configured size is saved under a time-stamped
// name and a fresh one takes its place.
#include "app/CMainFrame.h"

#include "acquisition/TUsbDevice.h"
#include "platform/core/MessageBox.h"
#include "plots/TSeriesPlot.h"
#include "records/CommonRoutines.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <new>
#include <vector>

namespace {
constexpr WORD kRecorder = 1;
constexpr int kPiece = 256;

// The channel's calibration in both slots when it is in use and wanted in files; else none.
void GiveRecordingCalibration(TWaveFile& file, const ChannelCalibration& calibration, bool include)
{
    if (calibration.IsEnabled == 0 || !include) {
        file.ResetCalibration();
        return;
    }
    WaveCalibrationBlock block;
    file.GetCalibrationBlock(block);
    block.Channel[0] = calibration;
    block.Channel[1] = calibration;
    file.TWaveData::SetCalibration(block);
}

TWaveFile* NewRecordingFile(const TPcmFormat& format, const FileIOSettings& io, const char* folder)
{
    TWaveFile* file = io.WaveFileMode == 0
                          ? new (std::nothrow) TWaveFile(DWORD(std::min<double>(double(io.MaxRamRecordingTimeSecs) * format.SampleRate, 4.0e9)), format, folder)
                          : new (std::nothrow) TWaveFile(format, io.MakeBackup != 0, folder);
    if (file != nullptr && file->IsError()) {
        delete file;
        file = nullptr;
    }
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
    for (int ch = 0; ch < kChannels; ++ch) {
        ChannelFileState& f = Settings.Files[ch];
        if (device.Channels[ch].bIsEnabled == 0 || f.IsActive == 0)
            continue;
        ChannelCalibration& cal = Settings.Calibration[ch];
        if (f.File == nullptr) {
            const TPcmFormat& format = Settings.Processing[ch].SampleFormat;
            TWaveFile* file = NewRecordingFile(format, io, Settings.Paths.Wav);
            if (file == nullptr) {
                AfxMessageBox("Failure creating temporary wave file.  Please check that the wave file path is valid and is "
                              "not write protected",
                              MB_OK | MB_ICONSTOP);
                f.FilePath[0] = '\0';
                f.IsActive = 0;
                f.FileChannel = 0;
                continue;
            }
            file->SetFormat(format);
            GiveRecordingCalibration(*file, cal, io.IncludeCalibrationData != 0);
            f.File = file;
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
        if (f.IsActive != 0)
            ++recorded;
    }
    if (recorded == 0) {
        AfxMessageBox("Recording must be enabled for at least one device channel.", MB_OK | MB_ICONSTOP);
        OpenChannelFiles();
        return false;
    }
    RecordedSamples = 0;
    UpdateTitle();
    return true;
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
    TWaveFile* file = f.File;
    const FileIOSettings& io = Settings.FileIO;
    const TPcmFormat format = file->GetFormat();
    if (file->IsUntitled())
        file->SetFileName(RecordingFileName(channel));
    GiveRecordingCalibration(*file, Settings.Calibration[channel], io.IncludeCalibrationData != 0);
    if (!file->SaveStreamedAs())
        return false; // the file stays the channel's, unsaved, for the user to save
    TWaveFile* next = NewRecordingFile(format, io, Settings.Paths.Wav);
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->SetWaveFile(next, 0);
    delete file;
    f.File = next;
    f.FilePath[0] = '\0';
    if (TimeSeriesPlot[channel] != nullptr)
        TimeSeriesPlot[channel]->UpdateLayout();
    if (next == nullptr)
        return false;
    GiveRecordingCalibration(*next, Settings.Calibration[channel], io.IncludeCalibrationData != 0);
    return true;
}

void CMainFrame::WriteRecordingBlock()
{
    if (Settings.OpMode != kRecorder || !AcquisitionRunning)
        return;
    WriteRecordedSamples(false);
}

void CMainFrame::WriteRecordedSamples(bool final)
{
    if (Settings.OpMode != kRecorder || InputDevice == nullptr || IsRecordingHeldForTrigger() || RecordingHalted)
        return;
    std::vector<int> piece;
    try {
        piece.resize(kPiece);
    } catch (const std::bad_alloc&) {
        return;
    }
    const FileIOSettings& io = Settings.FileIO;
    char text[300];
    // Everything whole that has arrived since the last tick: 256 samples a tick would fall
    // behind the device. Samples are read by their absolute number, so a position can neither
    // leave the ring nor be read twice. At Stop the device no longer writes, and the rest, a
    // piece shorter than 256, is taken too.
    const int most = std::max(1, InputDevice->GetRingLength() / kPiece) + (final ? 1 : 0);
    for (int n = 0; n < most; ++n) {
        int count = kPiece;
        if (final)
            count = int(std::clamp<long long>(InputDevice->GetSampleCounter() - RecordedSamples, 0, kPiece));
        if (count == 0)
            return;
        bool wrote = false;
        for (int ch = 0; ch < kChannels; ++ch) {
            ChannelFileState& f = Settings.Files[ch];
            if (Settings.Device.Channels[ch].bIsEnabled == 0 || f.IsActive == 0 || f.File == nullptr)
                continue;
            const TUsbDevice::RingRead r = InputDevice->ReadSamples(ch, RecordedSamples, count, piece.data());
            if (r == TUsbDevice::RingRead::NotYet)
                return;
            if (r == TUsbDevice::RingRead::Overrun) {
                RecordingHalted = true;
                OnStop();
                AfxMessageBox("The recording could not keep up with the device and samples were lost.  Recording has "
                              "stopped; the samples recorded before the gap are kept.",
                              MB_OK | MB_ICONSTOP);
                return;
            }
            if (r != TUsbDevice::RingRead::Ok)
                continue;
            if (!f.File->WriteFloatSamples(piece.data(), DWORD(count))) {
                // Nothing more is written, Stop's last writes neither: a piece some files took
                // and others refused would be written twice or leave a gap.
                RecordingHalted = true;
                OnStop();
                std::snprintf(text, sizeof text,
                              "The recording file of channel %d could not be written (the disk may be full).  Recording has "
                              "stopped; the samples recorded so far are kept.",
                              ch);
                AfxMessageBox(text, MB_OK | MB_ICONSTOP);
                return;
            }
            wrote = true;
            if (io.WaveFileMode == 1 && f.File->GetPositionBytes() > io.MaxDiskRecordingSizeBytes &&
                !SplitRecordingFile(ch)) {
                RecordingHalted = true;
                OnStop();
                std::snprintf(text, sizeof text,
                              "The full recording file of channel %d could not be saved in the wave folder, or no new one "
                              "could be made.  Recording has stopped.",
                              ch);
                AfxMessageBox(text, MB_OK | MB_ICONSTOP);
                return;
            }
        }
        if (!wrote)
            return;
        RecordedSamples += count;
    }
}
