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
    BOOL OnInitDialog() override;

protected:
    // Fills the controls from the record.
    virtual void ShowFields() = 0;
    // The control's whole text as a number (a whole number for ReadInt). Other text is refused
    // with a message naming the field, the focus put back on it, and false returned.
    bool ReadInt(int id, const char* name, int& value);
    bool ReadFloat(int id, const char* name, float& value);
    std::string ReadText(int id, std::size_t most) const;
    void ShowInt(int id, long value);
    void ShowFloat(int id, double value, const char* format = "%6.2f");
    // Shows a refused value's message (application caption, stop icon); false.
    bool Refuse(const std::string& text);
    // One row of OnOK's table of checks: the field is refused when `refused`, with `message`.
    struct Check {
        bool refused;
        std::string message;
    };
    // Refuses with the first refused row, in the table's order; true when none is refused.
    bool Accept(std::initializer_list<Check> checks);
    // A value outside [low, high], its message formatted from the bounds ("%ld" pairs for
    // whole numbers, "%6.2f" pairs for fractional ones).
    static Check IntRange(long long value, long long low, long long high, const char* format);
    static Check FloatRange(double value, double low, double high, const char* format);
    // A frequency above 0 and at most the limit.
    Check Frequency(double f) const;
    static std::string Format(const char* format, ...);
    // The code of the checked radio of a group, or `keep` when none is checked.
    int CheckedCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int keep) const;
    void CheckCode(std::initializer_list<std::pair<int, int>> idsAndCodes, int code);

    void OnHelp() {}
    DECLARE_MESSAGE_MAP()

protected:
    int m_limit;
};

// A dialog that edits one record of the channel's settings.
template <class Record> class TRecordDialog : public CSigGenParamDialog {
public:
    TRecordDialog(UINT templateId, CWnd* parent, Record* record, int limit)
        : CSigGenParamDialog(templateId, parent, limit), m_record(record)
    {
    }

protected:
    Record* m_record;
};

class CNoiseBurst : public TRecordDialog<SigGenNoiseBurst> {
public:
    CNoiseBurst(CWnd* parent, SigGenNoiseBurst* record);
    void ShowFields() override;
    void OnOK() override;
};

class CTones : public TRecordDialog<SigGenTones> {
public:
    CTones(CWnd* parent, SigGenTones* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CToneBurst : public TRecordDialog<SigGenToneBurst> {
public:
    CToneBurst(CWnd* parent, SigGenToneBurst* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CIMDtones : public TRecordDialog<SigGenImdTones> {
public:
    CIMDtones(CWnd* parent, SigGenImdTones* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CFreqSweep : public TRecordDialog<SigGenFreqSweep> {
public:
    CFreqSweep(CWnd* parent, SigGenFreqSweep* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CLevelSweep : public TRecordDialog<SigGenLevelSweep> {
public:
    CLevelSweep(CWnd* parent, SigGenLevelSweep* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CSawtooth : public TRecordDialog<SigGenSawtooth> {
public:
    CSawtooth(CWnd* parent, SigGenSawtooth* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CTriangular : public TRecordDialog<SigGenTriangular> {
public:
    CTriangular(CWnd* parent, SigGenTriangular* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CSquare : public TRecordDialog<SigGenSquare> {
public:
    CSquare(CWnd* parent, SigGenSquare* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CPulse : public TRecordDialog<SigGenPulse> {
public:
    CPulse(CWnd* parent, SigGenPulse* record, int limit);
    void ShowFields() override;
    void OnOK() override;
};

class CUserWaveDialog : public TRecordDialog<SigGenUserWave> {
public:
    // waveFolder: the frame's wave folder (260 characters), where Pick starts and which it
    // updates; may be null.
    CUserWaveDialog(CWnd* parent, SigGenUserWave* record, char* waveFolder);
    void ShowFields() override;
    void OnOK() override;

private:
    void OnPick();
    DECLARE_MESSAGE_MAP()

    char* m_waveFolder;
};

class CDTMF : public TRecordDialog<SigGenDtmf> {
public:
    CDTMF(CWnd* parent, SigGenDtmf* record);
    void ShowFields() override;
    void OnOK() override;
};

class CFreqStep : public TRecordDialog<SigGenFreqStep> {
public:
    CFreqStep(CWnd* parent, SigGenFreqStep* record, int limit);
    void ShowFields() override;
    void OnOK() override;
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
