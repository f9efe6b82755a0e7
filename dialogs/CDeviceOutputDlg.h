// "Output": the device that plays wave files and the signal generator (the KDR-5200's D/A
// output or a sound card) and the generator's rate, channels, sample width, levels and level
// units, on the sheet's working copies.
#pragma once

#include "dialogs/CSheetPage.h"
#include "records/OutputDeviceSettings.h"

#include <string>

class TUsbDevice;

class CDeviceOutputDlg : public CSheetPage {
public:
    CDeviceOutputDlg();

    // Set by the sheet.
    INT* m_OutputDeviceIndex = nullptr;
    DWORD* m_SoundCardIndex = nullptr;
    BYTE* m_UseSoundCard = nullptr;
    OutputDeviceSettings* m_Output = nullptr;
    TUsbDevice* m_Device = nullptr; // the frame's output device object; none: no device listed

    BOOL OnInitDialog() override;
    void Fill() override;
    void Defaults() override;
    bool ValidateAndStore() override;
    void Copy(int, const BYTE[8]) override {}
    BOOL OnDeviceChange(UINT eventType, DWORD_PTR data);
    // Why a level in a unit is refused for a device of the given full scale (volts peak), or
    // "" when it is accepted.
    static std::string LevelRefusal(DWORD unit, double fullScale, double level);

protected:
    bool OffersCopy() const override { return false; }

private:
    bool SoundCardChosen() const;
    void FillDeviceLists();
    void ReadCapabilities();
    void WriteNotes();
    void FillFormat();
    void FillLevels();
    void FitLevels();
    void Redo();
    void OnSideClicked();
    void OnListChanged();
    void OnChannelsChanged();
    DECLARE_MESSAGE_MAP()

    // The chosen device's capabilities.
    int m_maxRate = 50000;
    int m_maxChannels = 1;
    double m_fullScale = 10.0;
    bool m_bits16 = true, m_bits24 = false, m_bits32 = false;
    char m_deviceName[256] = {};
    bool m_busy = false;
    int m_deviceCount = 0;
    int m_soundCount = 0;
};
