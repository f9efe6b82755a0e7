#include "wave/CompositeWave.h"

#include "wave/ChannelFileState.h"
#include "platform/core/MessageBox.h"
#include "wave/FileGroup.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

int FindCompositeReference(const ChannelFileState* files)
{
    int reference = -1;
    for (int c = 0; c < kFileGroupChannels && reference < 0; ++c)
        if (files[c].File != nullptr)
            reference = c;
    if (reference < 0) {
        AfxMessageBox("Source files not available - you must first open a File Set", MB_OK);
        return -1;
    }
    if (files[reference].File->GetEndFrame() == 0) {
        AfxMessageBox("The source files are empty - cannot create composite file", MB_OK);
        return -1;
    }
    return reference;
}

bool BuildCompositeWave(const ChannelFileState* files, int reference, const std::string& path, float gainDb,
                        const std::string& tempDir, const std::function<void(int percent)>& progress)
{
    if (reference < 0 || reference >= kFileGroupChannels || files[reference].File == nullptr)
        return false;
    const TPcmFormat format = files[reference].File->GetFormat();
    const DWORD length = files[reference].File->GetEndFrame();
    const double factor = std::pow(10.0, static_cast<double>(gainDb) / 20.0);
    auto report = [&](const char* text) {
        char buf[600];
        std::snprintf(buf, sizeof buf, text, path.c_str());
        AfxMessageBox(buf, MB_ICONSTOP);
        return false;
    };

    std::unique_ptr<TWaveFile> composite(new (std::nothrow) TWaveFile(length, format, tempDir));
    if (!composite || composite->IsError())
        return report("Insufficient memory to create the composite file %s");

    // One piece of each source's first channel at a time.
    struct Source {
        TWaveFile* file;
        std::unique_ptr<TSampleBuffer> buffer;
        std::int32_t zero;
    };
    std::vector<Source> sources;
    for (int c = 0; c < kFileGroupChannels; ++c) {
        TWaveFile* file = files[c].File.get();
        if (file == nullptr)
            continue;
        TPcmFormat f = file->GetFormat();
        f.Set(f.SampleRate, 1, f.BytesPerSample);
        std::unique_ptr<TSampleBuffer> buffer(new (std::nothrow) TSampleBuffer(TWaveFile::kPieceFrames, f, 1, false));
        if (!buffer || buffer->IsError())
            return report("Insufficient memory to create the composite file %s");
        sources.push_back({file, std::move(buffer), f.ZeroValue});
    }

    const double maximum = format.MaxValue, minimum = format.MinValue;
    for (DWORD at = 0; at < length; at += TWaveFile::kPieceFrames) {
        const DWORD n = std::min(TWaveFile::kPieceFrames, length - at);
        std::vector<double> sums(n, 0.0);
        for (Source& s : sources) {
            // A file shorter than the reference adds nothing past its end.
            DWORD end = s.file->GetEndFrame();
            DWORD m = at < end ? std::min(n, end - at) : 0;
            if (m == 0)
                continue;
            if (!s.file->ReadSamples(s.buffer->GetSamplePtr(0), at, m, 0))
                return report("Failure reading the source files of the composite file %s");
            for (DWORD i = 0; i < m; ++i)
                sums[i] += s.buffer->GetSample(i, false) + s.zero;
        }
        for (DWORD i = 0; i < n; ++i) {
            if (progress && (at + i) % 100 == 0)
                progress(static_cast<int>(static_cast<std::uint64_t>(at + i) * 100 / length));
            // Rounded to the nearest value and limited to the range instead of wrapping around.
            double v = std::clamp(std::floor(sums[i] * factor + 0.5), minimum, maximum);
            if (!composite->SetSample(static_cast<std::int32_t>(v), at + i, 0))
                return report("Failure writing the composite file %s");
        }
    }
    composite->SetFileName(path);
    if (!composite->Save())
        return report("Failure writing the composite file %s");
    return true;
}
