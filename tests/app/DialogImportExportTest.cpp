// File > Import and File > Export dialogs: the options dialogs driven control by control, and
// the progress dialogs run to the end on their timer, checked against files read and written
// by Python's wave module.
#include "DialogFixture.h"

#include "app/CFileExportDlg.h"
#include "app/CFileExportProcessDlg.h"
#include "app/CFileImportDlg.h"
#include "app/CFileImportProcessDlg.h"
#include "wave/ChannelFileState.h"
#include "platform/ui/Controls.h"
#include "res/FileDialogIds.h"
#include "wave/TWaveFile.h"

#include "support/QtTestAccess.h"

#include <memory>

using namespace filestest;

namespace {

class ImportExport : public DialogFixture {};

int ComboIndex(CWnd& d, int id)
{
    auto* c = As<QComboBox>(d, id);
    return c ? c->currentIndex() : -2;
}

std::vector<std::string> ComboItems(CWnd& d, int id)
{
    std::vector<std::string> out;
    if (auto* c = As<QComboBox>(d, id))
        for (int i = 0; i < c->count(); ++i)
            out.push_back(c->itemText(i).toStdString());
    return out;
}

// Runs the progress dialog to its end with nobody touching it.
template <class Dlg> INT_PTR RunUntouched(Dlg& dlg)
{
    CDialog::ScriptModal([](CWnd&) {});
    return dlg.DoModal();
}

} // namespace

TEST_F(ImportExport, ImportOptionsFollowTheSourceTypeHeaderAndScalingChoices)
{
    ImportSettings s;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Sampling Rate must be greater than zero");
    user.ExpectBox(IDOK, "Column Index value must be 1 to 16");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(ComboItems(d, IDC_IMPORT_TYPE).size(), 6u);
        EXPECT_EQ(ComboIndex(d, IDC_IMPORT_TYPE), 0);
        EXPECT_EQ(Text(d, IDC_IMPORT_RATE), "48000");
        EXPECT_EQ(ComboIndex(d, IDC_IMPORT_PRECISION), 0);
        EXPECT_TRUE(Checked(d, IDC_IMPORT_NO_HEADER));
        EXPECT_EQ(Text(d, IDC_IMPORT_HEADER_UNIT), "Lines (ASCII file)");
        EXPECT_TRUE(Enabled(d, IDC_IMPORT_COLUMN));
        EXPECT_TRUE(Checked(d, IDC_IMPORT_RESCALE));
        EXPECT_FALSE(Enabled(d, IDC_IMPORT_DATA_VALUE));
        EXPECT_FALSE(Enabled(d, IDC_IMPORT_UNITS));
        EXPECT_EQ(Text(d, IDC_IMPORT_DATA_VALUE), "1.0000");

        // Typing a header size declares a header.
        SetText(d, IDC_IMPORT_HEADER_SIZE, "12");
        EXPECT_TRUE(Checked(d, IDC_IMPORT_HAS_HEADER));
        EXPECT_FALSE(Checked(d, IDC_IMPORT_NO_HEADER));

        Click(d, IDC_IMPORT_DEFINE);
        EXPECT_TRUE(Enabled(d, IDC_IMPORT_DATA_VALUE));
        EXPECT_TRUE(Enabled(d, IDC_IMPORT_LABEL_LOG));
        Pick(d, IDC_IMPORT_UNITS, 2); // Pascals (in air)
        EXPECT_EQ(Text(d, IDC_IMPORT_LABEL_LINEAR), "Pascals");
        EXPECT_EQ(Text(d, IDC_IMPORT_LABEL_LOG), "SPL (dB ref 20uPA)");

        SetText(d, IDC_IMPORT_RATE, "0");
        Click(d, IDOK);
        SetText(d, IDC_IMPORT_RATE, "8000");
        SetText(d, IDC_IMPORT_COLUMN, "17");
        Click(d, IDOK);
        EXPECT_TRUE(static_cast<CDialog&>(d).IsModalRunning());

        // The column limit is for text sources only.
        Pick(d, IDC_IMPORT_TYPE, 3);
        EXPECT_EQ(Text(d, IDC_IMPORT_HEADER_UNIT), "Bytes (binary file)");
        EXPECT_FALSE(Enabled(d, IDC_IMPORT_COLUMN));
        Pick(d, IDC_IMPORT_PRECISION, 1);
        SetText(d, IDC_IMPORT_EQUALS, "94");
        Click(d, IDOK);
    });
    CFileImportDlg dlg(nullptr, &s);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(s.Format, ImportSettings::kBinary16);
    EXPECT_EQ(s.SampleRate, 8000u);
    EXPECT_EQ(s.BytesPerSample, 3);
    EXPECT_EQ(s.HasHeader, 1);
    EXPECT_EQ(s.HeaderSize, 12);
    EXPECT_EQ(s.Column, 17u);
    EXPECT_EQ(s.ScalingMode, ImportSettings::kDefineUnits);
    EXPECT_EQ(s.Units, 8);
    EXPECT_EQ(s.EqualsValue, 94.0f);
    EXPECT_STREQ(s.LabelLinear, "Pascals");
}

TEST_F(ImportExport, RefusedImportOptionsLeaveTheRecordAsItWas)
{
    ImportSettings s;
    const ImportSettings before = s;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Header Size cannot be less than zero");
    CDialog::ScriptModal([](CWnd& d) {
        SetText(d, IDC_IMPORT_HEADER_SIZE, "-3");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    CFileImportDlg dlg(nullptr, &s);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(SameRecordBytes(s, before));
}

TEST_F(ImportExport, ImportRescalesATextColumnIntoAWaveFilePythonReads)
{
    const std::string source = Path("values.txt");
    { std::ofstream(source) << "x\t0\nz\t\t5\ny\t10\n"; }
    ImportSettings s;
    s.SampleRate = 8000;
    s.Column = 2;
    const std::string destination = Path("imported.wav");
    CFileImportProcessDlg dlg(nullptr, source, destination, s, dir.string());
    ASSERT_EQ(RunUntouched(dlg), IDOK);
    const PyWave w = ReadPythonWave(destination, Path("read.txt"));
    EXPECT_EQ(w.rate, 8000);
    EXPECT_EQ(w.width, 2);
    EXPECT_EQ(w.channels, 1);
    // Runs of tabs are one separator, so "z\t\t5" has 5 in column 2; the range 0..10 fills
    // the 16-bit range, centred.
    EXPECT_EQ(w.samples, (std::vector<long>{-32767, 0, 32767}));
}

TEST_F(ImportExport, ImportOfAMissingSourceReportsItAndLeavesOnlyCancel)
{
    ImportSettings s;
    const std::string destination = Path("never.wav");
    ScriptedUser user;
    user.ExpectBox(IDOK, "Failure opening import data file: " + Path("missing.txt"));
    user.ExpectBox(IDYES, "Are you sure you want to cancel importing?");
    CDialog::ScriptModal([](CWnd& d) { Click(d, IDCANCEL); });
    CFileImportProcessDlg dlg(nullptr, Path("missing.txt"), destination, s, dir.string());
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(ImportExport, CancelledImportAsksFirstAndLeavesNoDestination)
{
    const std::string source = Path("long.txt");
    {
        std::ofstream out(source);
        for (int i = 0; i < 100000; ++i)
            out << (i % 200) - 100 << "\n";
    }
    const std::string destination = Path("cancelled.wav");
    ImportSettings s;
    ScriptedUser user;
    user.ExpectBox(IDNO, "Are you sure you want to cancel importing?");
    user.ExpectBox(IDYES, "Are you sure you want to cancel importing?");
    CDialog::ScriptModal([](CWnd& d) {
        Click(d, IDCANCEL); // No: the import goes on
        EXPECT_TRUE(static_cast<CDialog&>(d).IsModalRunning());
        Click(d, IDCANCEL);
    });
    CFileImportProcessDlg dlg(nullptr, source, destination, s, dir.string());
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(ImportExport, ExportOffersChannelsZeroToSixThatHaveAFile)
{
    const std::string wav = Path("a.wav");
    ASSERT_TRUE(WritePythonWave(wav, 8000, {1, 2, 3}));
    ChannelFileState files[8];
    std::unique_ptr<TWaveFile> a(new TWaveFile(wav, TWaveFile::kStreamed, false, dir.string()));
    std::unique_ptr<TWaveFile> b(new TWaveFile(wav, TWaveFile::kStreamed, false, dir.string()));
    std::unique_ptr<TWaveFile> c(new TWaveFile(wav, TWaveFile::kStreamed, false, dir.string()));
    files[0].File = std::move(a);
    files[3].File = std::move(b);
    files[7].File = std::move(c);
    ExportSettings s;
    s.Channel = 3;
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(ComboItems(d, IDC_EXPORT_CHANNEL), (std::vector<std::string>{"Crown", "Heart"}));
        EXPECT_EQ(ComboIndex(d, IDC_EXPORT_CHANNEL), 1);
        EXPECT_EQ(ComboItems(d, IDC_EXPORT_TYPE).size(), 6u);
        Pick(d, IDC_EXPORT_TYPE, 2);
        Pick(d, IDC_EXPORT_CHANNEL, 0);
        Click(d, IDOK);
    });
    CFileExportDlg dlg(nullptr, &s, files);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(s.Channel, 0);
    EXPECT_EQ(s.Format, ExportSettings::kBinary8);
}

TEST_F(ImportExport, ExportWritesTheStoredValuesAsTextAndAsCentredBytes)
{
    const std::string wav = Path("source.wav");
    const std::vector<int> samples{32767, 0, -32767, 1234, -5};
    ASSERT_TRUE(WritePythonWave(wav, 44100, samples));
    std::unique_ptr<TWaveFile> wave(new TWaveFile(wav, TWaveFile::kStreamed, false, dir.string()));
    ASSERT_FALSE(wave->IsError());

    ExportSettings s;
    const std::string text = Path("out.txt");
    CFileExportProcessDlg asText(nullptr, wave.get(), text, s);
    ASSERT_EQ(RunUntouched(asText), IDOK);
    EXPECT_EQ(ReadAll(text), "32767\n0\n-32767\n1234\n-5\n");

    s.Format = ExportSettings::kBinary8;
    const std::string bytes = Path("out.bin");
    CFileExportProcessDlg asBytes(nullptr, wave.get(), bytes, s);
    ASSERT_EQ(RunUntouched(asBytes), IDOK);
    const std::string b = ReadAll(bytes);
    ASSERT_EQ(b.size(), samples.size());
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 254);
    EXPECT_EQ(static_cast<unsigned char>(b[1]), 127);
    EXPECT_EQ(static_cast<unsigned char>(b[2]), 0);
}

TEST_F(ImportExport, CancelledExportLeavesNoOutputFile)
{
    const std::string wav = Path("long.wav");
    ASSERT_TRUE(WritePythonWave(wav, 8000, std::vector<int>(100000, 7)));
    std::unique_ptr<TWaveFile> wave(new TWaveFile(wav, TWaveFile::kStreamed, false, dir.string()));
    const std::string out = Path("partial.txt");
    ExportSettings s;
    ScriptedUser user;
    user.ExpectBox(IDYES, "Are you sure you want to cancel exporting?");
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_PROCESS_STATUS), "Exporting...");
        Click(d, IDCANCEL);
    });
    CFileExportProcessDlg dlg(nullptr, wave.get(), out, s);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// "4,000" is no rate of 4 Hz, nor "8k" one of 8: a number is the whole text, or the field is
// named and nothing is stored.
TEST_F(ImportExport, ImportNumbersAreWholeTextsOrRefusedByName)
{
    ImportSettings s;
    s.SampleRate = 4000;
    const ImportSettings before = s;
    ScriptedUser user;
    user.ExpectBox(IDOK, "Sampling Rate: \"4,000\" is not a number.  Please enter a number.");
    user.ExpectBox(IDOK, "Sampling Rate must be a whole number.");
    user.ExpectBox(IDOK, "Header Size: \"2 lines\" is not a number.  Please enter a number.");
    user.ExpectBox(IDOK, "Column Index: \"1st\" is not a number.  Please enter a number.");
    user.ExpectBox(IDOK, "Data Value: \"1.0V\" is not a number.  Please enter a number.");
    CDialog::ScriptModal([](CWnd& d) {
        SetText(d, IDC_IMPORT_RATE, "4,000");
        Click(d, IDOK);
        SetText(d, IDC_IMPORT_RATE, "8000.5");
        Click(d, IDOK);
        SetText(d, IDC_IMPORT_RATE, "8e3");
        SetText(d, IDC_IMPORT_HEADER_SIZE, "2 lines");
        Click(d, IDOK);
        SetText(d, IDC_IMPORT_HEADER_SIZE, "2");
        SetText(d, IDC_IMPORT_COLUMN, "1st");
        Click(d, IDOK);
        SetText(d, IDC_IMPORT_COLUMN, "2");
        Click(d, IDC_IMPORT_DEFINE);
        SetText(d, IDC_IMPORT_DATA_VALUE, "1.0V");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    CFileImportDlg refused(nullptr, &s);
    EXPECT_EQ(refused.DoModal(), IDCANCEL);
    EXPECT_TRUE(SameRecordBytes(s, before));

    CDialog::ScriptModal([](CWnd& d) {
        SetText(d, IDC_IMPORT_RATE, " 8e3 ");
        SetText(d, IDC_IMPORT_COLUMN, "3");
        Click(d, IDOK);
    });
    CFileImportDlg accepted(nullptr, &s);
    ASSERT_EQ(accepted.DoModal(), IDOK);
    EXPECT_EQ(s.SampleRate, 8000u);
    EXPECT_EQ(s.Column, 3u);
}
