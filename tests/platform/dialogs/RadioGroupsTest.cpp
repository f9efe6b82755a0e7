// The radio groups of every dialog template in the resources, found by clicking each radio
// with the mouse: a template whose groups change shows here.
#include "DialogTestSupport.h"

#include "platform/ui/DialogTemplate.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace dlgtest;

namespace {
std::string Describe(const std::vector<std::vector<int>>& groups)
{
    std::ostringstream s;
    for (size_t g = 0; g < groups.size(); ++g) {
        s << (g ? " | " : "");
        for (size_t i = 0; i < groups[g].size(); ++i)
            s << (i ? " " : "") << groups[g][i];
    }
    return s.str();
}

// Every template with radio buttons, by id (or name) and caption, and its groups.
std::map<std::string, std::string> ActualGroups()
{
    std::map<std::string, std::string> out;
    auto& reg = dlg::detail::Templates();
    std::vector<std::pair<std::string, const DialogTemplate*>> all;
    for (auto& [id, t] : reg.byId)
        all.emplace_back(std::to_string(id), &t);
    for (auto& [name, t] : reg.byName)
        all.emplace_back(t.name, &t);
    for (auto& [key, t] : all)
        if (const auto groups = QtClickedRadioGroups(*t); !groups.empty())
            out[key + " " + t->caption] = Describe(groups);
    return out;
}
} // namespace

// A group runs from one group-style control (marked Group(), a group box, a static text) to
// the next; an edit, combo or check box between two radios does not end it.
TEST(RadioGroups, AGroupRunsFromOneGroupStyleControlToTheNext)
{
    EnsureApp();
    using namespace dlg;
    const DialogTemplate t{9101, "Groups",
                           Column({RadioButton(11, "a"), Edit(90), RadioButton(12, "b"), ComboDropList(91),
                                   CheckBox(92, "c"), RadioButton(13, "c"), Label("Then"), RadioButton(21, "d"),
                                   RadioButton(22, "e"), RadioButton(31, "f").Group(), RadioButton(32, "g"),
                                   Group("Box", {RadioButton(41, "h"), RadioButton(42, "i")}), RadioButton(43, "j"),
                                   Row({RadioButton(51, "k").InGroup("x"), Edit(93), Label("gap")}),
                                   RadioButton(52, "l").InGroup("x")})};
    EXPECT_EQ(Describe(QtClickedRadioGroups(t)), "11 12 13 | 21 22 | 31 32 | 41 42 43 | 51 52");
}

TEST(RadioGroups, EveryTemplatesGroupsAreTheOnesItsDialogMeans)
{
    EnsureApp();
    RegisterBuiltInResources();
    const std::map<std::string, std::string> expected = {
        {"112 Time Series", "1003 1004 | 1020 1021"},
        {"113 Spectrum", "1023 1024 1025 | 1020 1021"},
        {"114 Phase", "1020 1021"},
        {"115 Spectrogram", "1040 1041 | 1053 1055 1049 1051 | 1046 1047 1048 | 1056 1057 | 1020 1021"},
        {"116 3-D Surface", "1040 1041 | 1046 1054 1048 1047 | 1020 1021"},
        {"118 Composite Overlay Setup", "1110 1111 | 1118 1119 1121 1123 1125 1127 | 1129 1131 1133 1135 1137 1139"},
        {"123 Triggering Options", "2503 2504 | 2505 2506 | 2508 2509"},
        {"125 Output", "1885 1886"},
        {"131 Select Data Source", "1531 1532"},
        {"136 Run Control Options", "2600 2601 2602"},
        {"162 File Import Options", "2010 2011 | 2014 2015 2016"},
        {"173 Digital Filtering (FIR)", "2079 2080 2081 2082 2083"},
        {"177 Reverberation Options", "2148 2149 2150 | 2152 2153 2154"},
        {"179 THD+N vs Frequency Options", "2121 2123"},
        {"181 Set Current File Position", "2172 2173"},
        {"242 Composite Measurement Settings", "1489 1490 1491 1492 1493 1494 1495 1496 | 1505 1506 1507 1508 1509 1510 1511 1512"},
        {"3101 Noise Burst Settings", "1888 1889"},
        {"3104 IMD Tone Settings", "1930 1931 1932"},
        {"3105 Frequency Sweep Settings", "1960 1961 | 1962 1963"},
        {"3107 Sawtooth Settings", "1896 1897"},
        {"3113 Frequency Step Settings", "1967 1966 | 1962 1969"},
        {"3120 Copy Processing Settings", "2042 2043 2044 2045 2046 2047 2048 2049"},
        {"3121 Calibration Parameters", "1648 1649 1662"},
        {"3250 Leq Analysis Options", "2111 2112"},
        {"3252 File Options", "2030 2031"},
        {"3253 Channel", "2033 2034"},
    };
    const std::map<std::string, std::string> actual = ActualGroups();
    for (const auto& [dialog, groups] : expected) {
        const auto it = actual.find(dialog);
        ASSERT_NE(it, actual.end()) << dialog << " has no radio buttons any more";
        EXPECT_EQ(it->second, groups) << dialog;
    }
    for (const auto& [dialog, groups] : actual)
        EXPECT_TRUE(expected.count(dialog)) << dialog << " has radio groups not listed: " << groups;
}
