// The results windows and data logging through a post-process run of wave files written by
// sox, with the log files read back by Python's csv reader.
#include "FrameFixture.h"

#include "dsp/SpectralData.h"
#include "platform/usb/KdrSimulator.h"
#include "res/resource.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace frametest;

namespace {
// A 500 Hz tone at half scale with its second harmonic at a tenth of it: THD 10 %.
bool WriteToneWithHarmonic(const std::string& dir, const std::string& path, double seconds)
{
    const std::string s = std::to_string(seconds);
    const std::string cmd = "cd '" + dir + "' && sox -n -r 4000 -b 16 -c 1 f.wav synth " + s +
                            " sine 500 vol 0.5 && sox -n -r 4000 -b 16 -c 1 h.wav synth " + s +
                            " sine 1000 vol 0.05 && sox -m -v 1 f.wav -v 1 h.wav '" + path + "' && rm f.wav h.wav";
    return std::system(cmd.c_str()) == 0;
}

// The log file as Python's csv reader sees it, one line per row, fields joined by '|'.
std::vector<std::string> CsvRows(const std::string& log, const std::string& out)
{
    std::vector<std::string> rows;
    if (!Python("import csv\n"
                "rows = list(csv.reader(open('" + log + "', newline=''), delimiter='\\t'))\n"
                "open('" + out + "', 'w').write('\\n'.join('|'.join(r) for r in rows))\n"))
        return rows;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line))
        rows.push_back(line);
    return rows;
}

std::vector<std::string> Fields(const std::string& row)
{
    std::vector<std::string> out;
    std::stringstream s(row);
    std::string f;
    while (std::getline(s, f, '|'))
        out.push_back(f);
    if (!row.empty() && row.back() == '|')
        out.push_back("");
    return out;
}

class UtilityRun : public FrameFixture {
protected:
    TWaveFile* file = nullptr;

    // sine: the sox synth arguments of another signal than the tone with its harmonic.
    // written: tone.wav is already there.
    void Prepare(double seconds = 4.0, const std::string& sine = "", bool written = false)
    {
        ASSERT_NE(Start(), nullptr);
        frame->SetModePostProcess(false);
        if (written)
            ;
        else if (sine.empty())
            ASSERT_TRUE(WriteToneWithHarmonic(Data("wave"), Data("wave/tone.wav"), seconds));
        else
            ASSERT_EQ(std::system(("sox -n -r 4000 -b 16 -c 1 '" + Data("wave/tone.wav") + "' synth " +
                                   std::to_string(seconds) + " " + sine)
                                      .c_str()),
                      0);
        file = new TWaveFile(Data("wave/tone.wav"), 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[0].File.reset(file);
        ChannelProcessingSettings& p = frame->Settings.Processing[0];
        p.SampleFormat = file->GetFormat();
        p.FFTsize = 1024;
        p.DecimationRatio = 1;
        p.OverlapPercent = 50;
        p.SmoothingWindow = 6;
        frame->Settings.Calibration[0].IsEnabled = 0;
        CompositeChannelSettings& a = frame->Settings.Composite[0];
        a.bIsEnabled = 1;
        a.CompositeType = 0;
        a.IncludeInAverage[0] = 1;
        CopyField(frame->Settings.Paths.txt, Data("log").c_str());
    }

    void Run()
    {
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->PostProcessBusy);
        for (int i = 0; i < 1000 && frame->PostProcessBusy; ++i)
            frame->PostProcessStep();
        ASSERT_FALSE(frame->PostProcessBusy);
    }
};
} // namespace

TEST_F(UtilityRun, ResultWindowsShowTheKnownDistortionAndPeakOfEachChannel)
{
    Prepare();
    frame->OnUtilityTHD();
    frame->OnUtilityPeakFreq();
    frame->OnUtilityPeakAmp();
    ASSERT_NE(frame->THDView, nullptr);
    Run();

    CDataGrid* thd = frame->THDView->GetGrid();
    ASSERT_EQ(thd->GetRowCount(), 3); // header, channel 0, composite A
    EXPECT_STREQ(thd->GetCellText(0, 1), "THD %");
    EXPECT_EQ(std::string(thd->GetCellText(1, 0)), "0 Channel 0");
    EXPECT_NEAR(std::atof(thd->GetCellText(1, 1)), 10.0, 0.3);
    EXPECT_EQ(std::string(thd->GetCellText(2, 0)).substr(0, 1), "A");
    EXPECT_NEAR(std::atof(frame->PeakFreqView->GetGrid()->GetCellText(1, 1)), 500.0, 4000.0 / 1024);

    // The peak level window has a third column with each channel's amplitude label.
    CDataGrid* peak = frame->PeakAmpView->GetGrid();
    EXPECT_EQ(peak->GetColumnCount(), 3);
    EXPECT_STREQ(peak->GetCellText(1, 2), frame->Spectral[0]->GetAmplitudeLabel());

    // The copy is the table, a line a row.
    const std::string text = frame->THDView->ClipboardText();
    EXPECT_EQ(text.substr(0, 15), "Channel\tTHD %\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

    // The window can't be made narrower than its columns need, and snaps to whole rows.
    CAnalysisView* view = frame->THDView.get();
    view->MoveWindow(10, 10, 60, 131);
    AfxPumpMessages();
    RECT client{};
    view->GetClientRect(&client);
    const int h = view->GetRowHeight();
    EXPECT_GE(client.right, (h * 4 + 90) * 2);
    RECT outer{};
    view->GetWindowRect(&outer);
    EXPECT_EQ(client.bottom % h, 0) << client.bottom << " " << h << " outer " << outer.bottom - outer.top;
}

// THD and IMD from files numpy writes, read in the results windows: a tone between bins with
// its 2nd and 3rd harmonics (THD sqrt(1 %^2 + 0.5 %^2) = 1.118 %), 60 Hz and 1 kHz at 4:1 with
// four products (IMD 0.767 %), and one tone with a 5 % harmonic, which has no IMD.
TEST_F(UtilityRun, NumpyFilesReadTheirThdAndImdInTheWindows)
{
    struct Case {
        const char* parts; // (Hz, amplitude) pairs for numpy
        bool thd;
        double expected; // percent; 0: N/A
    };
    const Case cases[] = {
        {"(437.3, 0.5), (874.6, 0.005), (1311.9, 0.0025)", true, 1.118034},
        {"(60, 0.4), (1000, 0.1), (1060, 0.002), (940, 0.002), (1120, 0.001), (880, 0.001)", false,
         100 * std::sqrt(2 * 0.002 * 0.002 + 2 * 0.001 * 0.001) / std::sqrt(0.4 * 0.4 + 0.1 * 0.1)},
        {"(500, 0.5), (1000, 0.025)", false, 0.0},
    };
    bool started = false;
    int i = 0;
    for (const Case& c : cases) {
        const std::string name = Data("wave/tone" + std::to_string(i++) + ".wav");
        ASSERT_TRUE(Python(std::string(kNumpyPrelude) + "import wave, numpy as np\n"
                           "t = np.arange(4 * 4000) / 4000.0\n"
                           "x = sum(a * np.sin(2 * np.pi * f * t + 0.3 * f) for f, a in [" +
                           std::string(c.parts) +
                           "])\n"
                           "w = wave.open('" + name + "', 'wb')\n"
                           "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                           "v = np.round(x * 8388607).astype('<i4')\n"
                           "w.writeframes(b''.join(int(s).to_bytes(3, 'little', signed=True) for s in v))\n"
                           "w.close()\n"))
            << c.parts;
        if (!started) {
            std::filesystem::copy_file(name, Data("wave/tone.wav"));
            Prepare(4.0, "", true);
            frame->OnUtilityTHD();
            frame->OnUtilityIMD();
            ASSERT_NE(frame->IMDView, nullptr);
            started = true;
        } else {
            file = new TWaveFile(name, 0, false, Data("temp"));
            ASSERT_FALSE(file->IsError());
            frame->Settings.Files[0].File.reset(file);
        }
        Run();
        const std::string read = (c.thd ? frame->THDView : frame->IMDView)->GetGrid()->GetCellText(1, 1);
        if (c.expected == 0.0) {
            EXPECT_EQ(read, "N/A") << c.parts;
        } else {
            ASSERT_NE(read, "N/A") << c.parts;
            EXPECT_NEAR(20 * std::log10(std::atof(read.c_str()) / c.expected), 0.0, c.thd ? 1.0 : 0.5)
                << c.parts << ": " << read;
        }
    }
}

TEST_F(UtilityRun, TheTachometerRowReadsNotApplicable)
{
    Prepare(1.0);
    frame->OnUtilitySNR();
    Run();
    // No channel of this build is a tachometer, so every row carries a number.
    EXPECT_NE(std::string(frame->SNRView->GetGrid()->GetCellText(1, 1)), "N/A");
    EXPECT_EQ(frame->GetTachometerChannel(), -1);
    frame->OnUtilityRPM();
    EXPECT_EQ(frame->RPMView->ClipboardText(), std::string(frame->RPMView->GetGrid()->GetCellText(0, 0)) + "\tRPM\r\n");
}

// A 1 kHz tone at 4000 samples/s has every harmonic past the band: its THD can't be measured
// and says so in the window and the log, where a number near zero used to stand.
TEST_F(UtilityRun, AMeasureWithNothingToMeasureReadsNotApplicable)
{
    Prepare(2.0, "sine 1000 vol 0.5");
    frame->OnUtilityTHD();
    frame->OnUtilityTHDN();
    DataLoggingSettings& ch = frame->Settings.Logging.Channel[0];
    ch = DataLoggingSettings();
    ch.Enable = 1;
    ch.DataItem[6] = 1; // THD
    ch.DataItem[7] = 1; // THD+N
    frame->ExecuteCommand(57826); // Data Logging > On
    Run();
    EXPECT_STREQ(frame->THDView->GetGrid()->GetCellText(1, 1), "N/A");
    const std::string thdN = frame->THDNView->GetGrid()->GetCellText(1, 1);
    // 16-bit samples: quantisation noise about 98 dB below the tone.
    EXPECT_GT(std::atof(thdN.c_str()), 0.0) << thdN;
    EXPECT_LT(std::atof(thdN.c_str()), 0.01) << thdN;
    frame->ExecuteCommand(57827); // Off
    const auto rows = CsvRows(Data("log/Channel_0.txt"), Data("rows.txt"));
    ASSERT_GT(rows.size(), 2u);
    const auto last = Fields(rows.back());
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[1], "N/A");
    EXPECT_NEAR(std::atof(last[2].c_str()), std::atof(thdN.c_str()), 1e-3);
}

TEST_F(UtilityRun, LogFilesReadBackByPythonsCsvReader)
{
    Prepare();
    DataLoggingSettings& ch = frame->Settings.Logging.Channel[0];
    ch = DataLoggingSettings();
    ch.Enable = 1;
    ch.DataItem[0] = 1;  // peak frequency
    ch.DataItem[6] = 1;  // THD
    ch.DataItem[11] = 1; // Leq
    DataLoggingSettings& a = frame->Settings.Logging.Composite[0];
    a = ch;
    a.DataItem[6] = 0;
    frame->LeqSettings[0].Interval = 0.5f;
    frame->OnUtilityLeq();
    frame->ExecuteCommand(57826); // Data Logging > On
    EXPECT_TRUE(frame->Settings.Logging.IsLogging);
    Run();

    const auto rows = CsvRows(Data("log/Channel_0.txt"), Data("rows0.txt"));
    ASSERT_GT(rows.size(), 10u);
    const auto header = Fields(rows[0]);
    const std::vector<std::string> want = {"Time", "Peak Freq", "THD", "LeqT", "Leq", "Lsel", "Lpk",
                                           "Lmax", "Lmin", "L10", "L50", "L90"};
    EXPECT_EQ(header, want);
    const auto first = Fields(rows[1]);
    ASSERT_EQ(first.size(), want.size());
    // Each row carries its block's middle: blocks of 1024 frames 512 apart at 4000 Hz.
    for (std::size_t i = 1; i < 6 && i < rows.size(); ++i) {
        const std::string stamp = Fields(rows[i])[0]; // "00:00:SS.hh"
        ASSERT_EQ(stamp.rfind("00:00:", 0), 0u) << stamp;
        EXPECT_NEAR(std::atof(stamp.c_str() + 6), (512.0 * double(i - 1) + 512.0) / 4000.0, 0.0101) << stamp;
    }
    EXPECT_NEAR(std::atof(first[1].c_str()), 500.0, 4.0);
    EXPECT_NEAR(std::atof(first[2].c_str()), 10.0, 0.3);
    const auto last = Fields(rows.back());
    float leq[TLeqCalc::kResults];
    ASSERT_TRUE(frame->LeqView->GetResults(0, leq));
    EXPECT_NEAR(std::atof(last[4].c_str()), leq[TLeqCalc::kLeq], 0.01);
    EXPECT_NE(leq[TLeqCalc::kLeq], 0.0f);

    // A composite has no Leq: its rows keep empty fields under the Leq heads.
    const auto comp = CsvRows(Data("log/Channel_A.txt"), Data("rowsA.txt"));
    ASSERT_GT(comp.size(), 10u);
    const size_t columns = Fields(comp[0]).size();
    EXPECT_EQ(columns, 11u);
    EXPECT_EQ(Fields(comp[1])[0], first[0]); // the composite's block is its channel's
    for (size_t i = 1; i < comp.size(); ++i)
        ASSERT_EQ(Fields(comp[i]).size(), columns) << comp[i];

    // Without the Leq window the place says so, and the columns after it stay under their heads.
    frame->OnUtilityLeq();
    ch.DataItem[32] = 1; // RPM
    frame->RewindWaveFiles();
    frame->ExecuteCommand(57826);
    Run();
    frame->ExecuteCommand(57827);
    const auto closed = CsvRows(Data("log/Channel_0.txt"), Data("closed.txt"));
    ASSERT_GT(closed.size(), 2u);
    const auto head = Fields(closed[0]);
    ASSERT_EQ(head.back(), "RPM");
    for (size_t i = 1; i < closed.size(); ++i) {
        const auto f = Fields(closed[i]);
        ASSERT_EQ(f.size(), head.size()) << closed[i];
        EXPECT_EQ(f[3], "Leq Utility is not open");
        EXPECT_EQ(f.back(), "  0.00");
    }
}

TEST_F(UtilityRun, IntervalRowsKeepTheirSpacingAcrossMidnight)
{
    Prepare(1.0);
    DataLoggingSettings& ch = frame->Settings.Logging.Channel[0];
    ch.Enable = 1;
    ch.IntervalFlag = 1;
    ch.IntervalSecs = 2.0f;
    frame->Settings.Logging.IncludeHeaderFlag = 0;
    frame->OnDataLoggingOn();
    for (float t = 86390.0f; t < 86410.0f; t += 0.5f)
        frame->WriteLogRows(0, t >= 86400.0f ? t - 86400.0f : t);
    frame->OnDataLoggingOff();
    const auto rows = CsvRows(Data("log/Channel_0.txt"), Data("rows.txt"));
    std::vector<std::string> times;
    for (const auto& r : rows)
        times.push_back(Fields(r)[0]);
    const std::vector<std::string> want = {"23:59:52.00", "23:59:54.00", "23:59:56.00", "23:59:58.00",
                                           "00:00:00.50", "00:00:02.00", "00:00:04.00", "00:00:06.00",
                                           "00:00:08.00"};
    EXPECT_EQ(times, want);

    // Turned on a second before midnight, and with an interval that ends after it: the first
    // rows come after midnight, not a day later.
    auto rowTimes = [&](float interval, float last) {
        ch.IntervalSecs = interval;
        frame->OnDataLoggingOn();
        for (float t = 86399.0f; t < 86400.0f + last; t += 0.5f)
            frame->WriteLogRows(0, t >= 86400.0f ? t - 86400.0f : t);
        frame->OnDataLoggingOff();
        std::vector<std::string> out;
        for (const auto& r : CsvRows(Data("log/Channel_0.txt"), Data("rows.txt")))
            out.push_back(Fields(r)[0]);
        return out;
    };
    EXPECT_EQ(rowTimes(2.0f, 5.0f), (std::vector<std::string>{"00:00:01.00", "00:00:03.00"}));
    EXPECT_EQ(rowTimes(600.0f, 1200.0f), (std::vector<std::string>{"00:09:59.00", "00:19:59.00"}));
}

// The files close after each run; the next run of the same session goes on in them, and only
// turning logging on again starts them afresh (the default overwrites).
TEST_F(UtilityRun, RunsOfOneLoggingSessionShareTheirFilesAndOneHeader)
{
    Prepare(1.0);
    DataLoggingSettings& ch = frame->Settings.Logging.Channel[0];
    ch = DataLoggingSettings();
    ch.Enable = 1;
    ch.DataItem[0] = 1;
    ASSERT_EQ(frame->Settings.Logging.OverwriteFlag, 1);
    auto session = [&](int runs) {
        frame->ExecuteCommand(57826);
        for (int i = 0; i < runs; ++i) {
            frame->RewindWaveFiles();
            Run();
        }
        frame->ExecuteCommand(57827);
        return CsvRows(Data("log/Channel_0.txt"), Data("rows.txt"));
    };
    const auto one = session(1);
    ASSERT_GT(one.size(), 2u);
    const auto two = session(2);
    ASSERT_EQ(two.size(), 2 * one.size() - 1);
    EXPECT_EQ(std::count(two.begin(), two.end(), one[0]), 1);
    EXPECT_EQ(session(1), one);
}

TEST_F(UtilityRun, ALogFileThatCannotBeOpenedIsReported)
{
    Prepare(1.0);
    frame->Settings.Logging.Channel[0].Enable = 1;
    CopyField(frame->Settings.Paths.txt, Data("no such folder").c_str());
    user.ExpectBox(IDOK, "Unable to open the data logging file(s):");
    frame->OnDataLoggingOn();
    EXPECT_EQ(frame->Settings.Logging.Channel[0].LogFile, nullptr);
    frame->OnDataLoggingOff();
}

TEST_F(UtilityRun, SoundPowerAddsTenDecibelsForTenSquareMetres)
{
    Prepare(2.0);
    frame->Settings.Calibration[0].RefUnits = 2;
    frame->Settings.Processing[0].AverageBlocks = 1000;
    frame->Settings.Processing[0].AverageMode = 0;
    frame->OnUtilitySoundPower();
    ASSERT_NE(frame->SoundPowerView, nullptr);
    Run();
    SpectralData* a = frame->CompositeSpectral[0][2];
    ASSERT_NE(a, nullptr);
    const float lp = a->TotalLevel(UINT(a->GetFirstBin()), UINT(a->GetLastBin()), 1, 1);
    EXPECT_NEAR(frame->SoundPowerView->GetLevel(0), lp + 10.0f, 0.01);
    EXPECT_NEAR(std::atof(frame->SoundPowerView->GetGrid()->GetCellText(1, 1)), lp + 10.0f, 0.01);

    // An uncalibrated source says so in its row; a real-valued sum has no level to show.
    frame->Settings.Calibration[0].RefUnits = 0;
    frame->SoundPowerView->Reset();
    EXPECT_STREQ(frame->SoundPowerView->GetGrid()->GetCellText(1, 1),
                 "Error: The source channels must be calibrated to units of SPL.");
    frame->Settings.Calibration[0].RefUnits = 8;
    frame->Settings.Composite[0].CompositeType = 5;
    frame->SoundPowerView->Reset();
    EXPECT_STREQ(frame->SoundPowerView->GetGrid()->GetCellText(1, 1), "N/A");

    // No summing composite: two rows and the reason.
    frame->Settings.Composite[0].bIsEnabled = 0;
    frame->SoundPowerView->Reset();
    EXPECT_EQ(frame->SoundPowerView->GetGrid()->GetRowCount(), 2);
    EXPECT_STREQ(frame->SoundPowerView->GetGrid()->GetCellText(1, 1),
                 "Error: No multichannel composite average channels are enabled");
}

namespace {
// A 24-bit mono tachometer recording at 4000 Hz written by Python, with a calibration chunk
// holding the RPM preset (unit 13, 0.01 RPM a count): each (rpm, seconds) piece holds
// rpm x 100 counts.
bool WriteTachometerFile(const std::string& path, const std::vector<std::pair<int, double>>& pieces)
{
    std::string list;
    for (const auto& [rpm, seconds] : pieces)
        list += "(" + std::to_string(rpm) + ", " + std::to_string(seconds) + "),";
    return Python("import wave, struct\n"
                  "s = []\n"
                  "for rpm, sec in [" + list + "]:\n"
                  "    s += [rpm * 100] * int(sec * 4000)\n"
                  "w = wave.open('" + path + "', 'wb')\n"
                  "w.setnchannels(1); w.setsampwidth(3); w.setframerate(4000)\n"
                  "w.writeframes(b''.join(struct.pack('<i', v)[:3] for v in s))\n"
                  "w.close()\n"
                  "def record():\n"
                  "    r = bytearray(634)\n"
                  "    struct.pack_into('<IfII', r, 0, 1, 1.0, 1, 13)\n"
                  "    r[16:19] = b'RPM'; r[76:82] = b'RPM dB'\n"
                  "    struct.pack_into('<ff', r, 140, 0.1414214, 0.01)\n"
                  "    r[156:159] = b'Tac'\n"
                  "    struct.pack_into('<H', r, 196, 0)\n"
                  "    struct.pack_into('<fH', r, 462, 1.0, 1)\n"
                  "    return bytes(r)\n"
                  "block = bytes(260) + record() + record() + bytes(520)\n"
                  "open('" + path + "', 'ab').write(struct.pack('<II', 102, len(block)) + block)\n");
}

// Seconds of day of a log row's "hh:mm:ss.ss".
double RowSeconds(const std::string& text)
{
    int h = 0, m = 0;
    double s = 0.0;
    std::sscanf(text.c_str(), "%d:%d:%lf", &h, &m, &s);
    return h * 3600.0 + m * 60.0 + s;
}

class TachometerRun : public UtilityRun {
protected:
    // Channel 0 the tachometer file, channel 1 an ordinary tone, both opened as the file
    // group opens them, so the tachometer's calibration comes from its chunk.
    void OpenPair(const std::vector<std::pair<int, double>>& pieces, double seconds)
    {
        Prepare(seconds);
        frame->Settings.Files[0].File.reset();
        file = nullptr;
        ASSERT_TRUE(WriteTachometerFile(Data("wave/tach.wav"), pieces));
        const std::string paths[2] = {Data("wave/tach.wav"), Data("wave/tone.wav")};
        for (int ch : {0, 1}) {
            CopyField(frame->Settings.Files[ch].FilePath, paths[ch].c_str());
            frame->Settings.Files[ch].IsActive = 1;
            ASSERT_TRUE(frame->ReopenChannelFile(ch));
            ChannelProcessingSettings& p = frame->Settings.Processing[ch];
            p.FFTsize = 1024;
            p.DecimationRatio = 1;
            p.OverlapPercent = 50;
        }
        ASSERT_EQ(+frame->Settings.Calibration[0].RefUnits, DWORD(kUnitRpm));
        ASSERT_EQ(+frame->Settings.Calibration[1].IsEnabled, 0u);
        frame->Settings.Composite[0].bIsEnabled = 0;
        DataLoggingSettings& log = frame->Settings.Logging.Channel[1];
        log = DataLoggingSettings();
        log.Enable = 1;
        log.DataItem[32] = 1; // Tachometer (RPM)
        frame->OnUtilityRPM();
        ASSERT_NE(frame->RPMView, nullptr);
        frame->OnDataLoggingOn();
    }

    // Runs the pass; each RPM reading against the frame its block ended on.
    std::vector<std::pair<DWORD, double>> RunReadingRpm()
    {
        std::vector<std::pair<DWORD, double>> shown;
        TWaveFile* tach = frame->Settings.Files[0].File.get();
        frame->ExecuteCommand(ID_RUN);
        for (int i = 0; i < 1000 && frame->PostProcessBusy; ++i) {
            const DWORD at = tach->GetPosition();
            const long long before = frame->FftsProcessed;
            frame->PostProcessStep();
            if (frame->FftsProcessed != before)
                shown.emplace_back(at + 1023, std::atof(frame->RPMView->GetGrid()->GetCellText(0, 0)));
        }
        frame->OnDataLoggingOff();
        return shown;
    }
};
} // namespace

TEST_F(TachometerRun, RecordedSpeedStepsShowInTheRpmWindowAndTheLog)
{
    OpenPair({{600, 2.0}, {1500, 2.0}, {3000, 2.0}}, 6.0);
    EXPECT_EQ(frame->GetTachometerChannel(), 0);
    const auto speedAt = [](double seconds) { return seconds < 2.0 ? 600.0 : seconds < 4.0 ? 1500.0 : 3000.0; };
    const auto shown = RunReadingRpm();
    ASSERT_GT(shown.size(), 30u);
    std::set<int> seen;
    for (const auto& [frameAt, rpm] : shown) {
        EXPECT_NEAR(rpm, speedAt(frameAt / 4000.0), 0.5) << "block ending at frame " << frameAt;
        seen.insert(int(std::lround(rpm)));
    }
    EXPECT_EQ(seen, (std::set<int>{600, 1500, 3000}));

    // The ordinary channel's log reads the speed at each row's own time.
    const auto rows = CsvRows(Data("log/Channel_1.txt"), Data("rows1.txt"));
    ASSERT_GT(rows.size(), 30u);
    EXPECT_EQ(Fields(rows[0]), (std::vector<std::string>{"Time", "RPM"}));
    seen.clear();
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto f = Fields(rows[i]);
        ASSERT_EQ(f.size(), 2u) << rows[i];
        const double t = RowSeconds(f[0]);
        EXPECT_NEAR(std::atof(f[1].c_str()), speedAt(t), 0.5) << rows[i];
        seen.insert(int(std::lround(std::atof(f[1].c_str()))));
    }
    EXPECT_EQ(seen, (std::set<int>{600, 1500, 3000}));
}

TEST_F(TachometerRun, ASilentTachometerKeepsTheLastSpeed)
{
    // The shaft's pulses stop after a second: both readers keep 600 RPM through the silence.
    OpenPair({{600, 1.0}, {0, 2.0}}, 3.0);
    const auto shown = RunReadingRpm();
    ASSERT_GT(shown.size(), 10u);
    for (const auto& [frameAt, rpm] : shown)
        EXPECT_NEAR(rpm, 600.0, 0.5) << "block ending at frame " << frameAt;
    const auto rows = CsvRows(Data("log/Channel_1.txt"), Data("rows1.txt"));
    ASSERT_GT(rows.size(), 10u);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_NEAR(std::atof(Fields(rows[i])[1].c_str()), 600.0, 0.5) << rows[i];
}

TEST_F(TachometerRun, AFileOfZerosReadsTheLastValue)
{
    OpenPair({{0, 2.0}}, 2.0);
    // Nothing above the least speed in a block: the last value stands, which the run's start
    // set back to 0.
    frame->LatestTachometerValue = 1234.0f;
    const auto shown = RunReadingRpm();
    ASSERT_FALSE(shown.empty());
    for (const auto& [frameAt, rpm] : shown)
        EXPECT_EQ(rpm, 0.0) << "block ending at frame " << frameAt;
    frame->LatestTachometerValue = 42.0f;
    EXPECT_EQ(frame->GetTachometerValue(0, 0.0f), 42.0f);
    // The file road returns the last value it read.
    EXPECT_EQ(frame->GetTachometerValue(1, 1.0f), 0.0f);
}

TEST_F(TachometerRun, TwoRpmFilesRefuseToStart)
{
    OpenPair({{600, 1.0}}, 1.0);
    ASSERT_TRUE(WriteTachometerFile(Data("wave/tach2.wav"), {{900, 1.0}}));
    frame->Settings.Files[1].File.reset();
    CopyField(frame->Settings.Files[1].FilePath, Data("wave/tach2.wav").c_str());
    ASSERT_TRUE(frame->ReopenChannelFile(1));
    frame->LatestTachometerValue = 1234.0f;
    user.ExpectBox(IDOK, "Multiple files contain tachometer data.  Only 1 tachometer channel is allowed at a "
                         "time.\r\rEither close the additional tach files or change their calibration settings.");
    frame->ExecuteCommand(ID_RUN);
    EXPECT_FALSE(frame->PostProcessBusy);
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_EQ(frame->FftsProcessed, 0);
    frame->OnDataLoggingOff();
}

namespace {
// IEC 61672-1's A-weighting in dB, from its pole frequencies (annex E).
double AWeighting(double f)
{
    const double f2 = f * f;
    const double ra = 12194.0 * 12194.0 * f2 * f2 /
                      ((f2 + 20.6 * 20.6) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) * (f2 + 12194.0 * 12194.0));
    return 20.0 * std::log10(ra) + 2.0;
}
} // namespace

// Whole spectra, complex pairs and marker items in one log: every value stands under its own
// heading, and the single values agree with the logged spectrum they came from.
TEST_F(UtilityRun, LoggedSpectraStandUnderTheirHeadsAndAgreeWithTheirTotals)
{
    Prepare(2.0);
    frame->Settings.Processing[0].FFTsize = 256;
    DataLoggingSettings& ch = frame->Settings.Logging.Channel[0];
    ch = DataLoggingSettings();
    ch.Enable = 1;
    for (int i : {2, 3, 12, 15, 16, 33, 34})
        ch.DataItem[i] = 1;
    frame->Settings.Markers[0].Freq[0] = 400; // nearest bin 406.25 Hz
    frame->Settings.Markers[0].Freq[1] = 600; // 593.75 Hz
    frame->ExecuteCommand(57826);
    Run();
    frame->ExecuteCommand(57827);
    const auto rows = CsvRows(Data("log/Channel_0.txt"), Data("rows.txt"));
    ASSERT_GT(rows.size(), 2u);
    const auto head = Fields(rows[0]);
    const auto row = Fields(rows.back());
    ASSERT_EQ(head.size(), row.size());
    // Time, two totals, 126 bins from 31.25 Hz, two markers, 126 pairs, 13 marked pairs.
    constexpr size_t kBins = 126, kSpectrum = 3, kMarker = kSpectrum + kBins;
    constexpr size_t kPairs = kMarker + 2, kMarked = kPairs + 2 * kBins;
    ASSERT_EQ(head.size(), kMarked + 2 * 13);
    EXPECT_EQ(head[kMarker], "Marker 1 Level");
    for (size_t b = 0; b < kBins; ++b) {
        ASSERT_EQ(head[kPairs + 2 * b], head[kSpectrum + b]) << b;
        ASSERT_EQ(head[kPairs + 2 * b + 1], "") << b;
    }
    EXPECT_EQ(head[kMarked], "406.250");
    EXPECT_EQ(head[kMarked + 24], "593.750");
    EXPECT_EQ(head.back(), "");

    double flat = 0.0, a = 0.0;
    for (size_t b = 0; b < kBins; ++b) {
        const double f = std::atof(head[kSpectrum + b].c_str());
        const double level = std::atof(row[kSpectrum + b].c_str());
        if (level < -900.0)
            continue;
        flat += std::pow(10.0, level / 10.0);
        a += std::pow(10.0, (level + AWeighting(f)) / 10.0);
        // Each pair's magnitude is the bin's level, on the same decibel scale.
        const double re = std::atof(row[kPairs + 2 * b].c_str()), im = std::atof(row[kPairs + 2 * b + 1].c_str());
        if (level > -30.0)
            EXPECT_NEAR(20.0 * std::log10(std::hypot(re, im)), level, 0.05) << f;
        if (f == 406.25)
            EXPECT_EQ(row[kMarker], row[kSpectrum + b]);
        if (f == 593.75)
            EXPECT_EQ(row[kMarker + 1], row[kSpectrum + b]);
    }
    // The Hanning window's bins overlap: their sum is its noise bandwidth, 1.5 bins, too high.
    const double enbw = 10.0 * std::log10(1.5);
    EXPECT_NEAR(std::atof(row[1].c_str()), 10.0 * std::log10(flat) - enbw, 0.05);
    EXPECT_NEAR(std::atof(row[2].c_str()), 10.0 * std::log10(a) - enbw, 0.05);
    // Mostly the 500 Hz tone: A-weighting takes about its 3.2 dB.
    EXPECT_NEAR(std::atof(row[2].c_str()) - std::atof(row[1].c_str()), -3.15, 0.1);
}

namespace {
// Real Time runs on the simulator that log channel 0 after every block and channel 1 every
// half second of row time.
class LiveLogging : public UtilityRun {
protected:
    void SetUp() override
    {
        UtilityRun::SetUp();
        kdrsim::Reset();
        kdrsim::SelectSimulator(true);
    }
    void TearDown() override
    {
        if (frame != nullptr && frame->AcquisitionRunning)
            frame->ExecuteCommand(ID_STOP);
        kdrsim::Reset();
        kdrsim::SelectSimulator(false);
        UtilityRun::TearDown();
    }
    void Prepare(bool testClock)
    {
        kdrsim::UseTestClock(testClock);
        std::string error;
        ASSERT_TRUE(kdrsim::ConfigureSources("0=sine:1000:-6;1=sine:750:-6", &error)) << error;
        ASSERT_NE(Start(), nullptr);
        frame->Settings.OpMode = 0;
        for (auto& c : frame->Settings.Composite)
            c.bIsEnabled = 0;
        for (int ch = 0; ch < 8; ++ch)
            frame->Settings.Device.Channels[ch].bIsEnabled = ch < 2;
        CopyField(frame->Settings.Paths.txt, Data("log").c_str());
        for (int ch = 0; ch < 2; ++ch) {
            frame->Settings.Processing[ch].FFTsize = 1024;
            DataLoggingSettings& log = frame->Settings.Logging.Channel[ch];
            log = DataLoggingSettings();
            log.Enable = 1;
            log.DataItem[0] = 1;
            log.IntervalFlag = ch;
            log.IntervalSecs = 0.5f;
        }
        frame->ExecuteCommand(57826);
        frame->ExecuteCommand(ID_RUN);
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    }
    // Channel 0's rows: one for every block processed so far, each reading the tone.
    void ExpectRowsOfEveryBlock()
    {
        ASSERT_TRUE(frame->AcquisitionRunning);
        ASSERT_GT(frame->FftsProcessed, 3);
        const auto rows = CsvRows(Data("log/Channel_0.txt"), Data("live0.txt"));
        ASSERT_EQ(rows.size(), static_cast<size_t>(frame->FftsProcessed) + 1);
        EXPECT_EQ(rows[0], "Time|Peak Freq");
        for (size_t i = 1; i < rows.size(); ++i) {
            const auto f = Fields(rows[i]);
            ASSERT_EQ(f.size(), 2u) << rows[i];
            EXPECT_NEAR(std::atof(f[1].c_str()), 1000.0, 4.0) << rows[i];
        }
    }
    // Channel 1's rows: each reads its tone, and row k comes at the first block at least
    // (k + 1) half seconds after the first block (channel 0's first row), never earlier.
    void ExpectRowsAtTheirInterval()
    {
        auto seconds = [](const std::string& stamp) {
            int h = 0, m = 0;
            double sec = 0.0;
            return std::sscanf(stamp.c_str(), "%d:%d:%lf", &h, &m, &sec) == 3 ? h * 3600.0 + m * 60.0 + sec : -1.0;
        };
        const auto blocks = CsvRows(Data("log/Channel_0.txt"), Data("live0.txt"));
        const auto rows = CsvRows(Data("log/Channel_1.txt"), Data("live1.txt"));
        ASSERT_GT(blocks.size(), 2u);
        ASSERT_GT(rows.size(), 2u);
        const double first = seconds(Fields(blocks[1])[0]), last = seconds(Fields(blocks.back())[0]);
        ASSERT_GE(first, 0.0);
        if (last < first)
            return; // the run crossed midnight
        for (size_t k = 1; k < rows.size(); ++k) {
            const auto f = Fields(rows[k]);
            ASSERT_EQ(f.size(), 2u) << rows[k];
            EXPECT_NEAR(std::atof(f[1].c_str()), 750.0, 4.0) << rows[k];
            // Stamps are cut to hundredths.
            EXPECT_GE(seconds(f[0]), first + 0.5 * static_cast<double>(k) - 0.011) << rows[k];
        }
        EXPECT_LE(static_cast<double>(rows.size() - 1), (last - first) / 0.5 + 0.01);
    }
};
} // namespace

// The rows are in the files while the run goes on, for a viewer (or a crash) to find.
TEST_F(LiveLogging, RowsAreInTheFilesBeforeTheRunStops)
{
    Prepare(true);
    for (int t = 0; t < 3000; t += 20) {
        kdrsim::AdvanceClock(20);
        ASSERT_TRUE(kdrsim::WaitUntilDelivered(20000));
        AfxPumpMessages(5);
    }
    // Rows carry the time of day, which this clock does not move: only the block rows count.
    ExpectRowsOfEveryBlock();
}

// The same on the real clock with a core kept busy, where the interval rows show too.
TEST_F(LiveLogging, OnTheRealClockUnderLoadEveryBlockIsLogged)
{
    Prepare(false);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        volatile double x = 0.0;
        while (!stop.load())
            x = x + 1.0;
    });
    for (int i = 0; i < 300; ++i)
        AfxPumpMessages(10);
    stop = true;
    busy.join();
    ExpectRowsOfEveryBlock();
    ExpectRowsAtTheirInterval();
}

// A configuration load in Post Process closes the files: the Peak Frequency window keeps the
// rows' height it had, whatever placement the configuration lists, rather than stretching its
// remaining rows into a huge font.
TEST_F(UtilityRun, AConfigurationLoadKeepsTheResultRowsTheirHeight)
{
    Prepare();
    frame->OnUtilityPeakFreq();
    Run();
    CAnalysisView* view = frame->PeakFreqView.get();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->GetGrid()->GetRowCount(), 3); // header, channel 0, composite A
    // Saved with tall rows, then made small again: the configuration lists a taller window.
    view->MoveWindow(40, 40, 320, 120);
    AfxPumpMessages();
    frame->SaveConfiguration(Data("config/Peak.cfg").c_str());
    view->MoveWindow(200, 200, 300, 60);
    AfxPumpMessages();
    const int rowHeight = view->GetRowHeight();
    ASSERT_LE(rowHeight, 20);

    // Loading answers nothing: no file was changed.
    ASSERT_TRUE(frame->LoadConfiguration(Data("config/Peak.cfg").c_str()));
    AfxPumpMessages();
    view = frame->PeakFreqView.get();
    ASSERT_NE(view, nullptr);
    CDataGrid* grid = view->GetGrid();
    EXPECT_EQ(grid->GetRowCount(), 2); // the file is closed: header and composite A
    EXPECT_EQ(view->GetRowHeight(), rowHeight);
    RECT client{};
    view->GetClientRect(&client);
    EXPECT_EQ(client.bottom - client.top, rowHeight * grid->GetRowCount());
    // The grid draws its rows at the window's row height.
    view->UpdateWindow();
    grid->UpdateWindow();
    AfxPumpMessages();
    EXPECT_EQ(grid->GetRowHeight(), rowHeight);
}
