#include "wave/ExportProcess.h"

#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "records/ChannelCalibration.h"
#include "platform/core/FileSystem.h"
#include "platform/core/MessageBox.h"
#include "wave/TSampleBuffer.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// The export's own messages carry the product name rather than the application title.
constexpr const char* kExportCaption = "QLM436";

std::int32_t Saturate(double value, double lo, double hi)
{
    if (!(value >= lo))
        return static_cast<std::int32_t>(lo);
    if (value > hi)
        return static_cast<std::int32_t>(hi);
    return static_cast<std::int32_t>(std::trunc(value));
}

} // namespace

TExportProcess::TExportProcess(TWaveFile* wave, std::string output, const ExportSettings& settings)
    : wave_(wave), output_(std::move(output)), settings_(settings), separator_(SystemDecimalSeparator())
{
    if (settings_.ChannelCount == 0)
        settings_.ChannelCount = 1;
    if (wave_ == nullptr)
        return;
    end_ = wave_->GetEndFrame();
    total_ = end_;
    buffer_.reset(new (std::nothrow)
                      TSampleBuffer(static_cast<DWORD>(settings_.ChannelCount) * kBlockFrames, wave_->GetFormat(), 1,
                                    false));
    if (!buffer_ || buffer_->IsError()) {
        buffer_.reset();
        MessageBoxA(nullptr, "insufficient memory for export process", kExportCaption, MB_OK);
        return;
    }
    if (settings_.Format == ExportSettings::kAsciiFloat || settings_.Format == ExportSettings::kBinaryFloat) {
        ChannelCalibration record;
        record.Clear();
        wave_->GetChannelCalibration(record, 0);
        buffer_->SetScaling(&record);
    }
}

TExportProcess::~TExportProcess()
{
    Discard();
}

void TExportProcess::Discard()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        DeleteFileA(temp_.c_str());
        temp_.clear();
    }
}

void TExportProcess::Fail()
{
    Discard();
    state_ = State::Failed;
}

void TExportProcess::Cancel()
{
    if (state_ == State::Done || state_ == State::Failed)
        return;
    Discard();
    state_ = State::Cancelled;
}

bool TExportProcess::Start()
{
    if (state_ != State::Created)
        return false;
    progress_ = 0;
    if (wave_ == nullptr || !buffer_) {
        state_ = State::Failed;
        return false;
    }
    // Written beside the target, so the final rename stays on one file system.
    std::string folder = output_;
    std::size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash + 1);
    if (FolderExists(folder))
        temp_ = MakeTempFile(folder, "wav");
    if (!temp_.empty())
        file_ = std::fopen(temp_.c_str(), "wb");
    if (file_ == nullptr) {
        AfxMessageBox("Failure opening export file", MB_ICONSTOP);
        Fail();
        return false;
    }
    state_ = State::Exporting;
    return true;
}

bool TExportProcess::WriteSample(DWORD index)
{
    const TPcmFormat& format = buffer_->GetFormat();
    const double u = buffer_->GetSample(index, false);
    unsigned char b[4];
    switch (settings_.Format) {
    case ExportSettings::kAsciiInteger: {
        std::string text = std::to_string(Saturate(u, INT32_MIN, INT32_MAX));
        text.push_back('\n');
        return std::fputs(text.c_str(), file_) >= 0;
    }
    case ExportSettings::kAsciiFloat: {
        std::string text = FormatFixed(buffer_->GetSample(index, true), 6);
        if (separator_ == ',')
            std::replace(text.begin(), text.end(), '.', ',');
        text.push_back('\n');
        return std::fputs(text.c_str(), file_) >= 0;
    }
    case ExportSettings::kBinary8: {
        // Unsigned bytes centred on 127: full scale of the wave maps to 0..254.
        double v = format.BytesPerSample == 1 ? u + 127.0 : u * 127.0 / format.MaxValue + 127.0;
        b[0] = static_cast<unsigned char>(Saturate(v, 0, 255));
        return std::fwrite(b, 1, 1, file_) == 1;
    }
    case ExportSettings::kBinary16: {
        // Wider samples keep their top 16 bits, 8-bit ones move up: full scale stays full
        // scale, as in the 8-bit export (cut to 16 bits, a 24-bit file clipped nearly all).
        const int shift = 8 * (static_cast<int>(format.BytesPerSample) - 2);
        const double scaled = shift >= 0 ? std::floor(std::ldexp(u, -shift)) : std::ldexp(u, -shift);
        auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(Saturate(scaled, -32768, 32767)));
        b[0] = static_cast<unsigned char>(v);
        b[1] = static_cast<unsigned char>(v >> 8);
        return std::fwrite(b, 1, 2, file_) == 2;
    }
    case ExportSettings::kBinary32: {
        auto v = static_cast<std::uint32_t>(Saturate(u, INT32_MIN, INT32_MAX));
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<unsigned char>(v >> (8 * i));
        return std::fwrite(b, 1, 4, file_) == 4;
    }
    default: {
        auto v = std::bit_cast<std::uint32_t>(static_cast<float>(buffer_->GetSample(index, true)));
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<unsigned char>(v >> (8 * i));
        return std::fwrite(b, 1, 4, file_) == 4;
    }
    }
}

bool TExportProcess::Step()
{
    if (state_ != State::Exporting)
        return false;
    if (position_ < end_) {
        const DWORD remaining = end_ - position_;
        const DWORD n = std::min(remaining, kBlockFrames);
        if (!wave_->ReadSamples(buffer_->GetSamplePtr(0), position_, n, 0)) {
            MessageBoxA(nullptr, "Failure reading time series segment for export", kExportCaption, MB_OK);
            Fail();
            return false;
        }
        buffer_->CompactChannels();
        for (DWORD i = 0; i < n / settings_.ChannelCount; ++i) {
            if (!WriteSample(i)) {
                AfxMessageBox("Failure writing export file", MB_ICONSTOP);
                Fail();
                return false;
            }
        }
        progress_ = static_cast<int>(100 - static_cast<std::uint64_t>(remaining) * 100 / total_);
        position_ += n;
        if (position_ < end_)
            return true;
    }
    const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || !MoveFileA(temp_.c_str(), output_.c_str())) {
        AfxMessageBox("Failure writing export file", MB_ICONSTOP);
        Fail();
        return false;
    }
    temp_.clear();
    progress_ = 100;
    state_ = State::Done;
    return false;
}
