#include "app/settings/ConfigurationFile.h"

#include "records/CommonRoutines.h"
#include "records/NumberText.h"
#include "platform/core/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <strings.h>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace {

// ---------------------------------------------------------------------------------------------
// Line table

void CopyBounded(char* dest, std::size_t destSize, const char* src, std::size_t n)
{
    if (n > destSize - 1)
        n = destSize - 1;
    std::memcpy(dest, src, n);
    dest[n] = '\0';
}

// The name between begin and end without the blanks an editor may leave around it, as
// Windows' own profile reader takes names.
void CopyName(char* dest, std::size_t destSize, const std::string& line, std::size_t begin, std::size_t end)
{
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t'))
        ++begin;
    while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t'))
        --end;
    CopyBounded(dest, destSize, line.data() + begin, end - begin);
}

ConfigurationLine ParseLine(const std::string& line)
{
    ConfigurationLine e{};
    if (!line.empty() && line[0] == '[') {
        e.IsSection = 1;
        std::size_t close = line.find(']', 1);
        std::size_t end = close == std::string::npos ? line.size() : close;
        CopyName(e.Section, sizeof e.Section, line, 1, end);
        return e;
    }
    std::size_t eq = line.find('=');
    if (eq != std::string::npos && eq >= 1) {
        CopyName(e.Key, sizeof e.Key, line, 0, eq);
        CopyBounded(e.Value, sizeof e.Value, line.data() + eq + 1, line.size() - eq - 1);
    }
    return e;
}

// Control characters other than the tab: no line the system writes holds one.
bool IsWrittenAsBlank(char c)
{
    return static_cast<unsigned char>(c) < 0x20 && c != '\t';
}

std::string Lower(const char* s, std::size_t max)
{
    std::string out(s, strnlen(s, max));
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool SameName(const char* a, const char* b)
{
    for (std::size_t i = 0; i < 40; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
    return true;
}

// The table with an index of every key of the first occurrence of its section; within it the
// first line of a key counts. Names compare without regard to case.
class Table {
public:
    explicit Table(std::vector<ConfigurationLine> lines) : lines_(std::move(lines))
    {
        std::string section;
        bool first = false;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const ConfigurationLine& line = lines_[i];
            if (line.IsSection) {
                section = Lower(line.Section, 40);
                first = sections_.insert(section).second;
            } else if (first && line.Key[0] != '\0') {
                index_.try_emplace(section + '\n' + Lower(line.Key, 40), i);
            }
        }
    }

    // The value of [section] key, or null.
    const char* Find(const char* section, const char* key) const
    {
        auto it = index_.find(Lower(section, 40) + '\n' + Lower(key, 40));
        return it == index_.end() ? nullptr : lines_[it->second].Value;
    }

    bool HasSection(const char* section) const { return sections_.count(Lower(section, 40)) != 0; }

private:
    std::vector<ConfigurationLine> lines_;
    std::unordered_set<std::string> sections_;
    std::unordered_map<std::string, std::size_t> index_;
};

// ---------------------------------------------------------------------------------------------
// Visiting every key of a section, for writing and for reading.

enum class Fmt { D, LD, F, E, F9, ReadOnly };

std::string FormatInt(long long v, std::size_t width)
{
    // "%d" and "%ld" print 32-bit values as signed numbers; narrower ones as they are.
    if (width == 4)
        return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    return std::to_string(v);
}

class Writer {
public:
    static constexpr bool kReading = false;
    explicit Writer(ConfigurationWriter& out) : out_(out) {}

    void Section(const std::string& name) { section_ = name; }

    template <class T>
    void Num(const char* key, T& field, T /*missing*/, Fmt fmt)
    {
        if (fmt == Fmt::ReadOnly)
            return;
        std::string text;
        if constexpr (std::is_floating_point_v<T>) {
            double v = static_cast<double>(field);
            text = fmt == Fmt::E ? FormatExponent(v) : FormatFixed(v, fmt == Fmt::F9 ? 9 : 6);
        } else {
            text = FormatInt(static_cast<long long>(field), sizeof(T));
        }
        out_.WriteProfileLine(section_.c_str(), key, text);
    }
    // A code among count choices (0 .. count - 1).
    template <class T>
    void Choice(const char* key, T& field, T missing, long long /*count*/)
    {
        Num(key, field, missing, Fmt::D);
    }
    void Flag(const char* key, BYTE& field, BYTE /*missing*/)
    {
        out_.WriteProfileLine(section_.c_str(), key, std::to_string(static_cast<int>(field)));
    }
    template <std::size_t N>
    void Text(const char* key, char (&field)[N], const char* /*missing*/)
    {
        out_.WriteProfileLine(section_.c_str(), key, std::string(field, strnlen(field, N)));
    }
    template <class T>
    void Hold(const char* /*key*/, T& /*field*/, T /*sound*/)
    {
    }

private:
    ConfigurationWriter& out_;
    std::string section_;
};

// Whether the text of a number field reads as a value the field can hold. Text that reads as
// no number at all is not judged here (it reads as 0, as it always has).
template <class T>
bool FitsNumberField(const char* text)
{
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '-' || *p == '+')
        ++p;
    if (strncasecmp(p, "inf", 3) == 0 || strncasecmp(p, "nan", 3) == 0)
        return false;
    if constexpr (std::is_floating_point_v<T>) {
        double value = 0.0;
        const std::from_chars_result r = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
        if (r.ec == std::errc::result_out_of_range || (r.ec == std::errc() && !std::isfinite(value)))
            return false;
        if (std::is_same_v<T, float> && r.ec == std::errc() && std::fabs(value) > std::numeric_limits<float>::max())
            return false;
    }
    return true;
}

class Reader {
public:
    static constexpr bool kReading = true;
    explicit Reader(const Table& table) : table_(table) {}

    void Section(const std::string& name) { section_ = name; }
    // How many keys the file supplied.
    std::size_t Found() const { return found_; }

    template <class T>
    void Num(const char* key, T& field, T missing, Fmt /*fmt*/)
    {
        const char* v = Find(key);
        if (v == nullptr) {
            field = missing;
            return;
        }
        // Infinity, not-a-number or a magnitude the field cannot hold is no setting anyone
        // made: the missing-key value stands in, and the user is told which.
        if (!FitsNumberField<T>(v)) {
            field = missing;
            if constexpr (std::is_floating_point_v<T>)
                Note(key, v, FormatFixed(static_cast<double>(missing)));
            else
                Note(key, v, std::to_string(static_cast<long long>(missing)));
            return;
        }
        if constexpr (std::is_same_v<T, float>)
            field = NarrowToFloat(ParseDecimalFloat(v, static_cast<double>(missing)), missing);
        else if constexpr (std::is_floating_point_v<T>)
            field = static_cast<T>(ParseDecimalFloat(v, static_cast<double>(missing)));
        else
            field = static_cast<T>(static_cast<std::uint64_t>(ParseDecimalInteger(v))); // cut to width
    }
    // A code that names none of the count choices would leave a list without a selection and
    // the engines in a mode they don't have: it takes the missing-key value, and is noted.
    template <class T>
    void Choice(const char* key, T& field, T missing, long long count)
    {
        const char* v = Find(key);
        if (v == nullptr) {
            field = missing;
            return;
        }
        const std::int64_t code = ParseDecimalInteger(v);
        if (code >= 0 && code < count) {
            field = static_cast<T>(code);
            return;
        }
        field = missing;
        Note(key, v, std::to_string(static_cast<long long>(missing)));
    }
    // A value the file holds beyond what the dialogs allow, or what the machine can honour,
    // takes the sound value and is noted, like a code outside its list.
    template <class T>
    void Hold(const char* key, T& field, T sound)
    {
        if (field == sound)
            return;
        field = sound;
        if (const char* v = table_.Find(section_.c_str(), key)) {
            if constexpr (std::is_floating_point_v<T>)
                Note(key, v, FormatFixed(static_cast<double>(sound)));
            else
                Note(key, v, std::to_string(static_cast<long long>(sound)));
        }
    }
    std::vector<std::string>& Replaced() { return replaced_; }
    // Settings of the current section that together make something no setting may be: each is
    // named with its text, and what stands in for them.
    void Refuse(const std::vector<const char*>& keys, const std::string& now)
    {
        std::string named;
        for (const char* key : keys) {
            const char* v = table_.Find(section_.c_str(), key);
            named += (named.empty() ? "" : ", ") + std::string(key) + "=" +
                     (v != nullptr ? std::string(v).substr(0, 40) : std::string("(not given)"));
        }
        replaced_.push_back("[" + section_ + "] " + named + " (now " + now + ")");
    }
    // Whether the file has the current section at all.
    bool HasSection() const { return table_.HasSection(section_.c_str()); }
    void Flag(const char* key, BYTE& field, BYTE missing)
    {
        const char* v = Find(key);
        field = v == nullptr ? missing : (ParseDecimalInteger(v) != 0 ? 1 : 0);
    }
    template <std::size_t N>
    void Text(const char* key, char (&field)[N], const char* missing)
    {
        const char* v = Find(key);
        CopyField(field, v != nullptr ? v : missing);
    }

private:
    void Note(const char* key, const char* value, const std::string& now)
    {
        replaced_.push_back("[" + section_ + "] " + key + "=" + std::string(value).substr(0, 40) + " (now " + now +
                            ")");
    }
    const char* Find(const char* key)
    {
        const char* v = table_.Find(section_.c_str(), key);
        if (v != nullptr)
            ++found_;
        return v;
    }

    const Table& table_;
    std::string section_;
    std::size_t found_ = 0;
    std::vector<std::string> replaced_;
};

std::string Indexed(const char* name, int i)
{
    return std::string(name) + "_" + std::to_string(i);
}

// ---------------------------------------------------------------------------------------------
// Sections

// Plot values are held to what their options pages take, so that OK on any page of the sheet
// is not refused for a value the user never typed and each window draws what a page could set.

// A value outside [lo, hi] (lo itself excluded when open) takes the missing-key value.
template <class Io>
void HoldWithin(Io& io, const char* key, float& field, float lo, float hi, float missing, bool open = false)
{
    const bool inside = (open ? field > lo : field >= lo) && field <= hi;
    io.Hold(key, field, inside ? field : missing);
}

// A start and stop pair: neither below zero and the start below the stop.
template <class Io>
void HoldSpan(Io& io, const char* startKey, const char* stopKey, float& start, float& stop, float missingStart,
              float missingStop)
{
    HoldWithin(io, startKey, start, 0.0f, std::numeric_limits<float>::max(), missingStart);
    HoldWithin(io, stopKey, stop, 0.0f, std::numeric_limits<float>::max(), missingStop);
    // The stop is kept where the usual start lies below it.
    if (!(start < stop))
        io.Hold(startKey, start, missingStart);
    if (!(start < stop))
        io.Hold(stopKey, stop, missingStop);
}

// An update interval of the pages: 0 to 3600 seconds.
template <class Io>
void HoldInterval(Io& io, float& seconds, float missing)
{
    HoldWithin(io, "IntervalSecs", seconds, 0.0f, 3600.0f, missing);
}

template <class Io>
void VisitDevice(Io& io, FrameSettings& s)
{
    io.Section("Device");
    long long in = s.DTInputDeviceIndex, out = s.DTOutputDeviceIndex;
    long long rate = s.Device.SamplingRate, bits = s.Device.BitsPerSample;
    io.Num("DTInputDeviceIndex", in, 0LL, Fmt::D);
    io.Num("DTOutputDeviceIndex", out, 0LL, Fmt::D);
    io.Num("SamplingRate", rate, 4000LL, Fmt::D);
    io.Num("BitsPerSample", bits, 24LL, Fmt::D);
    io.Num("AnalogInputType", s.Device.AnalogInputType, WORD{0}, Fmt::D);
    io.Flag("UseSoundCardForOutput", s.UseSoundCardForOutput, 1);
    io.Num("SoundCardDeviceIndex", s.SoundCardDeviceIndex, DWORD{0}, Fmt::D);
    long long genRate = s.Output.SigGenSamplingRate, genChannels = s.Output.SigGenNumChannels;
    long long genBits = s.Output.SigGenBitsPerSample;
    io.Num("SigGenSamplingRate", genRate, 50000LL, Fmt::D);
    io.Num("SigGenNumChannels", genChannels, 1LL, Fmt::D);
    io.Num("SigGenBitsPerSample", genBits, 24LL, Fmt::D);
    if constexpr (Io::kReading) {
        // Values are judged as the signed numbers written, then cut to their fields.
        auto within = [](long long v, long long lo, long long hi, long long sound) {
            return v < lo || v > hi ? sound : v;
        };
        io.Hold("DTInputDeviceIndex", in, within(in, 0, INT32_MAX, 0));
        io.Hold("DTOutputDeviceIndex", out, within(out, 0, INT32_MAX, 0));
        io.Hold("SamplingRate", rate, within(rate, 1, UINT32_MAX, 4000));
        io.Hold("BitsPerSample", bits, within(bits, 8, 32, 24));
        s.DTInputDeviceIndex = static_cast<INT>(in);
        s.DTOutputDeviceIndex = static_cast<INT>(out);
        s.Device.SamplingRate = static_cast<DWORD>(rate);
        s.Device.BitsPerSample = static_cast<DWORD>(bits);
        io.Hold("AnalogInputType", s.Device.AnalogInputType, s.Device.AnalogInputType > 1 ? WORD{0} : s.Device.AnalogInputType);
        // The generator's format gets the same care as the input device's: one or two output
        // channels, a positive rate and a width the sample code knows.
        io.Hold("SigGenSamplingRate", genRate, within(genRate, 1, UINT32_MAX, 50000));
        io.Hold("SigGenNumChannels", genChannels, genChannels == 2 ? 2LL : 1LL);
        // The Output page lists 16, 24 and 32 bits: any other width would show as its first item
        // and be written as the width it is.
        io.Hold("SigGenBitsPerSample", genBits, genBits == 16 || genBits == 32 ? genBits : 24LL);
        s.Output.SigGenSamplingRate = static_cast<DWORD>(genRate);
        s.Output.SigGenNumChannels = static_cast<DWORD>(genChannels);
        s.Output.SigGenBitsPerSample = static_cast<DWORD>(genBits);
    }
}

template <class Io>
void VisitChannelInfo(Io& io, UsbChannelSettings& c, int ch)
{
    io.Section(Indexed("ChannelInfo", ch));
    if constexpr (Io::kReading)
        c.ChannelNumber = static_cast<DWORD>(ch);
    io.Flag("bIsEnabled", c.bIsEnabled, 0);
    io.Num("Gain", c.Gain, 10.0, Fmt::F);
    io.Num("CouplingType", c.CouplingType, WORD{0}, Fmt::D);
    io.Num("IEPESource", c.IEPESource, WORD{0}, Fmt::D);
    io.Num("IEPECurrent", c.IEPECurrent, 1.0, Fmt::F);
    io.Num("FilterType", c.FilterType, WORD{0}, Fmt::D);
    io.Num("FilterFreq", c.FilterFreq, 200.0, Fmt::F);
    if constexpr (Io::kReading)
        io.Hold("Gain", c.Gain, c.Gain > 0.0 ? c.Gain : 1.0);
}

template <class Io>
void VisitToolbarsPrintModeMain(Io& io, FrameSettings& s)
{
    io.Section("Toolbars");
    io.Flag("Main", s.Main, 1);
    io.Flag("Buttons", s.Buttons, 0);
    io.Flag("Statusbar", s.Statusbar, 0);

    io.Section("PrintOpts");
    PrintSettings& p = s.Print;
    io.Text("Annotation1", p.Annotation1, "");
    io.Text("Annotation2", p.Annotation2, "");
    io.Num("MarginLeft", p.MarginLeft, 0.50f, Fmt::F);
    io.Num("MarginRight", p.MarginRight, 0.50f, Fmt::F);
    io.Num("MarginTop", p.MarginTop, 0.50f, Fmt::F);
    io.Num("MarginBottom", p.MarginBottom, 0.50f, Fmt::F);
    io.Flag("EnableCommentBlock", p.EnableCommentBlock, 0);
    for (int i = 0; i < 10; ++i)
        io.Text(("Comment" + std::to_string(i + 1)).c_str(), p.Comment[i], "");

    io.Section("Mode");
    io.Choice("OpMode", s.OpMode, WORD{0}, 3);
    io.Section("Main");
    io.Num("MasterDisplayGain", s.MasterDisplayGain, INT{0}, Fmt::D);
    if constexpr (Io::kReading) {
        // Gains outside what the user interface can set would index past its tables.
        io.Hold("MasterDisplayGain", s.MasterDisplayGain, std::clamp(s.MasterDisplayGain, -20, 20));
    }
}

template <class Io>
void VisitProcessing(Io& io, ChannelProcessingSettings& p, int ch)
{
    io.Section(Indexed("Settings", ch));
    long long fft = p.FFTsize;
    long long blocks = p.AverageBlocks;
    long long rate = p.SampleFormat.SampleRate;
    long long channels = p.SampleFormat.Channels;
    WORD bytes = p.SampleFormat.BytesPerSample;
    io.Num("FFTsize", fft, 1024LL, Fmt::LD);
    io.Num("SamplingRate", rate, 4000LL, Fmt::LD);
    io.Num("NumChannels", channels, 1LL, Fmt::ReadOnly);
    io.Num("BytesPerSample", bytes, WORD{3}, Fmt::D);
    io.Num("AverageBlocks", blocks, 3LL, Fmt::LD);
    // Exponential, linear, vector; free run or sound level meter; off, fast, medium, slow, forever.
    io.Choice("AverageType", p.AverageType, WORD{0}, 3);
    io.Choice("AverageMode", p.AverageMode, WORD{0}, 2);
    io.Choice("AverageSpeed", p.AverageSpeed, WORD{0}, 5);
    io.Num("DecimationRatio", p.DecimationRatio, WORD{1}, Fmt::D);
    io.Flag("ApplyLowPassFilter", p.ApplyLowPassFilter, 1);
    io.Choice("SmoothingWindow", p.SmoothingWindow, WORD{6}, 12);
    io.Num("OverlapPercent", p.OverlapPercent, WORD{90}, Fmt::D);
    io.Num("ChannelProcessing", p.ChannelProcessing, WORD{0}, Fmt::ReadOnly);
    io.Num("DelayChannel", p.DelayChannel, WORD{0}, Fmt::ReadOnly);
    io.Num("DelayTimeMsec", p.DelayTimeMsec, 0.0f, Fmt::ReadOnly);
    if constexpr (Io::kReading) {
        BYTE overload = 0, exclude = 0, independent = 0;
        io.Flag("EnableOverloadDetection", overload, 1);
        io.Flag("ExcludeOverloadFlag", exclude, 0);
        io.Flag("IndependentScalingAndCalibration", independent, 0);
        p.EnableOverloadDetection = overload;
        p.ExcludeOverloadFlag = exclude;
        p.IndependentScalingAndCalibration = independent;
        // A negative rate or channel count would wrap to billions of samples or channels.
        io.Hold("SamplingRate", rate, rate < 0 || rate > UINT32_MAX ? 4000LL : rate);
        io.Hold("NumChannels", channels, channels < 1 || channels > 0xFFFF ? 1LL : channels);
        p.SampleFormat.Set(static_cast<DWORD>(rate), static_cast<WORD>(channels), bytes);
        // Only the sizes the FFT page offers; a damaged file must not ask for a transform that
        // cannot be built or never ends.
        io.Hold("FFTsize", fft, static_cast<long long>(ValidFftSize(fft)));
        p.FFTsize = static_cast<DWORD>(fft);
        // The page's counts end at 100000, "Infinite".
        io.Hold("AverageBlocks", blocks, std::clamp<long long>(blocks, 1, kMaxAverageBlocks));
        p.AverageBlocks = static_cast<DWORD>(blocks);
        io.Hold("DecimationRatio", p.DecimationRatio, std::clamp<WORD>(p.DecimationRatio, 1, 50));
        // A block is FFT size times decimation samples of every channel, and the device keeps
        // twenty blocks of each: beyond the largest FFT size a block would need gigabytes.
        io.Hold("DecimationRatio", p.DecimationRatio, MaxDecimationFor(p.FFTsize, p.DecimationRatio));
        io.Hold("OverlapPercent", p.OverlapPercent, std::min<WORD>(p.OverlapPercent, 99));
    } else {
        (void)channels;
    }
}

template <class Io>
void VisitScaling(Io& io, ChannelScalingSettings& c, int ch)
{
    io.Section(Indexed("Scaling", ch));
    io.Choice("AmpScaleType", c.AmpScaleType, WORD{1}, 3); // linear, logarithmic, log magnitude
    io.Choice("FreqScaleType", c.FreqScaleType, WORD{0}, 3); // linear, logarithmic, octave bands
    io.Num("OctaveNumber", c.OctaveNumber, WORD{3}, Fmt::D);
    io.Flag("SpectralDensityFlag", c.SpectralDensityFlag, 0);
    io.Choice("SpectralDensityType", c.SpectralDensityType, WORD{0}, 2);
    io.Choice("StandardWeighting", c.StandardWeighting, WORD{0}, 4); // flat, A, B, C
    io.Choice("TotalPowerWeighting", c.TotalPowerWeighting, WORD{0}, 4);
    io.Flag("MicCompEnable", c.MicCompEnable, 0);
    io.Text("MicCompFilename", c.MicCompFilename, "");
    // 1/0-octave bands have no width, and bands finer than the 1/96 octave the Scaling page
    // offers would be narrower than a bin: hundreds of thousands of them stall every block.
    if constexpr (Io::kReading)
        io.Hold("OctaveNumber", c.OctaveNumber, c.OctaveNumber == 0 || c.OctaveNumber > 96 ? WORD{3} : c.OctaveNumber);
}

// The calibration record is packed: its members are copied through locals.
template <class Io>
void VisitCalibration(Io& io, ChannelCalibration& c, int ch)
{
    io.Section(Indexed("Calibration", ch));
    // A file that holds no calibration for the channel names no calibration file either: the
    // channel gets the plain calibration a channel without one has, rather than the keys'
    // defaults, which name a file "EEG" that no installation here has.
    if constexpr (Io::kReading) {
        if (!io.HasSection()) {
            c.SetDefaults(ch);
            return;
        }
    }
    char channelName[40];
    std::snprintf(channelName, sizeof channelName, "Channel %d", ch);
#define CAL_NUM(field, key, missing, fmt)                                                                              \
    do {                                                                                                               \
        auto v = c.field;                                                                                              \
        io.Num(key, v, static_cast<decltype(v)>(missing), fmt);                                                        \
        c.field = v;                                                                                                   \
    } while (0)
#define CAL_CHOICE(field, key, missing, count)                                                                         \
    do {                                                                                                               \
        auto v = c.field;                                                                                              \
        io.Choice(key, v, static_cast<decltype(v)>(missing), count);                                                   \
        c.field = v;                                                                                                   \
    } while (0)
#define CAL_TEXT(field, key, missing)                                                                                  \
    do {                                                                                                               \
        char v[sizeof c.field];                                                                                        \
        std::memcpy(v, c.field, sizeof v);                                                                             \
        io.Text(key, v, missing);                                                                                      \
        std::memcpy(c.field, v, sizeof v);                                                                             \
    } while (0)
    CAL_TEXT(Filename, "Filename", "EEG");
    CAL_NUM(IsEnabled, "IsEnabled", 1, Fmt::D);
    CAL_NUM(RefLevel, "RefLevel", 20.0f, Fmt::F);
    CAL_CHOICE(RefType, "RefType", 0, 3);     // peak, rms, peak to peak
    CAL_CHOICE(RefUnits, "RefUnits", 4, 17);  // the level unit codes
    CAL_CHOICE(ConversionType, "ConversionType", 0, 11);
    CAL_CHOICE(IntegrationType, "IntegrationType", 0, 3); // none, single, double
    CAL_TEXT(LabelLinear, "LabelLinear", "millivolts");
    CAL_TEXT(LabelLog, "LabelLog", "dBmV rms");
    CAL_NUM(LabelType, "LabelType", 1, Fmt::D);
    CAL_NUM(PctFullScale, "PctFullScale", 0.053033f, Fmt::F);
    CAL_NUM(DTGain, "DTGain", 1.0f, Fmt::F);
    CAL_NUM(DTCalVersion, "DTCalVersion", 1000, Fmt::D);
    CAL_NUM(CalRatio, "CalRatio", 377.123627f, Fmt::F);
    CAL_TEXT(ChannelName, "ChannelName", channelName);
    CAL_CHOICE(CalCreateMode, "CalCreateMode", 2, 4); // direct, sensitivity, measurement, % full scale
    CAL_NUM(TransducerSensitivityVolts, "TransducerSensitivityVolts", 0.100f, Fmt::E);
    CAL_NUM(MeasuredInputVoltage, "MeasuredInputVoltage", 0.375f, Fmt::F);
    CAL_NUM(RefOffset, "RefOffset", 0.0f, Fmt::F);
    if constexpr (Io::kReading) {
        // A calibration the file holds whole (made directly, or naming no calibration file) whose
        // factor gives no levels is the channel's plain one instead, as a refused file is.
        if (c.IsEnabled != 0 && (c.CalCreateMode == 0 || c.Filename[0] == '\0')) {
            if (const std::vector<const char*> inputs = UnusableFactorInputs(c); !inputs.empty()) {
                io.Refuse(inputs, "the Volts calibration");
                std::memcpy(channelName, c.ChannelName, sizeof channelName);
                c.SetDefaults(ch);
                std::memcpy(c.ChannelName, channelName, sizeof channelName);
            }
        }
    }
#undef CAL_NUM
#undef CAL_CHOICE
#undef CAL_TEXT
}

template <class Io>
void VisitMarkers(Io& io, MarkerSettings& m, const std::string& section, bool composite)
{
    io.Section(section);
    for (int j = 0; j < MarkerSettings::kMarkers; ++j) {
        io.Num(Indexed("Enabled", j).c_str(), m.Enabled[j], DWORD{0}, Fmt::D);
        io.Num(Indexed("Freq", j).c_str(), m.Freq[j], 500.0f, Fmt::F);
        // none, frequency, level, both, custom text
        io.Choice(Indexed("LabelType", j).c_str(), m.LabelType[j], DWORD{composite ? 0u : 1u}, 5);
        io.Text(Indexed("CustomLabel", j).c_str(), m.CustomLabel[j], "");
    }
    io.Flag("MarkPeakHoldFlag", m.MarkPeakHoldFlag, 0);
    if constexpr (Io::kReading) {
        // The marker dialog takes positive frequencies for the markers it shows; a marker that
        // is off may rest at 0 (the records' own default) but below it at nothing.
        for (int j = 0; j < MarkerSettings::kMarkers; ++j)
            HoldWithin(io, Indexed("Freq", j).c_str(), m.Freq[j], 0.0f, std::numeric_limits<float>::max(), 500.0f,
                       m.Enabled[j] != 0);
    }
}

template <class Io>
void VisitTimeSeries(Io& io, TimeSeriesPlotSettings& t, int ch)
{
    io.Section(Indexed("TimeSeriesOpts", ch));
    io.Flag("ShowToolbar", t.ShowToolbar, 1);
    io.Choice("AmpScaleType", t.AmpScaleType, WORD{0}, 2);
    io.Flag("GridXEnabled", t.GridXEnabled, 1);
    io.Flag("GridYEnabled", t.GridYEnabled, 1);
    io.Num("PlotTop", t.PlotTop, 100.0f, Fmt::F);
    io.Num("PlotRange", t.PlotRange, 100.0f, Fmt::F);
    io.Num("PlotCenter", t.PlotCenter, 0.0f, Fmt::F);
    io.Choice("PlotChannel", t.PlotChannel, WORD{0}, 8); // the eight display modes
    io.Num("LineColor", t.LineColor, COLORREF{0x0000FF}, Fmt::LD);
    io.Num("BackgroundColor", t.BackgroundColor, COLORREF{0xFFFFFF}, Fmt::LD);
    io.Num("GridColor", t.GridColor, COLORREF{0x808080}, Fmt::LD);
    io.Num("StartTime", t.StartTime, 0.0f, Fmt::F);
    io.Num("StopTime", t.StopTime, 1.0f, Fmt::F);
    io.Num("OrderNumber", t.OrderNumber, 3.0f, Fmt::F);
    io.Num("ThresholdMarkPercentage", t.ThresholdMarkPercentage, DWORD{25}, Fmt::D);
    io.Flag("DisplayMaxMinRangeAsRMS", t.DisplayMaxMinRangeAsRMS, 0);
    io.Flag("IntervalFlag", t.IntervalFlag, 0);
    io.Num("IntervalSecs", t.IntervalSecs, 0.1f, Fmt::F);
    io.Flag("GrabCursorFlag", t.GrabCursorFlag, 0);
    if constexpr (Io::kReading) {
        // The top takes what the page and the tool strip take on its amplitude scale; a
        // logarithmic range runs up to 400 dB.
        const SeriesTopRange top = SeriesPlotTopRange(t.AmpScaleType);
        HoldWithin(io, "PlotTop", t.PlotTop, top.least, top.most, 100.0f, true);
        if (t.AmpScaleType == 0)
            io.Hold("PlotCenter", t.PlotCenter, t.PlotCenter <= t.PlotTop ? t.PlotCenter : SeriesCenterBelow(t.PlotTop));
        HoldWithin(io, "PlotRange", t.PlotRange, 0.0f, 400.0f, 100.0f, true);
        HoldSpan(io, "StartTime", "StopTime", t.StartTime, t.StopTime, 0.0f, 1.0f);
        HoldInterval(io, t.IntervalSecs, 0.1f);
    }
}

template <class Io>
void VisitSpectrum(Io& io, SpectrumPlotSettings& p, const std::string& section, bool composite)
{
    io.Section(section);
    io.Choice("PlotType", p.PlotType, WORD{0}, 3); // line, bar, stepped bar
    io.Flag("ShowToolbar", p.ShowToolbar, 1);
    io.Flag("GridXEnabled", p.GridXEnabled, 1);
    io.Flag("GridYEnabled", p.GridYEnabled, 1);
    io.Num("PlotTop", p.PlotTop, -55.0f, Fmt::F);
    io.Num("PlotRange", p.PlotRange, 45.0, composite ? Fmt::F : Fmt::F9);
    io.Num("StartFreq", p.StartFreq, 400.0f, Fmt::F);
    io.Num("StopFreq", p.StopFreq, 1200.0f, Fmt::F);
    io.Num("LineColor", p.LineColor, COLORREF{0xFF0000}, Fmt::LD);
    io.Num("PeakColor", p.PeakColor, COLORREF{0x0000FF}, Fmt::LD);
    io.Num("BackgroundColor", p.BackgroundColor, COLORREF{0xDCFFFF}, Fmt::LD);
    io.Num("GridColor", p.GridColor, COLORREF{0x808080}, Fmt::LD);
    io.Num("MarkerColor", p.MarkerColor, COLORREF{0x000000}, Fmt::LD);
    io.Flag("ShowRMSLevel", p.ShowRMSLevel, 0);
    io.Flag("ShowPowerMeter", p.ShowPowerMeter, 1);
    io.Flag("ShowOverlayControls", p.ShowOverlayControls, 1);
    io.Flag("GrabCursorFlag", p.GrabCursorFlag, 1);
    io.Num("rpm", p.rpm, 1000.0f, Fmt::F);
    io.Flag("IntervalFlag", p.IntervalFlag, 1);
    io.Num("IntervalSecs", p.IntervalSecs, 0.02f, Fmt::F);
    io.Choice("PeakHold", p.PeakHold, WORD{2}, 5); // off, fast, medium, slow, forever
    for (int k = 0; k < SpectrumPlotSettings::kOverlays; ++k) {
        SpectrumOverlaySlot& o = p.Overlays[k];
        io.Flag(Indexed("Show1", k).c_str(), o.Show1, 0);
        io.Flag(Indexed("Show2", k).c_str(), o.Show2, 0);
        io.Num(Indexed("Color", k).c_str(), o.Color, kInputOverlayColors[k], Fmt::LD);
        io.Num(Indexed("Offset1", k).c_str(), o.Offset1, 0.0f, Fmt::F);
        io.Num(Indexed("Offset2", k).c_str(), o.Offset2, 0.0f, Fmt::F);
        io.Flag(Indexed("IncludeInAverage1", k).c_str(), p.IncludeInAverage1[k], 1);
        io.Flag(Indexed("IncludeInAverage2", k).c_str(), p.IncludeInAverage2[k], 1);
    }
    io.Num("OverlayLegendSize", p.OverlayLegendSize, WORD{8}, Fmt::D);
    io.Num("CompositeType1", p.CompositeType1, WORD{0}, Fmt::D);
    io.Num("DifferenceIndex1_1", p.DifferenceIndex1_1, WORD{0}, Fmt::D);
    io.Num("DifferenceIndex1_2", p.DifferenceIndex1_2, WORD{1}, Fmt::D);
    io.Num("CompositeType2", p.CompositeType2, WORD{0}, Fmt::D);
    io.Num("DifferenceIndex2_1", p.DifferenceIndex2_1, WORD{0}, Fmt::D);
    io.Num("DifferenceIndex2_2", p.DifferenceIndex2_2, WORD{1}, Fmt::D);
    if constexpr (Io::kReading) {
        // The difference indexes name overlay slots: one past the seven would read past them.
        WORD* idx[4] = {&p.DifferenceIndex1_1, &p.DifferenceIndex1_2, &p.DifferenceIndex2_1, &p.DifferenceIndex2_2};
        const char* keys[4] = {"DifferenceIndex1_1", "DifferenceIndex1_2", "DifferenceIndex2_1", "DifferenceIndex2_2"};
        WORD fallback[4] = {0, 1, 0, 1};
        for (int i = 0; i < 4; ++i)
            io.Hold(keys[i], *idx[i], *idx[i] >= SpectrumPlotSettings::kOverlays ? fallback[i] : *idx[i]);
        HoldSpan(io, "StartFreq", "StopFreq", p.StartFreq, p.StopFreq, 400.0f, 1200.0f);
        HoldInterval(io, p.IntervalSecs, 0.02f);
        // The overlay dialog's offsets run from -100 to +100 dB, its legend from 4 to 24 points.
        for (int k = 0; k < SpectrumPlotSettings::kOverlays; ++k) {
            SpectrumOverlaySlot& o = p.Overlays[k];
            HoldWithin(io, Indexed("Offset1", k).c_str(), o.Offset1, -100.0f, 100.0f, 0.0f);
            HoldWithin(io, Indexed("Offset2", k).c_str(), o.Offset2, -100.0f, 100.0f, 0.0f);
        }
        io.Hold("OverlayLegendSize", p.OverlayLegendSize,
                p.OverlayLegendSize < 4 || p.OverlayLegendSize > 24 ? WORD{8} : p.OverlayLegendSize);
    }
}

template <class Io>
void VisitPhase(Io& io, PhasePlotSettings& p, const std::string& section)
{
    io.Section(section);
    io.Flag("ShowToolbar", p.ShowToolbar, 1);
    io.Flag("GridXEnabled", p.GridXEnabled, 1);
    io.Flag("GridYEnabled", p.GridYEnabled, 1);
    io.Num("PlotTop", p.PlotTop, 180.0f, Fmt::F);
    io.Num("PlotRange", p.PlotRange, 360.0f, Fmt::F);
    io.Num("StartFreq", p.StartFreq, 20.0f, Fmt::F);
    io.Num("StopFreq", p.StopFreq, 22000.0f, Fmt::F);
    io.Num("LineColor", p.LineColor, COLORREF{0x000000}, Fmt::LD);
    io.Num("BackgroundColor", p.BackgroundColor, COLORREF{0xFFFF00}, Fmt::LD);
    io.Num("GridColor", p.GridColor, COLORREF{0x808080}, Fmt::LD);
    io.Num("MarkerColor", p.MarkerColor, COLORREF{0x0000FF}, Fmt::LD);
    io.Flag("GrabCursorFlag", p.GrabCursorFlag, 1);
    io.Flag("IntervalFlag", p.IntervalFlag, 0);
    io.Num("IntervalSecs", p.IntervalSecs, 0.1f, Fmt::F);
    if constexpr (Io::kReading) {
        // Phase runs from -180 to 180 degrees.
        HoldWithin(io, "PlotTop", p.PlotTop, -180.0f, 180.0f, 180.0f, true);
        HoldWithin(io, "PlotRange", p.PlotRange, 0.0f, 360.0f, 360.0f, true);
        HoldSpan(io, "StartFreq", "StopFreq", p.StartFreq, p.StopFreq, 20.0f, 22000.0f);
        HoldInterval(io, p.IntervalSecs, 0.1f);
    }
}

template <class Io>
void VisitSpectrogram(Io& io, SpectrogramPlotSettings& p, const std::string& section)
{
    io.Section(section);
    io.Flag("ShowToolbar", p.ShowToolbar, 1);
    io.Flag("IntervalFlag", p.IntervalFlag, 0);
    io.Num("IntervalSecs", p.IntervalSecs, 2.0f, Fmt::F);
    io.Num("PlotTop", p.PlotTop, -55.0f, Fmt::F);
    io.Num("PlotRange", p.PlotRange, 45.0f, Fmt::F);
    io.Flag("UseFullSpan", p.UseFullSpan, 0);
    io.Num("StartFreq", p.StartFreq, 400.0f, Fmt::F);
    io.Num("StopFreq", p.StopFreq, 1200.0f, Fmt::F);
    io.Choice("ColorMode", p.ColorMode, WORD{0}, 3);  // full colour, grey scale, custom
    io.Choice("Direction", p.Direction, WORD{0}, 4);  // left, right, up, down
    io.Num("Intensity", p.Intensity, DWORD{0}, Fmt::D);
    io.Choice("ScrollType", p.ScrollType, WORD{0}, 2); // smooth, overlapped
    io.Num("MinCustomColor", p.MinCustomColor, COLORREF{0x00FFFF}, Fmt::LD);
    io.Num("MaxCustomColor", p.MaxCustomColor, COLORREF{0x0000FF}, Fmt::LD);
    if constexpr (Io::kReading) {
        HoldSpan(io, "StartFreq", "StopFreq", p.StartFreq, p.StopFreq, 400.0f, 1200.0f);
        HoldInterval(io, p.IntervalSecs, 2.0f);
    }
}

template <class Io>
void VisitSurface(Io& io, SurfacePlotSettings& p, const std::string& section, bool composite)
{
    io.Section(section);
    io.Flag("ShowToolbar", p.ShowToolbar, 0);
    io.Flag("IntervalFlag", p.IntervalFlag, 0);
    io.Num("IntervalSecs", p.IntervalSecs, 2.0f, Fmt::F);
    io.Num("PlotTop", p.PlotTop, -55.0f, Fmt::F);
    io.Num("PlotRange", p.PlotRange, 45.0f, Fmt::F);
    io.Flag("UseFullSpan", p.UseFullSpan, 0);
    io.Num("StartFreq", p.StartFreq, 400.0f, Fmt::F);
    io.Num("StopFreq", p.StopFreq, composite ? 1200.0f : 1002.0f, Fmt::F);
    io.Num("BackgroundColor", p.BackgroundColor, COLORREF{0x000000}, Fmt::LD);
    io.Num("LineColor", p.LineColor, COLORREF{0xFF0000}, Fmt::LD);
    io.Num("MinCustomColor", p.MinCustomColor, COLORREF{0x00FFFF}, Fmt::LD);
    io.Num("MaxCustomColor", p.MaxCustomColor, COLORREF{0x0000FF}, Fmt::LD);
    io.Choice("ColorMode", p.ColorMode, WORD{0}, 4); // full, solid, custom colour, grey scale
    io.Num("Intensity", p.Intensity, DWORD{0}, Fmt::D);
    if constexpr (Io::kReading) {
        HoldSpan(io, "StartFreq", "StopFreq", p.StartFreq, p.StopFreq, 400.0f, composite ? 1200.0f : 1002.0f);
        HoldInterval(io, p.IntervalSecs, 2.0f);
    }
}

template <class Io>
void VisitComposite(Io& io, CompositeChannelSettings& c, int i)
{
    io.Section(Indexed("CompositeSettings", i));
    char name[80];
    std::snprintf(name, sizeof name, "Composite Ch %c", GetChannelLetter(i));
    io.Flag("bIsEnabled", c.bIsEnabled, 0);
    io.Choice("CompositeType", c.CompositeType, WORD{0}, 6); // the six composite computations
    io.Num("ReferenceChannel", c.ReferenceChannel, DWORD{0}, Fmt::D);
    io.Num("TransferChannel", c.TransferChannel, DWORD{1}, Fmt::D);
    for (int k = 0; k < 16; ++k)
        io.Flag(Indexed("IncludeInAverage", k).c_str(), c.IncludeInAverage[k], 0);
    io.Text("LabelLinear", c.LabelLinear, "");
    io.Text("labelLog", c.LabelLog, "");
    io.Text("ChannelName", c.ChannelName, name);
    if constexpr (Io::kReading) {
        // Member channels index the eight input channels' engines.
        io.Hold("ReferenceChannel", c.ReferenceChannel, c.ReferenceChannel > 7 ? DWORD{0} : c.ReferenceChannel);
        io.Hold("TransferChannel", c.TransferChannel, c.TransferChannel > 7 ? DWORD{1} : c.TransferChannel);
    }
}

template <class Io>
void VisitLoggingMain(Io& io, DataLoggingBlock& b)
{
    if constexpr (Io::kReading)
        b.IsLogging = 0;
    io.Section("DataLoggingMain");
    io.Choice("FilenameFormat", b.FilenameFormat, DWORD{0}, 2);
    io.Flag("OverwriteFlag", b.OverwriteFlag, 1);
    io.Flag("IncludeHeaderFlag", b.IncludeHeaderFlag, 1);
    io.Flag("IncludeTimeStampFlag", b.IncludeTimeStampFlag, 1);
    io.Text("ViewerProgram", b.ViewerProgram, "Notepad.exe");
}

template <class Io>
void VisitLogging(Io& io, DataLoggingSettings& d, const std::string& section)
{
    io.Section(section);
    io.Flag("Enable", d.Enable, 0);
    io.Flag("IntervalFlag", d.IntervalFlag, 1);
    io.Num("IntervalSecs", d.IntervalSecs, 1.0f, Fmt::F);
    io.Num("Threshold", d.Threshold, -999.0f, Fmt::F);
    for (int k = 0; k < DataLoggingSettings::kDataItems; ++k)
        io.Flag(Indexed("DataItem", k).c_str(), d.DataItem[k], 0);
}

template <class Io>
void VisitPlacements(Io& io, WindowPlacementRecord (&records)[kWindowPlacementCount])
{
    io.Section("PlotStatus");
    for (WindowPlacementRecord& r : records) {
        char key[256];
        CopyField(key, r.WindowName);
        io.Flag(key, r.IsOpen, 0);
    }
    io.Section("PlotPlacement");
    for (WindowPlacementRecord& r : records) {
        char key[256];
        CopyField(key, r.WindowName);
        io.Text(key, r.PlacementText, "");
    }
}

template <class Io>
void VisitAll(Io& io, FrameSettings& s)
{
    constexpr int N = FrameSettings::kChannels;
    constexpr int C = FrameSettings::kComposites;
    VisitDevice(io, s);
    for (int ch = 0; ch < N; ++ch)
        VisitChannelInfo(io, s.Device.Channels[ch], ch);
    if constexpr (Io::kReading)
        ApplyFixedChannels(s);
    VisitToolbarsPrintModeMain(io, s);
    for (int ch = 0; ch < N; ++ch)
        VisitProcessing(io, s.Processing[ch], ch);
    for (int ch = 0; ch < N; ++ch)
        VisitScaling(io, s.Scaling[ch], ch);
    for (int ch = 0; ch < N; ++ch)
        VisitCalibration(io, s.Calibration[ch], ch);
    if constexpr (Io::kReading)
        ApplyFixedChannels(s);
    for (int ch = 0; ch < N; ++ch)
        VisitMarkers(io, s.Markers[ch], Indexed("Marker", ch), false);
    for (int ch = 0; ch < N; ++ch)
        VisitTimeSeries(io, s.TimeSeriesOpts[ch], ch);
    for (int ch = 0; ch < N; ++ch)
        VisitSpectrum(io, s.SpectrumOpts[ch], Indexed("SpectrumOpts", ch), false);
    for (int ch = 0; ch < N; ++ch)
        VisitPhase(io, s.PhaseOpts[ch], Indexed("PhaseOpts", ch));
    for (int ch = 0; ch < N; ++ch)
        VisitSpectrogram(io, s.SpectrogramOpts[ch], Indexed("SpectrogramOpts", ch));
    for (int ch = 0; ch < N; ++ch)
        VisitSurface(io, s.SurfaceOpts[ch], Indexed("SurfaceOpts", ch), false);
    for (int i = 0; i < C; ++i)
        VisitComposite(io, s.Composite[i], i);
    for (int i = 0; i < C; ++i)
        VisitMarkers(io, s.CompositeMarkers[i], Indexed("CompositeMarker", i), true);
    for (int i = 0; i < C; ++i)
        VisitSpectrum(io, s.CompositeSpectrumOpts[i], Indexed("CompositeSpectrumOpts", i), true);
    for (int i = 0; i < C; ++i)
        VisitPhase(io, s.CompositePhaseOpts[i], Indexed("CompositePhaseOpts", i));
    for (int i = 0; i < C; ++i)
        VisitSpectrogram(io, s.CompositeSpectrogramOpts[i], Indexed("CompositeSpectrogramOpts", i));
    for (int i = 0; i < C; ++i)
        VisitSurface(io, s.CompositeSurfaceOpts[i], Indexed("CompositeSurfaceOpts", i), true);
    VisitLoggingMain(io, s.Logging);
    for (int ch = 0; ch < N; ++ch)
        VisitLogging(io, s.Logging.Channel[ch], Indexed("DataLoggingOpts", ch));
    for (int i = 0; i < C; ++i)
        VisitLogging(io, s.Logging.Composite[i], Indexed("DataLoggingCompositeOpts", i));
    VisitPlacements(io, s.Placements);
}

} // namespace

bool LoadConfigurationTable(const char* path, std::vector<ConfigurationLine>& table, ConfigurationCheck* check)
{
    ConfigurationCheck local;
    ConfigurationCheck& found = check != nullptr ? *check : local;
    found = ConfigurationCheck();
    table.clear();
    std::string data;
    found.result = path != nullptr ? ReadSmallFile(path, kMaxSettingsFileBytes, data) : FileReadResult::Missing;
    if (found.result != FileReadResult::Ok)
        return false;
    // An entry keeps at most 255 characters of a value; the rest of a longer line is skipped
    // (not taken as a line of its own), and a huge line costs no more memory than this.
    constexpr std::size_t kKeep = 1024;
    auto take = [&](std::string& line) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const ConfigurationLine entry = ParseLine(line);
        // Every line the system writes is a section or a key line; blank lines do no harm.
        const bool blank = line.find_first_not_of(" \t") == std::string::npos;
        const bool understood = entry.IsSection ? line.find(']') != std::string::npos : entry.Key[0] != '\0';
        const bool binary = std::any_of(line.begin(), line.end(), IsWrittenAsBlank);
        if ((!blank && !understood) || binary || line.size() >= kKeep)
            found.damaged = true;
        table.push_back(entry);
        line.clear();
    };
    table.reserve(std::min<std::size_t>(std::count(data.begin(), data.end(), '\n') + 1, kMaxConfigurationLines));
    std::string line;
    std::size_t start = 0;
    while (start < data.size() && table.size() < kMaxConfigurationLines) {
        const std::size_t nl = data.find('\n', start);
        const std::size_t end = nl == std::string::npos ? data.size() : nl;
        line.assign(data, start, std::min(end - start, kKeep));
        if (end - start > kKeep)
            found.damaged = true; // cut
        take(line);
        start = nl == std::string::npos ? data.size() : nl + 1;
    }
    // Lines past the table are not read at all.
    if (start < data.size() && data.find_first_not_of(" \t\r\n", start) != std::string::npos)
        found.damaged = true;
    return true;
}

void LookupConfigurationValue(const char* section, const char* key, const char* def, char* out,
                              std::size_t outSize, const ConfigurationLine* table, std::size_t count)
{
    if (out == nullptr || outSize == 0)
        return;
    const char* value = def != nullptr ? def : "";
    if (section != nullptr && key != nullptr && table != nullptr) {
        std::size_t i = 0;
        while (i < count && !(table[i].IsSection && SameName(table[i].Section, section)))
            ++i;
        for (++i; i < count && !table[i].IsSection; ++i) {
            if (SameName(table[i].Key, key)) {
                value = table[i].Value;
                break;
            }
        }
    }
    CopyBounded(out, outSize, value, std::strlen(value));
}

void ConfigurationWriter::WriteProfileLine(const char* section, const char* key, const std::string& value)
{
    std::string text;
    if (lastSection_ != section) {
        text += "[";
        text += section;
        text += "]\r\n";
        lastSection_ = section;
    }
    text += key;
    text += "=";
    // A value is one line of text: a line end inside it would make keys of its own, and any
    // other control character (a damaged file's) would make the file read as damaged.
    for (char c : value)
        text += IsWrittenAsBlank(c) ? ' ' : c;
    text += "\r\n";
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        failed_ = true;
}

namespace {

// Writes every section to an open file; false when any of it did not reach the file.
bool WriteSettingsTo(std::FILE* f, const FrameSettings& settings)
{
    ConfigurationWriter out(f);
    Writer io(out);
    // The writer only reads the records; the visitors are shared with the reader.
    VisitAll(io, const_cast<FrameSettings&>(settings));
    return !out.Failed() && std::fflush(f) == 0;
}

} // namespace

bool WriteConfigurationFile(const FrameSettings& settings, const char* path)
{
    // A full disk keeps the old configuration whole: the file is replaced only when complete.
    // A file that is unreadable or write-protected is refused there too.
    return ReplaceFileContent(path, [&settings](std::FILE* f) { return WriteSettingsTo(f, settings); });
}

bool ReadConfigurationFile(FrameSettings& settings, const char* path, ConfigurationCheck* check)
{
    ConfigurationCheck local;
    ConfigurationCheck& found = check != nullptr ? *check : local;
    std::vector<ConfigurationLine> lines;
    bool keyLines = false;
    try {
        if (!LoadConfigurationTable(path, lines, &found))
            return false;
        keyLines = std::any_of(lines.begin(), lines.end(), [](const ConfigurationLine& l) { return l.Key[0] != 0; });
        Table table(std::move(lines));
        Reader io(table);
        VisitAll(io, settings);
        // A file of key lines none of which is a configuration's is another kind of file.
        if (keyLines && io.Found() == 0)
            found.damaged = true;
        found.replaced = std::move(io.Replaced());
    } catch (const std::bad_alloc&) {
        found.result = FileReadResult::Unreadable;
        return false;
    }
    return true;
}

std::string DescribeConfigurationCheck(const std::string& what, const ConfigurationCheck& check)
{
    if (!check.damaged && check.replaced.empty())
        return {};
    std::string text = what;
    if (check.damaged)
        text += " is damaged: some of its lines could not be read, and the settings they held take their defaults.";
    else
        text += " holds settings this version cannot use.";
    if (check.replaced.empty())
        return text;
    text += "\r\rThese settings were replaced:";
    constexpr std::size_t kShown = 12;
    for (std::size_t i = 0; i < check.replaced.size() && i < kShown; ++i)
        text += "\r" + check.replaced[i];
    if (check.replaced.size() > kShown)
        text += "\rand " + std::to_string(check.replaced.size() - kShown) + " more";
    return text;
}

void ApplyMissingKeyDefaults(FrameSettings& settings)
{
    Table empty{std::vector<ConfigurationLine>()};
    Reader io(empty);
    VisitAll(io, settings);
}

void ApplyFixedChannels(FrameSettings& settings)
{
    for (int ch = 0; ch < 7; ++ch)
        settings.Device.Channels[ch].bIsEnabled = 1;
    ApplyFixedChannelNames(settings);
}

void ApplyFixedChannelNames(FrameSettings& settings)
{
    for (int ch = 0; ch < 7; ++ch)
        CopyField(settings.Calibration[ch].ChannelName, GetChannelLocationName(ch));
}

WORD MaxDecimationFor(DWORD fftSize, WORD ratio)
{
    const DWORD most = fftSize == 0 ? 1 : std::max<DWORD>(1, kMaxFftSize / fftSize);
    return static_cast<WORD>(std::min<DWORD>(ratio, most));
}

DWORD ValidFftSize(long long requested)
{
    constexpr long long kMin = 32, kMax = kMaxFftSize;
    if (requested <= kMin)
        return static_cast<DWORD>(kMin);
    if (requested >= kMax)
        return static_cast<DWORD>(kMax);
    long long size = kMin;
    while (size * 2 <= requested)
        size *= 2;
    return static_cast<DWORD>(size);
}
