// The main frame's menu and accelerator table (resource IDR_MAINFRAME), in the text forms
// platform/ui/Menu.h reads. The frame removes the Utilities and Edit pop-ups and the File
// menu's Delete item at start-up; their commands stay reachable by accelerator and from the
// tool and plot windows.
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "res/resource.h"

#include <string_view>

namespace {
constexpr std::string_view kMainMenu = R"MENU(
POPUP "&File"
    MENUITEM "&New...", 57779
    MENUITEM "&Open...\tCtrl+O", 57776
    MENUITEM "&Close", 57778
    MENUITEM "&Save\tCtrl+S", 57777
    MENUITEM "&Delete...", 57781
    MENUITEM SEPARATOR
    MENUITEM "&Import...", 57788
    MENUITEM "&Export...", 57789
    MENUITEM SEPARATOR
    MENUITEM "&Print...\tCtrl+P", 57782
    MENUITEM "Prin&t Setup...", 57783
    MENUITEM "Annotations and &Margins...", 57791
    MENUITEM SEPARATOR
    MENUITEM "Set &Paths...", 57792
    MENUITEM SEPARATOR
    MENUITEM "E&xit", 57665
END
POPUP "&Edit"
    MENUITEM "&Undo Edit\tCtrl+Z", 57802
    MENUITEM SEPARATOR
    MENUITEM "Cu&t\tShift+Del", 57793
    MENUITEM "&Copy\tCtrl+Ins", 57794
    MENUITEM "&Paste Insert\tShift+Ins", 57795
    MENUITEM "Paste &Over", 57796
    MENUITEM "&Mute", 57803
    MENUITEM "Select &All", 57806
    MENUITEM SEPARATOR
    MENUITEM "&Gain Adjust", 57804
    MENUITEM "DC O&ffset", 57805
    MENUITEM "D&ynamic DC Offset", 57869
    MENUITEM "&Filter...", 57797
    MENUITEM SEPARATOR
    MENUITEM "P&lay", 57798
    POPUP "Play Special"
        MENUITEM "&Half Speed", 57799
        MENUITEM "&Double Speed", 57800
        MENUITEM "&Arbitrary Speed", 57807
        MENUITEM "&Loop\tCtrl+L", 57801
    END
    MENUITEM SEPARATOR
    MENUITEM "Set File Position...", 57873
END
POPUP "&Mode"
    MENUITEM "Real Time", 57773
    MENUITEM "Recorder", 57774
    MENUITEM "Post Process", 57775
END
POPUP "&Options"
    MENUITEM "Processing Settings...\tF4", 57769
    MENUITEM "Plot Options...\tF5", 57768
    MENUITEM SEPARATOR
    MENUITEM "System Check...\tF6", 57876
END
POPUP "&Plots"
    MENUITEM "Select Single Channel Plots...", 57770
    MENUITEM "Select Composite Channel Plots...", 57771
    MENUITEM SEPARATOR
    POPUP "Toolbars"
        MENUITEM "Main Toolbar", 57808
        MENUITEM "Secondary Toolbar", 57809
        MENUITEM "Lower Statusbar", 57810
    END
    POPUP "Plot Toolbars"
        MENUITEM "Time Series", 57838
        MENUITEM "Spectrum", 57839
        MENUITEM "Phase", 57840
        MENUITEM "Spectrogram", 57841
        MENUITEM "3-D Surface", 57842
    END
    MENUITEM SEPARATOR
    MENUITEM "Autoscale All Plots", 57868
    MENUITEM "&Close All Plots", 57767
END
POPUP "&Utilities"
    MENUITEM "Signal Generator...\tF11", 57811
    MENUITEM "Save Signal To Wave File...", 57812
    MENUITEM SEPARATOR
    MENUITEM "Peak Frequency", 57813
    MENUITEM "Peak Amplitude", 57814
    MENUITEM "Total Power", 57815
    MENUITEM "Total Harmonic Distortion (THD)", 57816
    MENUITEM "Total Harmonic Distortion + Noise (THD+N)", 57817
    MENUITEM "Intermodulation Distortion (IMD)", 57819
    MENUITEM "Signal to Noise Ratio (SNR)", 57820
    MENUITEM "Signal to Noise And Distortion (SINAD)", 57821
    MENUITEM "Equivalent Noise Level (LEQ)", 57855
    MENUITEM "Tachometer RPM", 57865
    MENUITEM "Sound Power Level", 57866
    MENUITEM SEPARATOR
    MENUITEM "Total Harmonic Distortion + Noise (THD+N) vs Frequency", 57818
    MENUITEM "Rever&beration Time (RT-60)", 57823
    MENUITEM SEPARATOR
    POPUP "&Data Logging"
        MENUITEM "&On", 57826
        MENUITEM "O&ff", 57827
        MENUITEM "&Setup...", 57828
    END
    MENUITEM SEPARATOR
    MENUITEM "Close All Utilities", 57830
END
POPUP "&Config"
    MENUITEM "&Save Configuration...\tF7", 57785
    MENUITEM "&Load Configuraion...\tF8", 57786
END
POPUP "&Window"
    MENUITEM "Close All &Plots", 57767
    MENUITEM "Close All Utilities", 57830
END
POPUP "&Help"
    MENUITEM "&Contents...", 57831
    MENUITEM "Getting Started", 57862
    MENUITEM "&Search for Help on...", 57832
    MENUITEM SEPARATOR
    MENUITEM "Release Notes...", 57835
    MENUITEM "Go to Website...", 57836
    MENUITEM "License Agreement...", 57837
    MENUITEM SEPARATOR
    MENUITEM "&About...\tF1", 57784
END
)MENU";

// Key sequences in Qt's portable text form, then the command.
constexpr std::string_view kMainAccelerators = R"(
F1 57784
F4 57769
F5 57768
F6 57876
F7 57785
F8 57786
F11 57811
Ctrl+O 57776
Ctrl+S 57777
Ctrl+P 57782
Ctrl+Z 57802
Ctrl+Ins 57794
Shift+Del 57793
Shift+Ins 57795
Ctrl+L 57801
Alt+R 57765
Alt+S 57766
)";

std::span<const std::uint8_t> Bytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
} // namespace

void RegisterMainMenu()
{
    RegisterResource(ResType::Menu, IDR_MAINFRAME, Bytes(kMainMenu));
    RegisterResource(ResType::Accelerator, IDR_MAINFRAME, Bytes(kMainAccelerators));
}
