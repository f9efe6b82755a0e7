// The results windows and data logging through a post-process run of wave files written by
// sox, with the log files read back by Python's csv reader.
#include "FrameFixture.h"

#include "dsp/SpectralData.h"
#include "res/resource.h"
#include "utilities/CAnalysisView.h"
#include "utilities/CLeqAnalysisView.h"
#include "utilities/CSoundPowerAnalysisView.h"
#include "wave/TWaveFile.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
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
    void Prepare(double seconds = 4.0, const std::string& sine = "")
    {
        ASSERT_NE(Start(), nullptr);
        frame->SetModePostProcess(false);
        if (sine.empty())
            ASSERT_TRUE(WriteToneWithHarmonic(Data("wave"), Data("wave/tone.wav"), seconds));
        else
            ASSERT_EQ(std::system(("sox -n -r 4000 -b 16 -c 1 '" + Data("wave/tone.wav") + "' synth " +
                                   std::to_string(seconds) + " " + sine)
                                      .c_str()),
                      0);
        file = new TWaveFile(Data("wave/tone.wav"), 0, false, Data("temp"));
        ASSERT_FALSE(file->IsError());
        frame->Settings.Files[0].File = file;
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
    CAnalysisView* view = frame->THDView;
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
    EXPECT_EQ(first[0], "00:00:00.00");
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
    for (size_t i = 1; i < comp.size(); ++i)
        ASSERT_EQ(Fields(comp[i]).size(), columns) << comp[i];

    // Without the Leq window the place says so.
    frame->OnUtilityLeq();
    std::string text;
    ASSERT_TRUE(frame->FormatLogValue(0, 0.0f, false, 11, text));
    EXPECT_EQ(text, "Leq Utility is not open");
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
