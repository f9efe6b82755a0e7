// The generator's parameter dialogs, one per waveform that has parameters, and the signal length
// question asked before a signal is saved. They are one family: each edits its part of a
// channel's SigGenChannelSettings in place, and only on OK: OnOK checks the fields in a fixed
// order, shows the first refusal and stays open, or stores every field at once and closes.
// Cancel leaves the record as it was; Help does nothing.
//
// "Limit" is the frequency limit the generator hands over: its output rate / 2.
//
// Threads: user-interface thread only.
#pragma once

#include "records/SigGenChannelSettings.h"
#include "platform/ui/Dialog.h"

#include <string>

class CSigGenParamDialog : public CDialog {
public:
    CSigGenParamDialog(UINT templateId, CWnd* parent, int limit);

protected:
    // The control's text read as the C library's integer and float parsers read it.
    int ReadInt(int id) const;
    float ReadFloat(int id) const;
    std::string ReadText(int id, std::size_t most) const;
    void ShowInt(int id, long value);
    void ShowFloat(int id, double value, const char* format = "%6.2f");
    // Shows a refused value's message (application caption, stop icon); false.
    bool Refuse(const std::string& text);
    static std::string Format(const char* format, ...);
    // The code of the checked radio of a group, or `keep` when none is checked.
    int CheckedCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int keep) const;
    void CheckCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int code);

    void OnHelp() {}
    DECLARE_MESSAGE_MAP()

protected:
    int m_limit;
};

class CNoiseBurst : public CSigGenParamDialog {
public:
    CNoiseBurst(CWnd* parent, SigGenNoiseBurst* record);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenNoiseBurst* m_record;
};

class CTones : public CSigGenParamDialog {
public:
    CTones(CWnd* parent, SigGenTones* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenTones* m_record;
};

class CToneBurst : public CSigGenParamDialog {
public:
    CToneBurst(CWnd* parent, SigGenToneBurst* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenToneBurst* m_record;
};

class CIMDtones : public CSigGenParamDialog {
public:
    CIMDtones(CWnd* parent, SigGenImdTones* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenImdTones* m_record;
};

class CFreqSweep : public CSigGenParamDialog {
public:
    CFreqSweep(CWnd* parent, SigGenFreqSweep* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenFreqSweep* m_record;
};

class CLevelSweep : public CSigGenParamDialog {
public:
    CLevelSweep(CWnd* parent, SigGenLevelSweep* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenLevelSweep* m_record;
};

class CSawtooth : public CSigGenParamDialog {
public:
    CSawtooth(CWnd* parent, SigGenSawtooth* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenSawtooth* m_record;
};

class CTriangular : public CSigGenParamDialog {
public:
    CTriangular(CWnd* parent, SigGenTriangular* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenTriangular* m_record;
};

class CSquare : public CSigGenParamDialog {
public:
    CSquare(CWnd* parent, SigGenSquare* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenSquare* m_record;
};

class CPulse : public CSigGenParamDialog {
public:
    CPulse(CWnd* parent, SigGenPulse* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenPulse* m_record;
};

class CUserWaveDialog : public CSigGenParamDialog {
public:
    // waveFolder: the frame's wave folder (260 characters), where Pick starts and which it
    // updates; may be null.
    CUserWaveDialog(CWnd* parent, SigGenUserWave* record, char* waveFolder);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnPick();
    DECLARE_MESSAGE_MAP()

    SigGenUserWave* m_record;
    char* m_waveFolder;
};

class CDTMF : public CSigGenParamDialog {
public:
    CDTMF(CWnd* parent, SigGenDtmf* record);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenDtmf* m_record;
};

class CFreqStep : public CSigGenParamDialog {
public:
    CFreqStep(CWnd* parent, SigGenFreqStep* record, int limit);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SigGenFreqStep* m_record;
};

// "Signal Length Options": how many copies of the generated signal a saved file holds.
class CSaveSignalLengthDlg : public CDialog {
public:
    CSaveSignalLengthDlg(CWnd* parent, double signalSeconds, DWORD* multiplier);
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    double m_seconds;
    DWORD* m_multiplier;
};
