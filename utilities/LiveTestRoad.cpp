#include "utilities/LiveTestRoad.h"

#include "acquisition/TSoundOutput.h"
#include "acquisition/TUsbDevice.h"
#include "records/UsbDeviceSettings.h"
#include "platform/core/MessageBox.h"
#include "platform/ui/Wnd.h"
#include "wave/TWaveData.h"

#include <algorithm>
#include <new>
#include <vector>

void AskFrameForDeviceSettings(const LiveTestLinks& links, UINT request, WPARAM showSettings, int page)
{
    if (page == 0 && links.Setup().opMode == 2) {
        AfxMessageBox("The analyzer is currently in the Post Processing mode and the input device settings cannot "
                      "be changed.  Please change to the Realtime mode in order to adjust the device settings.",
                      MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (links.frame)
        links.frame->SendMessage(request, showSettings, page);
}

void LiveTestRoad::EnableFrame(bool enable)
{
    if (m_links.frame && m_links.frame->GetSafeHwnd())
        m_links.frame->EnableWindow(enable ? TRUE : FALSE);
}

void LiveTestRoad::DeleteSoundOutput()
{
    TSoundOutput* output = m_links.SoundOutput();
    if (!output || !m_links.replaceSoundOutput)
        return;
    output->Stop();
    m_links.replaceSoundOutput(nullptr);
}

bool LiveTestRoad::PlayThroughSoundCard(const TWaveData& signal)
{
    if (!m_links.replaceSoundOutput)
        return false;
    DeleteSoundOutput();
    std::unique_ptr<TSoundOutput> owned(new (std::nothrow) TSoundOutput(static_cast<int>(m_links.Setup().soundCardIndex)));
    // The frame's slot holds it even when it fails to open, so that the test's end deletes it.
    TSoundOutput* output = owned.get();
    m_links.replaceSoundOutput(std::move(owned));
    const TPcmFormat f = signal.GetFormat();
    if (!output || output->IsError() ||
        !output->SetFormatEx(f.Channels, f.SampleRate, f.BytesPerSample, f.BitsPerSample, f.MaxValue, f.MinValue) ||
        !output->Open(m_owner, false)) {
        AfxMessageBox("Failure opening Sound Card for output.", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!output->Write(signal.GetData(), signal.GetDataBytes(), 0, false, nullptr) || !output->Restart()) {
        AfxMessageBox("Failure Playing signal through Sound Card", MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

bool LiveTestRoad::PlayThroughDeviceOutput(const TPcmFormat& format)
{
    TUsbDevice* device = OutputDevice();
    if (device) {
        device->StopOutput();
        device->CloseDevice();
    }
    const INT index = m_links.Setup().outputDeviceIndex;
    if (!device || index < 0) {
        AfxMessageBox("There are no Durnex KDR-5200 Series data acquisition devices available on your system for output.",
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!device->OpenDevice(m_owner, index, 1)) {
        AfxMessageBox("Failure opening the Durnex KDR-5200 Series data acquisition device for output.  Please check "
                      "the cabling and retry.",
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    // The KDR-5200 has no analog output: opening it for output always fails.
    if (!device->OpenOutput(static_cast<int>(format.SampleRate), format.BitsPerSample, format.Channels)) {
        AfxMessageBox("Failure Configuring KDR5200 Output subsystem.", MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

DWORD LiveTestRoad::InputRate() const
{
    DWORD rate = m_links.Setup().device.SamplingRate;
    if (const TUsbDevice* usb = InputDevice())
        rate = std::clamp<DWORD>(rate, static_cast<DWORD>(usb->GetMinSamplingRate()),
                                 static_cast<DWORD>(usb->GetMaxSamplingRate()));
    return rate;
}

int LiveTestRoad::InputChannelCount(int fallback)
{
    TUsbDevice* device = InputDevice();
    const INT index = m_links.Setup().inputDeviceIndex;
    if (!device || index < 0)
        return fallback;
    if (device->IsOpen())
        return device->GetChannelCount();
    if (!device->IsPresent() || !device->OpenDevice(m_owner, index, 1))
        return fallback;
    const int count = device->GetChannelCount();
    // A run or a test opens it again for itself.
    device->CloseDevice();
    return count;
}

bool LiveTestRoad::OpenInputDevice()
{
    TUsbDevice* device = InputDevice();
    const INT index = m_links.Setup().inputDeviceIndex;
    if (!device || index < 0 || !device->IsPresent()) {
        AfxMessageBox("There are no Durnex KDR-5200 Series data acquisition devices available on your system for input.",
                      MB_OK | MB_ICONSTOP);
        return false;
    }
    if (!device->IsOpen() && !device->OpenDevice(m_owner, index, 1)) {
        AfxMessageBox("Failure opening data acquisition module for input", MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

bool LiveTestRoad::StartInput(const UsbDeviceSettings& settings, int largestBlock)
{
    TUsbDevice* device = InputDevice();
    if (!device)
        return false;
    if (!device->SetDeviceConfigurationAD(settings, largestBlock, false, 0)) {
        AfxMessageBox("Failure setting the input configuration.  It may already be in use by another program",
                      MB_OK | MB_ICONSTOP);
        device->CloseDevice();
        return false;
    }
    if (!device->StartInput()) {
        device->CloseDevice();
        return false;
    }
    return true;
}

bool LiveTestRoad::PlaybackDone() const
{
    const TSoundOutput* output = m_links.SoundOutput();
    return !output || output->AllHeadersDone();
}

void LiveTestRoad::StopDevices()
{
    if (TUsbDevice* output = OutputDevice())
        output->StopOutput();
    if (TUsbDevice* input = InputDevice())
        input->StopInput();
    if (m_links.frame && m_links.frame->GetSafeHwnd())
        m_links.frame->SendMessage(m_request, m_deviceStopped, 0);
}

void LiveTestRoad::CloseOutputDevice()
{
    if (TUsbDevice* output = OutputDevice())
        output->CloseDevice();
}

LiveTestRoad::Read LiveTestRoad::ReadChannel(int channel, int count, TWaveData& capture, int target)
{
    TUsbDevice* device = InputDevice();
    if (!device || count <= 0)
        return device ? Read::Ok : Read::Unreadable;
    std::vector<int> samples;
    try {
        samples.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return Read::NoMemory;
    }
    // Read by sample number from the start of the run: a ring that has been overrun says so
    // instead of handing over a capture with its beginning missing.
    if (device->ReadSamples(channel, 0, count, samples.data()) != TUsbDevice::RingRead::Ok) {
        AfxMessageBox("The capture could not be read from the device's buffer; nothing was analysed.",
                      MB_OK | MB_ICONSTOP);
        return Read::Unreadable;
    }
    // The device's 24-bit values as samples of the capture's width.
    const int shift = 24 - capture.GetFormat().BitsPerSample;
    for (int i = 0; i < count; ++i) {
        const int v = samples[static_cast<std::size_t>(i)];
        if (!capture.SetSample(shift >= 0 ? v >> shift : v * (1 << -shift), static_cast<DWORD>(i), target))
            return Read::NotStored;
    }
    return Read::Ok;
}
