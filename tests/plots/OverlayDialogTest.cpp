// "Overlay Options": slot names read from and written to the slot files, loading a file into
// a slot (and refusing one that holds no curve), saving a slot, and the limits checked on OK.
#include "dsp/TOverlayData.h"
#include "platform/core/Resources.h"
#include "plots/TOverlayDialog.h"
#include "records/PathSettings.h"
#include "records/SpectrumPlotSettings.h"
#include "res/OverlayDialogIds.h"
#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

QAbstractButton* Button(CWnd& d, int id)
{
    CWnd* c = d.GetDlgItem(id);
    return c ? qobject_cast<QAbstractButton*>(QtWidgetOf(c)) : nullptr;
}

std::string Text(CWnd& d, int id)
{
    CWnd* c = d.GetDlgItem(id);
    return c ? c->GetWindowTextString() : std::string();
}

class OverlayDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AfxEnsureQtApplication();
        RegisterBuiltInResources();
    }
    void SetUp() override
    {
        char tmpl[] = "/tmp/durnex-ovldlg-XXXXXX";
        dir = mkdtemp(tmpl);
        std::snprintf(working.ovl, sizeof working.ovl, "%s", "/nonexistent-start");
    }
    void TearDown() override { fs::remove_all(dir); }
    void Put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    std::string Slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    INT_PTR Run(int trace = 1, WORD freqScale = 0)
    {
        TOverlayDialog dialog(nullptr, &settings, &working, dir.string(), 3, freqScale, trace);
        return dialog.DoModal();
    }

    fs::path dir;
    PathSettings working;
    SpectrumPlotSettings settings;
};

} // namespace

TEST_F(OverlayDialog, OkRenamesOnlyAndCreatesNameFilesForEmptySlots)
{
    // A hand-written slot with CRLF, blanks and a switch: everything but its name stays.
    const std::string rows = ";SPLINE OFF\r\n 100 -10\r\n200\t-20\r\n300\t-30\r\n\r\ntrailing notes\r\n";
    Put(dir / "Ch2_3_2.ovl", ";Old name\r\n" + rows);
    CDialog::ScriptModal([](CWnd& d) {
        EXPECT_EQ(Text(d, IDC_OVERLAY_NAME + kOverlaySlotIdStride), "Old name");
        EXPECT_EQ(Text(d, IDC_OVERLAY_NAME), "");
        d.GetDlgItem(IDC_OVERLAY_NAME + kOverlaySlotIdStride)->SetWindowText("New name");
        Button(d, IDOK)->click();
    });
    ASSERT_EQ(Run(2), IDOK);
    EXPECT_EQ(Slurp(dir / "Ch2_3_2.ovl"), ";New name\n" + rows);
    for (int k : {1, 3, 4, 5, 6, 7})
        EXPECT_EQ(Slurp(dir / ("Ch2_3_" + std::to_string(k) + ".ovl")), ";\n") << k;
    EXPECT_FALSE(fs::exists(dir / "Ch_3_1.ovl"));
}

TEST_F(OverlayDialog, LegendSizeAndOffsetsAreCheckedOnOk)
{
    struct Case {
        const char* size;
        const char* offset;
        const char* refusal;  // null: accepted
    } cases[] = {
        {"3", "0", "Overlay Legend size must be between 4 and 24"},
        {"25", "0", "Overlay Legend size must be between 4 and 24"},
        {"eight", "0", "Overlay Legend size must be between 4 and 24"},
        {"4", "-100.1", "Overlay Offset must be between -100 and +100 dB"},
        {"24", "ten", "Overlay Offset must be between -100 and +100 dB"},
        {"4", "-100", nullptr},
        {"24", "100", nullptr},
    };
    for (const Case& c : cases) {
        ScriptedUser user;
        if (c.refusal)
            user.ExpectBox(IDOK, c.refusal);
        CDialog::ScriptModal([&](CWnd& d) {
            d.GetDlgItem(IDC_OVERLAY_LEGEND_SIZE)->SetWindowText(c.size);
            d.GetDlgItem(IDC_OVERLAY_OFFSET + 3 * kOverlaySlotIdStride)->SetWindowText(c.offset);
            Button(d, IDOK)->click();
            if (c.refusal)
                Button(d, IDCANCEL)->click();
        });
        EXPECT_EQ(Run(), c.refusal ? IDCANCEL : IDOK) << c.size << " " << c.offset;
        if (!c.refusal)
            EXPECT_EQ(settings.Overlays[3].Offset1, static_cast<float>(std::atof(c.offset)));
    }
}

TEST_F(OverlayDialog, LoadFillsTheSlotAndARefusedFileLeavesItAsItWas)
{
    Put(dir / "good.mic", ";Mic 4189\tserial 12\n20\t-0.5\n1000\t0\n20000\t1.5\n");
    Put(dir / "short.ovl", ";Too short\n20\t-0.5\n1000\t0\n");
    Put(dir / "Ch_3_5.ovl", ";Kept\n10\t1\n20\t2\n30\t3\n");
    const std::string kept = Slurp(dir / "Ch_3_5.ovl");
    const int load = IDC_OVERLAY_LOAD + 4 * kOverlaySlotIdStride;
    {
        ScriptedUser user;
        user.ExpectFile(PromptKind::FileOpen, (dir / "short.ovl").string());
        user.ExpectBox(IDOK, "holds no overlay data");
        user.ExpectFile(PromptKind::FileOpen, (dir / "good.mic").string());
        CDialog::ScriptModal([&](CWnd& d) {
            d.GetDlgItem(IDC_OVERLAY_OFFSET + 4 * kOverlaySlotIdStride)->SetWindowText("3.5");
            Button(d, load)->click();
            EXPECT_EQ(Text(d, IDC_OVERLAY_NAME + 4 * kOverlaySlotIdStride), "Kept");
            EXPECT_EQ(Slurp(dir / "Ch_3_5.ovl"), kept);
            Button(d, load)->click();
            EXPECT_EQ(Text(d, IDC_OVERLAY_NAME + 4 * kOverlaySlotIdStride), "Mic 4189");
            EXPECT_EQ(Text(d, IDC_OVERLAY_OFFSET + 4 * kOverlaySlotIdStride), "0.0");
            Button(d, IDCANCEL)->click();
        });
        EXPECT_EQ(Run(), IDCANCEL);
    }
    // Written at once, whatever the dialog's end; the folder chosen is remembered.
    EXPECT_EQ(Slurp(dir / "Ch_3_5.ovl"), ";Mic 4189\n20.000000\t-0.500000\n1000.000000\t0.000000\n20000.000000\t1.500000\n");
    EXPECT_EQ(std::string(working.ovl), dir.string());
}

TEST_F(OverlayDialog, SaveWritesTheSlotUnderItsLegendNameAndRefusesAnEmptySlot)
{
    // Octave bands: the saved rows carry the offset typed in the dialog.
    Put(dir / "Ch_3_1.ovl", ";Bands\n125\t-20\n250\t-10\n500\t-5\n");
    ScriptedUser user;
    user.ExpectFile(PromptKind::FileSave, (dir / "out.ovl").string());
    user.ExpectFile(PromptKind::FileSave, (dir / "empty.ovl").string());
    user.ExpectBox(IDOK, "Overlay slot 2 holds no overlay data to save.");
    CDialog::ScriptModal([](CWnd& d) {
        d.GetDlgItem(IDC_OVERLAY_NAME)->SetWindowText("Octave reference");
        d.GetDlgItem(IDC_OVERLAY_OFFSET)->SetWindowText("2.5");
        Button(d, IDC_OVERLAY_SAVE)->click();
        Button(d, IDC_OVERLAY_SAVE + kOverlaySlotIdStride)->click();
        Button(d, IDCANCEL)->click();
    });
    EXPECT_EQ(Run(1, 2), IDCANCEL);
    EXPECT_EQ(Slurp(dir / "out.ovl"), ";Octave reference\n125.000000\t-17.500000\n250.000000\t-7.500000\n500.000000\t-2.500000\n");
    EXPECT_FALSE(fs::exists(dir / "empty.ovl"));
}
