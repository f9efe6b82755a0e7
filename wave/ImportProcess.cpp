#include "wave/ImportProcess.h"

#include "platform/core/MessageBox.h"
#include "wave/TWaveData.h"
#include "wave/TWaveFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

namespace {

std::string Printf(const char* format, const std::string& text)
{
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, text.c_str());
    return buf;
}

// The end-of-file mark some Windows programs still append counts as blank.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a'; }

// A signed decimal integer at the start of the field (after blanks); what follows the digits
// is ignored, as a C scanf would. Saturates at the 32-bit range.
bool ParseIntegerField(const char* p, double& value)
{
    while (*p == ' ')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = std::min<long long>(v * 10 + (*p - '0'), 1LL << 32);
    if (negative)
        v = -v;
    value = static_cast<double>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    return true;
}

// A decimal floating-point number at the start of the field (after blanks), read the same in
// every locale. Infinite and not-a-number text is no number.
bool ParseFloatField(const char* p, double& value)
{
    while (*p == ' ')
        ++p;
    if (*p == '+')
        ++p;
    const char* end = p + std::strlen(p);
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(p, end, v, std::chars_format::general);
    if (ec != std::errc() || ptr == p || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace

TImportProcess::TImportProcess(std::string source, std::string destination, const ImportSettings& settings,
                               const std::string& tempDir)
    : source_(std::move(source)), destination_(std::move(destination)), settings_(settings)
{
    WORD bytes = settings_.BytesPerSample == 3 ? 3 : 2;
    format_ = TPcmFormat(settings_.SampleRate, 1, bytes);
    calibration_.Clear();

    block_.reset(new (std::nothrow) TWaveData(kBlockFrames, format_));
    if (!block_ || block_->IsError()) {
        block_.reset();
        AfxMessageBox("FileImport: Insufficient Memory", MB_ICONSTOP);
    }
    wave_.reset(new (std::nothrow) TWaveFile(format_, false, tempDir));
    if (wave_ && wave_->IsError())
        wave_.reset();
    if (wave_)
        wave_->SetFileName(destination_);
}

TImportProcess::~TImportProcess()
{
    CloseSource();
    // A wave not saved takes its working copy with it.
    wave_.reset();
}

void TImportProcess::CloseSource()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void TImportProcess::Fail()
{
    CloseSource();
    wave_.reset();
    state_ = State::Failed;
}

void TImportProcess::Cancel()
{
    if (state_ == State::Done || state_ == State::Failed)
        return;
    CloseSource();
    wave_.reset();
    state_ = State::Cancelled;
}

bool TImportProcess::Start()
{
    if (state_ != State::Created)
        return false;
    progress_ = 0;
    status_ = "Examining Import File...";
    if (!block_) {
        state_ = State::Failed;
        return false;
    }
    if (!wave_) {
        AfxMessageBox(Printf("Failure creating the wave file %s for the import", destination_), MB_ICONSTOP);
        state_ = State::Failed;
        return false;
    }
    file_ = std::fopen(source_.c_str(), "rb");
    if (file_ == nullptr) {
        AfxMessageBox(Printf("Failure opening import data file: %s", source_), MB_ICONSTOP);
        Fail();
        return false;
    }
    if (!SkipHeader() || !Scan()) {
        Fail();
        return false;
    }
    std::rewind(file_);
    lineNumber_ = valueNumber_ = 0;
    if (!SkipHeader()) {
        Fail();
        return false;
    }
    done_ = 0;
    status_ = "Importing data...";
    state_ = State::Importing;
    return true;
}

bool TImportProcess::SkipHeader()
{
    if (!settings_.HasHeader || settings_.HeaderSize <= 0)
        return true;
    if (settings_.IsText()) {
        std::int32_t lines = 0;
        int c;
        while (lines < settings_.HeaderSize && (c = std::fgetc(file_)) != EOF)
            if (c == '\n')
                ++lines;
        lineNumber_ = static_cast<unsigned long long>(lines);
        return true;
    }
    // A header longer than the file leaves nothing to read, which the scan reports.
    return std::fseek(file_, settings_.HeaderSize, SEEK_SET) == 0;
}

bool TImportProcess::ReadLine()
{
    line_.clear();
    bool any = false;
    int c;
    while ((c = std::fgetc(file_)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (line_.size() < kLineLength - 1)
            line_.push_back(static_cast<char>(c));
    }
    if (!any)
        return false;
    if (!line_.empty() && line_.back() == '\r')
        line_.pop_back();
    // A UTF-8 byte-order mark before the first line is no part of its text.
    if (lineNumber_ == 0 && line_.rfind("\xEF\xBB\xBF", 0) == 0)
        line_.erase(0, 3);
    ++lineNumber_;
    return true;
}

TImportProcess::Read TImportProcess::ReadTextValue(double& value)
{
    const DWORD column = std::clamp<DWORD>(settings_.Column, 1, ImportSettings::kMaxColumn);
    for (;;) {
        if (!ReadLine())
            return Read::End;
        // Empty lines (a blank line at the end of a file, say) hold no sample.
        if (std::all_of(line_.begin(), line_.end(), IsBlank))
            continue;
        // Fields are separated by runs of tabs.
        std::size_t start = 0;
        DWORD field = 0;
        std::string text;
        bool found = false;
        while (start < line_.size()) {
            while (start < line_.size() && line_[start] == '\t')
                ++start;
            if (start >= line_.size())
                break;
            std::size_t stop = line_.find('\t', start);
            if (stop == std::string::npos)
                stop = line_.size();
            if (++field == column) {
                text = line_.substr(start, stop - start);
                found = true;
                break;
            }
            start = stop;
        }
        if (!found)
            return Read::Malformed;
        if (settings_.Format == ImportSettings::kAsciiFloat) {
            std::replace(text.begin(), text.end(), ',', '.');
            if (!ParseFloatField(text.c_str(), value))
                return Read::Malformed;
        } else if (!ParseIntegerField(text.c_str(), value)) {
            return Read::Malformed;
        }
        return Read::Value;
    }
}

TImportProcess::Read TImportProcess::ReadBinaryValue(double& value)
{
    std::size_t size = 1;
    switch (settings_.Format) {
    case ImportSettings::kBinary8:
        size = 1;
        break;
    case ImportSettings::kBinary16:
        size = 2;
        break;
    default:
        size = 4;
        break;
    }
    unsigned char b[4] = {};
    std::size_t got = std::fread(b, 1, size, file_);
    if (got == 0)
        return Read::End;
    if (got < size)
        return Read::Truncated;
    std::uint32_t u = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                      (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    switch (settings_.Format) {
    case ImportSettings::kBinary8:
        value = b[0];
        break;
    case ImportSettings::kBinary16:
        value = static_cast<std::int16_t>(static_cast<std::uint16_t>(u));
        break;
    case ImportSettings::kBinary32:
        value = static_cast<std::int32_t>(u);
        break;
    default: {
        float f = std::bit_cast<float>(u);
        if (!std::isfinite(f))
            return Read::Malformed;
        value = f;
        break;
    }
    }
    return Read::Value;
}

TImportProcess::Read TImportProcess::ReadValue(double& value)
{
    Read r = settings_.IsText() ? ReadTextValue(value) : ReadBinaryValue(value);
    if (r == Read::Value)
        ++valueNumber_;
    return r;
}

void TImportProcess::ReportMalformed(Read why)
{
    char buf[1400];
    if (why == Read::Truncated) {
        std::snprintf(buf, sizeof buf,
                      "The import file %s ends in an incomplete sample: after the header its size is not a "
                      "whole number of samples.  Nothing was imported.",
                      source_.c_str());
    } else if (settings_.IsText()) {
        std::snprintf(buf, sizeof buf,
                      "Line %llu of the import file %s holds no number in column %u.  Nothing was imported.",
                      lineNumber_, source_.c_str(),
                      static_cast<unsigned>(std::clamp<DWORD>(settings_.Column, 1, ImportSettings::kMaxColumn)));
    } else {
        std::snprintf(buf, sizeof buf,
                      "Value %llu of the import file %s is not a number.  Nothing was imported.", valueNumber_ + 1,
                      source_.c_str());
    }
    AfxMessageBox(buf, MB_ICONSTOP);
}

bool TImportProcess::Scan()
{
    // The largest count whose samples, header and calibration chunk still fit a wave file.
    const std::uint64_t maxCount = (0xFFFFFFF0ull - 44 - 8 - WaveCalibrationBlock::kSize) / format_.BytesPerSample;
    std::uint64_t count = 0;
    double smallest = 1e13, largest = -1e13;
    for (;;) {
        double v = 0.0;
        Read r = ReadValue(v);
        if (r == Read::End)
            break;
        if (r != Read::Value) {
            ReportMalformed(r);
            return false;
        }
        smallest = std::min(smallest, v);
        largest = std::max(largest, v);
        if (++count > maxCount) {
            AfxMessageBox(Printf("The import file %s holds more samples than a wave file can take.  Nothing was "
                                 "imported.",
                                 source_),
                          MB_ICONSTOP);
            return false;
        }
    }
    if (std::ferror(file_)) {
        AfxMessageBox(Printf("Failure reading import data file: %s", source_), MB_ICONSTOP);
        return false;
    }
    if (count == 0) {
        AfxMessageBox(Printf("The import file %s holds no samples to import.", source_), MB_ICONSTOP);
        return false;
    }
    count_ = static_cast<DWORD>(count);

    const double maximum = format_.MaxValue, minimum = format_.MinValue, zero = format_.ZeroValue;
    if (!(smallest < largest)) {
        smallest = -1.0;
        largest = 1.0;
    }
    switch (settings_.ScalingMode) {
    case ImportSettings::kRescale:
        scale_ = (maximum - minimum) / (largest - smallest);
        offset_ = (largest + smallest) / 2.0;
        break;
    case ImportSettings::kDefineUnits: {
        double peak = std::max(largest, std::fabs(smallest));
        if (peak == 0.0)
            peak = 1.0;
        scale_ = (maximum - zero) / peak;
        offset_ = 0.0;
        break;
    }
    default:
        scale_ = 1.0;
        offset_ = 0.0;
        break;
    }
    MakeCalibration();
    wave_->SetCalibrationFrom(calibration_);
    return true;
}

void TImportProcess::MakeCalibration()
{
    calibration_.Clear();
    if (settings_.ScalingMode != ImportSettings::kDefineUnits)
        return;
    ChannelCalibration a;
    a.Clear();
    const double fullScale = static_cast<double>(format_.MaxValue) - format_.ZeroValue;
    float ratio = static_cast<float>(settings_.DataValue * scale_ / fullScale);
    if (ratio == 0.0f)
        ratio = 1.0f;
    a.CalRatio = settings_.EqualsValue / ratio;
    a.IsEnabled = 1;
    a.RefLevel = settings_.EqualsValue;
    a.RefType = 0;
    a.RefUnits = settings_.Units;
    std::memcpy(a.LabelLinear, settings_.LabelLinear, sizeof a.LabelLinear);
    std::memcpy(a.LabelLog, settings_.LabelLog, sizeof a.LabelLog);
    a.LabelLinear[sizeof a.LabelLinear - 1] = '\0';
    a.LabelLog[sizeof a.LabelLog - 1] = '\0';
    a.LabelType = 0;
    a.PctFullScale = ratio;
    a.ConversionType = 0;
    a.IntegrationType = 0;
    a.CalCreateMode = 2;
    a.TransducerSensitivityVolts = 1.0f;
    float calRatio = a.CalRatio;
    a.MeasuredInputVoltage = calRatio != 0.0f ? static_cast<float>(settings_.EqualsValue * 0.7071 * 10.0 / calRatio)
                                              : 0.0f;
    a.DTGain = 1.0f;
    a.DTCalVersion = 1000;
    calibration_.Channel[0] = a;
    calibration_.Channel[1] = a;
}

std::int32_t TImportProcess::Convert(double value) const
{
    double centred = value - offset_;
    if (settings_.Format == ImportSettings::kAsciiFloat || settings_.Format == ImportSettings::kBinaryFloat)
        centred = static_cast<float>(centred);
    double sample = std::trunc(centred * scale_ + format_.ZeroValue);
    if (!(sample < format_.MaxValue))
        return format_.MaxValue;
    if (sample < format_.MinValue)
        return format_.MinValue;
    return static_cast<std::int32_t>(sample);
}

bool TImportProcess::Step()
{
    if (state_ != State::Importing || file_ == nullptr || !wave_ || !block_)
        return false;
    const DWORD remaining = count_ - done_;
    const DWORD n = std::min(remaining, kBlockFrames);
    for (DWORD i = 0; i < n; ++i) {
        double v = 0.0;
        Read r = ReadValue(v);
        if (r == Read::Value) {
            // The block holds kBlockFrames frames of one channel, so the index is always inside it.
            (void)block_->SetSample(Convert(v), i, 0);
            continue;
        }
        if (r == Read::End)
            AfxMessageBox(Printf("The import file %s changed while it was being imported.  Nothing was imported.",
                                 source_),
                          MB_ICONSTOP);
        else
            ReportMalformed(r);
        Fail();
        return false;
    }
    if (!wave_->WriteBytes(block_->GetData(), block_->FramesToBytes(n))) {
        AfxMessageBox("Failure writing to wave file during import process", MB_ICONSTOP);
        Fail();
        return false;
    }
    progress_ = static_cast<int>(100 - static_cast<std::uint64_t>(remaining) * 100 / count_);
    done_ += n;
    if (done_ < count_)
        return true;

    CloseSource();
    wave_->SetCalibrationFrom(calibration_);
    if (!wave_->Save()) {
        AfxMessageBox(Printf("Failure saving the imported wave file %s", destination_), MB_ICONSTOP);
        Fail();
        return false;
    }
    wave_.reset();
    progress_ = 100;
    state_ = State::Done;
    return false;
}
