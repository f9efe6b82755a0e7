// The frame's use of the acquisition device outside a run: the system check, and the wiring
// of the sound output into the device simulator's loopback source.
#include "app/CMainFrame.h"

#include "acquisition/CSystemCheckDlg.h"
#include "platform/sound/WaveOut.h"
#include "platform/usb/KdrSimulator.h"

void CMainFrame::OnSystemCheck()
{
    OnStop();
    CSystemCheckDlg dialog(this, InputDevice.get(), Settings.Device, &Settings.Calibration[0]);
    dialog.DoModal();
}

void CMainFrame::ConnectSoundLoopback()
{
    SetWaveOutTap([](const WaveOutTapBlock& block) {
        if (block.BlockAlign != 0)
            kdrsim::LoopbackPlay(block.Data, unsigned(block.Bytes / block.BlockAlign), block.Channels,
                                 block.BitsPerSample, unsigned(block.SamplesPerSec));
    });
}
