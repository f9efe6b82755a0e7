// Helpers of the import, export, gain and file-group tests: wave files written and read by
// Python's wave module (an independent reader and writer), and text files.
#pragma once

#include "WaveTestSupport.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace wavetest {

struct PyWave {
    bool ok = false;
    int channels = 0;
    int width = 0;
    int rate = 0;
    std::vector<long long> samples; // interleaved, signed (8-bit as stored, 0..255)
};

// Writes interleaved samples with Python's wave module.
inline bool WritePyWave(const std::string& path, int rate, int width, int channels,
                        const std::vector<long long>& samples)
{
    std::string list = path + ".samples";
    {
        std::ofstream out(list);
        for (long long s : samples)
            out << s << '\n';
    }
    std::string script = path + ".py";
    {
        std::ofstream py(script);
        py << "import wave, sys\n"
              "vals = [int(l) for l in open(sys.argv[2]) if l.strip()]\n"
              "w = int(sys.argv[4])\n"
              "data = bytearray()\n"
              "for v in vals:\n"
              "    data += (v & 0xFF).to_bytes(1, 'little') if w == 1 else int(v).to_bytes(w, 'little', signed=True)\n"
              "f = wave.open(sys.argv[1], 'wb')\n"
              "f.setnchannels(int(sys.argv[5])); f.setsampwidth(w); f.setframerate(int(sys.argv[3]))\n"
              "f.writeframes(bytes(data)); f.close()\n";
    }
    int r = RunCommand("python3 '" + script + "' '" + path + "' '" + list + "' " + std::to_string(rate) + " " +
                       std::to_string(width) + " " + std::to_string(channels));
    std::remove(list.c_str());
    std::remove(script.c_str());
    return r == 0;
}

// Reads a wave file with Python's wave module.
inline PyWave ReadPyWave(const std::string& path)
{
    PyWave w;
    std::string out = path + ".read";
    std::string script = path + ".rpy";
    {
        std::ofstream py(script);
        py << "import wave, sys\n"
              "f = wave.open(sys.argv[1], 'rb')\n"
              "n, c, r = f.getsampwidth(), f.getnchannels(), f.getframerate()\n"
              "d = f.readframes(f.getnframes())\n"
              "o = open(sys.argv[2], 'w')\n"
              "o.write('%d %d %d\\n' % (c, n, r))\n"
              "for i in range(0, len(d), n):\n"
              "    o.write('%d\\n' % (d[i] if n == 1 else int.from_bytes(d[i:i+n], 'little', signed=True)))\n";
    }
    int r = RunCommand("python3 '" + script + "' '" + path + "' '" + out + "' 2>/dev/null");
    std::remove(script.c_str());
    if (r != 0)
        return w;
    std::ifstream in(out);
    in >> w.channels >> w.width >> w.rate;
    long long v;
    while (in >> v)
        w.samples.push_back(v);
    std::remove(out.c_str());
    w.ok = true;
    return w;
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace wavetest
