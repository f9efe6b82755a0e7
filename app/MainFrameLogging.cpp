// Data logging: per input channel and per composite channel a tab-separated text file of the
// chosen measures, one row per processed block or per interval. The files open with logging
// (and with each run while it is on) and close with logging off, at the end of a run and with
// the frame.
#include "app/CMainFrame.h"
#include "app/CToolbar2.h"
#include "dsp/SpectralData.h"
#include "platform/core/MessageBox.h"
#include "records/CommonRoutines.h"
#include "utilities/CDataLoggingMainDlg.h"
#include "utilities/CLeqAnalysisView.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ctime>
#include <string>

namespace {
constexpr int kItems = DataLoggingSettings::kDataItems;
constexpr int kLeqItem = 11;

const char* const kItemHeads[] = {
    "Peak Freq", "Peak Level", "Total Power Flat", "Total Power A", "Total Power B", "Total Power C", "THD", "THD+N",
    "IMD", "SNR", "SINAD", "LeqT\tLeq\tLsel\tLpk\tLmax\tLmin\tL10\tL50\tL90"};
const char* const kMarkedTotalHeads[] = {"Marked Total Power Flat", "Marked Total Power A", "Marked Total Power B",
                                         "Marked Total Power C"};

// A number as logged: printf-formatted, with the locale's decimal comma.
std::string Number(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    IsDecimalComma(text, static_cast<int>(std::strlen(text)));
    return text;
}

// A distortion or noise measure: "N/A" in its column when there is nothing to measure.
std::string Measure(std::optional<float> value)
{
    return value ? Number("%f", *value) : std::string("N/A");
}

std::string TimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d_%02d_%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

// The bins between markers 1 and 2, lower first; false when both fall into one bin.
bool MarkedRange(const SpectralData& e, const MarkerSettings& m, int& lo, int& hi)
{
    lo = e.FrequencyToBin(m.Freq[0]);
    hi = e.FrequencyToBin(m.Freq[1]);
    if (lo == hi)
        return false;
    if (lo > hi)
        std::swap(lo, hi);
    return true;
}

template <class Fn>
std::string JoinBins(int lo, int hi, Fn fn, const char* separator = "\t")
{
    std::string out;
    for (int b = lo; b <= hi; ++b) {
        if (b > lo)
            out += separator;
        out += fn(b);
    }
    return out;
}
} // namespace

// ---- Menu -------------------------------------------------------------------------------

void CMainFrame::OnDataLoggingOn()
{
    // Turning logging on starts a session: closed files are named and opened afresh.
    auto fresh = [](DataLoggingSettings& rec) {
        if (rec.LogFile == nullptr)
            rec.LogFilePath[0] = '\0';
    };
    for (DataLoggingSettings& rec : Settings.Logging.Channel)
        fresh(rec);
    for (DataLoggingSettings& rec : Settings.Logging.Composite)
        fresh(rec);
    Settings.Logging.IsLogging = 1;
    OpenLogFiles();
    RefreshUtilityButtons();
}

void CMainFrame::OnDataLoggingOff()
{
    Settings.Logging.IsLogging = 0;
    CloseLogFiles();
    RefreshUtilityButtons();
}

// ---- Files ------------------------------------------------------------------------------

void CMainFrame::OpenLogFiles()
{
    DataLoggingBlock& log = Settings.Logging;
    if (!log.IsLogging)
        return;
    const std::string folder = Settings.Paths.txt;
    const std::string stamp = log.FilenameFormat == 1 ? TimeStamp() : std::string();
    std::string failed;
    auto open = [&](DataLoggingSettings& rec, const std::string& name) {
        if (rec.LogFile != nullptr)
            return; // already open (logging was turned on before the run)
        // The files close at the end of each run; the next run of the same logging session
        // goes on in the same file under its one header instead of overwriting the last run.
        const bool resumed = rec.LogFilePath[0] != '\0';
        std::string path = rec.LogFilePath;
        if (!resumed) {
            path = folder + "/Channel_" + name;
            if (log.FilenameFormat == 1)
                path += "_" + stamp;
            path += ".txt";
            CopyField(rec.LogFilePath, path.c_str());
        }
        rec.HeaderPending = resumed ? 0 : log.IncludeHeaderFlag;
        rec.LogFile = std::fopen(path.c_str(), log.OverwriteFlag && !resumed ? "w" : "a");
        rec.LastRowTime = 0.0f;
        rec.NextRowTime = -1.0f;
        if (rec.LogFile == nullptr) {
            failed += "\n" + path + " (" + std::strerror(errno) + ")";
            rec.LogFilePath[0] = '\0'; // the next attempt starts the file afresh
        }
    };
    for (int ch = 0; ch < kChannels; ++ch) {
        const bool available = Settings.OpMode == 2 ? Settings.Files[ch].File != nullptr
                                                    : Settings.Device.Channels[ch].bIsEnabled != 0;
        if (available && log.Channel[ch].Enable)
            open(log.Channel[ch], std::to_string(ch));
    }
    for (int k = 0; k < kComposites; ++k)
        if (Settings.Composite[k].bIsEnabled && log.Composite[k].Enable)
            open(log.Composite[k], std::string(1, GetChannelLetter(k)));
    // The other channels log all the same; the user learns which files will stay empty.
    if (!failed.empty())
        AfxMessageBox("Unable to open the data logging file(s):" + failed, MB_OK | MB_ICONEXCLAMATION);
}

void CMainFrame::CloseLogFiles()
{
    std::string failed;
    auto close = [&](DataLoggingSettings& rec) {
        if (rec.LogFile != nullptr) {
            // Rows still buffered are written here; a failure now loses them.
            if (std::fclose(rec.LogFile) != 0)
                failed += std::string("\n") + rec.LogFilePath;
            rec.LogFile = nullptr;
        }
    };
    for (DataLoggingSettings& rec : Settings.Logging.Channel)
        close(rec);
    for (DataLoggingSettings& rec : Settings.Logging.Composite)
        close(rec);
    if (!failed.empty())
        AfxMessageBox("Unable to write the data logging file(s):" + failed, MB_OK | MB_ICONEXCLAMATION);
}

// ---- Items ------------------------------------------------------------------------------

bool CMainFrame::GetLogItemName(int channel, bool composite, int item, std::string& out) const
{
    out.clear();
    if (item < 0 || item >= kItems)
        return false;
    if (item <= kLeqItem) {
        out = kItemHeads[item];
        return true;
    }
    if (item >= 15 && item <= 22) {
        out = "Marker " + std::to_string(item - 14) + " Level";
        return true;
    }
    switch (item) {
    case 23: out = "Marked Peak Freq"; return true;
    case 24: out = "Marked Peak Level"; return true;
    case 25: case 26: case 27: case 28: out = kMarkedTotalHeads[item - 25]; return true;
    case 32: out = "RPM"; return true;
    default: break;
    }
    // Spectra: the bin frequencies.
    SpectralData* e = composite ? (channel >= 0 && channel < kComposites ? CompositeSpectral[channel][2] : nullptr)
                                : (channel >= 0 && channel < kChannels ? Spectral[channel] : nullptr);
    if (e == nullptr)
        return false;
    const MarkerSettings& m = composite ? Settings.CompositeMarkers[channel] : Settings.Markers[channel];
    int lo = e->GetFirstBin();
    int hi = e->GetLastBin();
    const bool marked = item == 29 || item == 30 || item == 31 || item == 34;
    if (marked && !MarkedRange(*e, m, lo, hi))
        return false;
    char text[32];
    auto freq = [&](int b) {
        std::snprintf(text, sizeof text, "%6.3f", static_cast<double>(e->GetBinFrequency(static_cast<UINT>(b))));
        return std::string(text);
    };
    const bool complexPairs = item == 33 || item == 34;
    out = JoinBins(lo, hi, freq, complexPairs ? "\t\t" : "\t");
    // Each frequency heads a real and an imaginary column: the last pair's second column
    // needs its field too, or every later heading slips one column left of its values.
    if (complexPairs)
        out += "\t";
    return true;
}

bool CMainFrame::FormatLogValue(int channel, float time, bool composite, int item, std::string& out) const
{
    out.clear();
    if (item < 0 || item >= kItems)
        return false;
    if (item == 32) {
        out = Number("%6.2f", GetTachometerValue(1, time));
        return true;
    }
    if (item == kLeqItem) {
        float r[TLeqCalc::kResults];
        // The header names nine Leq columns; empty fields keep the later columns under theirs.
        const std::string rest(TLeqCalc::kResults - 1, '\t');
        if (!composite && LeqView == nullptr) {
            out = "Leq Utility is not open" + rest;
            return true;
        }
        if (!composite && LeqView->GetResults(channel, r)) {
            for (int i = 0; i < TLeqCalc::kResults; ++i)
                out += (i ? "\t" : "") + Number("%6.2f", r[i]);
            return true;
        }
        out = rest;
        return true;
    }
    SpectralData* e = composite ? (channel >= 0 && channel < kComposites ? CompositeSpectral[channel][2] : nullptr)
                                : (channel >= 0 && channel < kChannels ? Spectral[channel] : nullptr);
    if (e == nullptr)
        return false;
    const MarkerSettings& m = composite ? Settings.CompositeMarkers[channel] : Settings.Markers[channel];
    int lo = e->GetFirstBin();
    int hi = e->GetLastBin();
    if ((item >= 23 && item <= 31) || item == 34) {
        if (!MarkedRange(*e, m, lo, hi))
            return false;
    }
    const auto amp = static_cast<WORD>(e->GetAmpScaleType());
    auto peak = [&](bool wantFrequency) {
        float f = 0.0f;
        float l = 0.0f;
        e->FindRankedPeak(lo, hi, &f, &l, 0);
        return Number("%f", wantFrequency ? f : l);
    };
    auto level = [&](int b) { return Number("%f", e->GetLevel(b)); };
    auto hold = [&](int b) { return Number("%f", e->GetPeakHoldValue(static_cast<UINT>(b))); };
    auto phase = [&](int b) { return Number("%f", e->GetPhaseDegrees(b)); };
    auto complex = [&](int b) {
        float v[2] = {};
        e->GetComplexValue(v, b);
        return Number("%f", v[0]) + "\t" + Number("%f", v[1]);
    };
    switch (item) {
    case 0: case 23: out = peak(true); return true;
    case 1: case 24: out = peak(false); return true;
    case 2: case 3: case 4: case 5:
        out = Number("%f", e->TotalLevel(static_cast<UINT>(lo), static_cast<UINT>(hi), amp, item - 2));
        return true;
    case 25: case 26: case 27: case 28:
        out = Number("%f", e->TotalLevel(static_cast<UINT>(lo), static_cast<UINT>(hi), amp, item - 25));
        return true;
    case 6: out = Measure(e->ComputeThd()); return true;
    case 7: out = Measure(e->ComputeThdN()); return true;
    case 8: out = Measure(e->ComputeImd()); return true;
    case 9: out = Measure(e->ComputeSnr()); return true;
    case 10: out = Measure(e->ComputeSinad()); return true;
    case 12: case 29: out = JoinBins(lo, hi, level); return true;
    case 13: case 30: out = JoinBins(lo, hi, hold); return true;
    case 14: case 31: out = JoinBins(lo, hi, phase); return true;
    case 33: case 34: out = JoinBins(lo, hi, complex); return true;
    default: break;
    }
    if (item >= 15 && item <= 22) {
        out = Number("%f", e->GetLevel(e->FrequencyToBin(m.Freq[item - 15])));
        return true;
    }
    return false;
}

// ---- Rows -------------------------------------------------------------------------------

namespace {
// Interval logging: whether a row is due at t. Across midnight the stored times move back a
// day, so rows keep coming. Before the first row the wait began at NextRowTime - IntervalSecs:
// a row time before that (beyond rounding) means the day has turned too, or the rows would
// wait for the same time on the next day.
bool RowDue(DataLoggingSettings& rec, float t)
{
    if (!rec.IntervalFlag)
        return true;
    if (rec.NextRowTime < 0.0f)
        rec.NextRowTime = t + rec.IntervalSecs;
    if (rec.NextRowTime > t) {
        if (rec.LastRowTime > t || rec.NextRowTime - rec.IntervalSecs > t + 1.0f) {
            rec.LastRowTime -= 86400.0f;
            rec.NextRowTime -= 86400.0f;
        }
        return false;
    }
    rec.NextRowTime += rec.IntervalSecs;
    rec.LastRowTime = t;
    return true;
}
} // namespace

static void WriteRow(CMainFrame& frame, DataLoggingSettings& rec, int channel, bool composite, float t)
{
    if (!RowDue(rec, t) || rec.LogFile == nullptr)
        return;
    const DataLoggingBlock& log = frame.Settings.Logging;
    std::string line;
    if (rec.HeaderPending) {
        std::string header = log.IncludeTimeStampFlag ? "Time\t" : "";
        bool first = true;
        for (int item = 0; item < kItems; ++item) {
            std::string name;
            if (!rec.DataItem[item] || !frame.GetLogItemName(channel, composite, item, name))
                continue;
            header += (first ? "" : "\t") + name;
            first = false;
        }
        line += header + "\n";
        rec.HeaderPending = 0;
    }
    std::string row = log.IncludeTimeStampFlag ? std::string(FormatTime(t, true, true)) + "\t" : "";
    bool first = true;
    for (int item = 0; item < kItems; ++item) {
        std::string value;
        if (!rec.DataItem[item] || !frame.FormatLogValue(channel, t, composite, item, value))
            continue;
        row += (first ? "" : "\t") + value;
        first = false;
    }
    line += row + "\n";
    // Each row goes to the system at once: a viewer opened during the run sees it, and a
    // crash loses none that were measured.
    if (std::fputs(line.c_str(), rec.LogFile) < 0 || std::fflush(rec.LogFile) != 0 || std::ferror(rec.LogFile)) {
        // A full disk or a vanished folder: say so once and stop logging this channel.
        const std::string path = rec.LogFilePath;
        std::fclose(rec.LogFile);
        rec.LogFile = nullptr;
        AfxMessageBox("Unable to write the data logging file \"" + path + "\".  Logging of this channel has stopped.",
                      MB_OK | MB_ICONEXCLAMATION);
    }
}

void CMainFrame::WriteLogRows(int channel, float time)
{
    if (!Settings.Logging.IsLogging || channel < 0 || channel >= kChannels || !Settings.Logging.Channel[channel].Enable)
        return;
    WriteRow(*this, Settings.Logging.Channel[channel], channel, false, time);
}

void CMainFrame::WriteCompositeLogRows(int composite, float time)
{
    if (!Settings.Logging.IsLogging || composite < 0 || composite >= kComposites ||
        !Settings.Logging.Composite[composite].Enable)
        return;
    WriteRow(*this, Settings.Logging.Composite[composite], composite, true, time);
}

// ---- Setup ------------------------------------------------------------------------------

void CMainFrame::OnDataLoggingSetup()
{
    OnDataLoggingOff();
    DataLoggingBlock work = Settings.Logging;
    bool inputs[kChannels] = {};
    bool composites[kComposites] = {};
    for (int ch = 0; ch < kChannels; ++ch)
        inputs[ch] = Settings.OpMode == 2 ? Settings.Files[ch].File != nullptr : Settings.Device.Channels[ch].bIsEnabled != 0;
    for (int k = 0; k < kComposites; ++k)
        composites[k] = Settings.Composite[k].bIsEnabled != 0;
    CDataLoggingMainDlg sheet(this, &work, inputs, composites, Settings.Paths.txt);
    if (sheet.DoModal() != IDOK)
        return;
    Settings.Logging = work;
    if (Settings.Logging.IsLogging ||
        AfxMessageBox("Enable Data Logging?", MB_YESNO | MB_ICONQUESTION) == IDYES)
        OnDataLoggingOn();
}
