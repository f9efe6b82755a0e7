// Shared pieces of the dialog tests of the file commands: the Qt application and resources,
// a scratch folder, controls by id, and wave files written by Python's wave module.
#pragma once

#include "platform/core/Resources.h"
#include "platform/dialogs/DialogTestSupport.h"
#include "support/ScriptedUser.h"
#include "TestScratch.h"

#include <gtest/gtest.h>

#include "support/QtTestAccess.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <sstream>
#include <string>
#include <vector>

namespace filestest {

using namespace dlgtest;

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        RegisterBuiltInResources();
        CDialog::ClearModalScripts();
        dir = apptest::FreshScratchFolder("files");
    }
    void TearDown() override
    {
        EXPECT_EQ(CDialog::PendingModalScripts(), 0u);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

inline std::string Text(CWnd& dlg, int id)
{
    std::string s;
    static_cast<CDialog&>(dlg).GetDlgItemText(id, s);
    return s;
}

inline void SetText(CWnd& dlg, int id, const std::string& text)
{
    static_cast<CDialog&>(dlg).SetDlgItemText(id, text);
}

inline bool Enabled(CWnd& dlg, int id)
{
    CWnd* w = dlg.GetDlgItem(id);
    return w != nullptr && w->IsWindowEnabled();
}

inline bool Checked(CWnd& dlg, int id) { return static_cast<CDialog&>(dlg).IsDlgButtonChecked(id) != 0; }

// Runs a Python script; false when it fails.
inline bool Python(const std::string& code) { return apptest::RunPython("files", code); }

// A mono wave file of 16-bit samples written by Python's wave module.
inline bool WritePythonWave(const std::string& path, int rate, const std::vector<int>& samples, int width = 2)
{
    std::ostringstream list;
    for (int s : samples)
        list << s << ",";
    std::ostringstream code;
    code << "import wave,struct\n"
         << "w=wave.open(\"" << path << "\",\"wb\")\n"
         << "w.setnchannels(1);w.setsampwidth(" << width << ");w.setframerate(" << rate << ")\n"
         << "v=[" << list.str() << "]\n";
    if (width == 2)
        code << "w.writeframes(struct.pack(\"<%dh\"%len(v),*v))\n";
    else
        code << "w.writeframes(b\"\".join(int(x).to_bytes(3,\"little\",signed=True) for x in v))\n";
    code << "w.close()\n";
    return Python(code.str());
}

// The samples, rate and width of a wave file as Python's wave module reads it.
struct PyWave {
    int rate = 0;
    int width = 0;
    int channels = 0;
    std::vector<long> samples;
};

inline PyWave ReadPythonWave(const std::string& path, const std::string& scratch)
{
    PyWave out;
    std::ostringstream code;
    code << "import wave\n"
         << "w=wave.open(\"" << path << "\",\"rb\")\n"
         << "f=open(\"" << scratch << "\",\"w\")\n"
         << "n=w.getsampwidth();f.write(\"%d %d %d\\n\"%(w.getframerate(),n,w.getnchannels()))\n"
         << "d=w.readframes(w.getnframes())\n"
         << "[f.write(\"%d\\n\"%int.from_bytes(d[i:i+n],\"little\",signed=True)) for i in range(0,len(d),n)]\n"
         << "f.close()\n";
    if (!Python(code.str()))
        return out;
    std::ifstream in(scratch);
    in >> out.rate >> out.width >> out.channels;
    long v;
    while (in >> v)
        out.samples.push_back(v);
    return out;
}

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace filestest
