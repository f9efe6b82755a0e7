// One window object re-set in length and type gives the tables scipy.signal.get_window gives
// for the same definitions, with nothing of the previous window left in it.
#include "numerics/TSmoothing.h"
#include "support/NeedsTool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string PythonWithScipy()
{
    for (const char* p : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(p) + " -c 'import numpy, scipy' >/dev/null 2>&1").c_str()) == 0)
            return p;
    return {};
}

// scipy's windows by our type, one line each: "<type> <n> <values...>". The Gaussian table
// mirrors its first half, so only that half is scipy's periodic window.
std::map<std::pair<int, int>, std::vector<double>> ScipyWindows(const std::string& python, const std::vector<int>& sizes)
{
    const auto dir = std::filesystem::temp_directory_path();
    const std::string script = (dir / "durnex_windows.py").string();
    const std::string out = (dir / "durnex_windows.txt").string();
    std::ofstream(script) << "import sys, numpy as np\n"
                             "from scipy.signal import get_window\n"
                             "rows = []\n"
                             "for n in [int(a) for a in sys.argv[2:]]:\n"
                             "    w = {0: get_window('bartlett', n, fftbins=False),\n"
                             "         1: get_window('blackman', n, fftbins=False),\n"
                             "         2: get_window(('exponential', 0, (n - 1) / 10.0), n, fftbins=True),\n"
                             "         5: get_window('hamming', n, fftbins=False),\n"
                             "         6: get_window('hann', n, fftbins=False),\n"
                             "         7: get_window(('kaiser', 5.0 * np.pi), n, fftbins=True),\n"
                             "         11: get_window(('gaussian', (n // 2) / 5.0), n, fftbins=True)[: n // 2]}\n"
                             "    for t, v in w.items():\n"
                             "        rows.append('%d %d ' % (t, n) + ' '.join(repr(float(x)) for x in v))\n"
                             "open(sys.argv[1], 'w').write('\\n'.join(rows) + '\\n')\n";
    std::string command = python + " " + script + " " + out;
    for (int n : sizes)
        command += " " + std::to_string(n);
    std::map<std::pair<int, int>, std::vector<double>> windows;
    if (std::system(command.c_str()) != 0)
        return windows;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream row(line);
        int type = 0, n = 0;
        row >> type >> n;
        std::vector<double> v;
        for (double x; row >> x;)
            v.push_back(x);
        windows[{type, n}] = v;
    }
    std::filesystem::remove(script);
    std::filesystem::remove(out);
    return windows;
}

} // namespace

TEST(WindowAgainstScipy, ResetLengthsAndTypesGiveScipysTablesAndNothingOfTheOldOne)
{
    const std::string python = PythonWithScipy();
    if (python.empty())
        DURNEX_SKIP_WITHOUT("python3 with numpy and scipy is needed");
    const std::vector<int> sizes = {16, 1024};
    const auto scipy = ScipyWindows(python, sizes);
    ASSERT_EQ(scipy.size(), 14u);

    // One object walks every size and type: a table that kept coefficients of the window
    // before it would show here.
    TSmoothing w(8, TSmoothing::kFlattop, TSmoothing::kNoCorrection);
    for (int n : sizes) {
        w.SetLength(static_cast<UINT>(n));
        ASSERT_EQ(w.GetLength(), static_cast<UINT>(n));
        for (const auto& [key, expected] : scipy) {
            if (key.second != n)
                continue;
            const WORD type = static_cast<WORD>(key.first);
            w.SetType(TSmoothing::kFlattop); // a table full of large coefficients first
            w.SetType(type);
            ASSERT_EQ(w.GetType(), type);
            ASSERT_EQ(w.error, 0);
            const float* t = w.GetTable();
            // The Kaiser series stops at a relative term of 1e-6; the others are float roundings.
            const double tolerance = type == TSmoothing::kKaiser ? 5e-6 : 1e-6;
            for (std::size_t i = 0; i < expected.size(); ++i)
                ASSERT_NEAR(t[i], expected[i], tolerance) << "type " << type << " n " << n << " i " << i;
            if (type == TSmoothing::kGaussian)
                for (int i = 0; i < n / 2; ++i)
                    ASSERT_EQ(t[n - 1 - i], t[i]) << i;
        }
        // Uniform computes nothing and is never applied: its table is as a new one's, all zero.
        w.SetType(TSmoothing::kUniform);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(w.GetTable()[i], 0.0f) << i;
        std::vector<float> data(static_cast<std::size_t>(n), 0.25f);
        w.Apply(data.data());
        EXPECT_EQ(data, std::vector<float>(static_cast<std::size_t>(n), 0.25f));
    }

    // A corrected window keeps its correction through a change of type: Hanning's amplitude
    // factor is 2.
    TSmoothing corrected(1024, TSmoothing::kBlackman, TSmoothing::kAmplitudeCorrection);
    corrected.SetType(TSmoothing::kHanning);
    const auto& hann = scipy.at({TSmoothing::kHanning, 1024});
    for (int i = 0; i < 1024; ++i)
        ASSERT_NEAR(corrected.GetTable()[i], 2.0 * hann[static_cast<std::size_t>(i)], 2e-6) << i;
}
