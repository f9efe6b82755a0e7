#include "dsp/DtmfDetector.h"

#include "dsp/SpectralData.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr std::array<float, DtmfDetector::ToneCount> kFrequencies = {697.0f,  770.0f,  852.0f,  941.0f,
                                                                     1209.0f, 1336.0f, 1477.0f, 1633.0f};
constexpr char kKeypad[4][5] = {"123A", "456B", "789C", "*0#D"};
constexpr float kNoLevel = -999.9f;

// Row (0..3) and column (0..3) of a key; false for a character that is no key.
bool Locate(char key, int& row, int& column)
{
    const char k = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (k != ' ' && kKeypad[r][c] == k) {
                row = r;
                column = c;
                return true;
            }
    return false;
}

} // namespace

DtmfDetector::DtmfDetector(float thresholdDb, std::int32_t minDurationMs, std::int32_t minGapMs)
{
    for (int i = 0; i < ToneCount; ++i)
        tones_[i] = Tone{kFrequencies[i], kNoLevel, 0};
    Init(thresholdDb, minDurationMs, minGapMs);
    currentKey_ = ' ';
}

void DtmfDetector::Init(float thresholdDb, std::int32_t minDurationMs, std::int32_t minGapMs)
{
    threshold_ = thresholdDb;
    minDuration_ = minDurationMs;
    minGap_ = minGapMs;
    ClearTiming();
}

void DtmfDetector::Reset()
{
    ClearTiming();
    currentKey_ = ' ';
    keys_.clear();
}

void DtmfDetector::ClearTiming()
{
    toneStart_ = 0;
    lastKeyEnd_ = 0;
    duration_ = 0;
    timedKey_ = ' ';
}

float DtmfDetector::GetRowFrequency(char key)
{
    int r = 0, c = 0;
    return Locate(key, r, c) ? kFrequencies[r] : 0.0f;
}

float DtmfDetector::GetColumnFrequency(char key)
{
    int r = 0, c = 0;
    return Locate(key, r, c) ? kFrequencies[4 + c] : 0.0f;
}

char DtmfDetector::KeyAt(int row, int column)
{
    if (row < 0 || row > 3 || column < 0 || column > 3)
        return ' ';
    return kKeypad[row][column];
}

const std::array<float, DtmfDetector::ToneCount>& DtmfDetector::ToneFrequencies()
{
    return kFrequencies;
}

bool DtmfDetector::DetectLevels(const std::array<float, ToneCount>& levelsDb, std::int32_t timeMs)
{
    const std::int32_t time = std::max(timeMs, 0);
    if (lastKeyEnd_ < 0)
        lastKeyEnd_ = 0;
    if (time < lastKeyEnd_)
        lastKeyEnd_ = time - 100; // time went back (a new pass): let the gap rule pass

    for (int i = 0; i < ToneCount; ++i) {
        tones_[i].Level = levelsDb[i];
        tones_[i].Flag = 0;
    }
    // The strongest tone, then the strongest of the other seven; the first one wins a tie.
    auto strongest = [&](int skip) {
        int found = -1;
        float best = kNoLevel;
        for (int i = 0; i < ToneCount; ++i)
            if (i != skip && tones_[i].Level > best) {
                best = tones_[i].Level;
                found = i;
            }
        return found;
    };
    const int first = strongest(-1);
    const int second = first >= 0 ? strongest(first) : -1;

    bool valid = false;
    currentKey_ = ' ';
    if (first >= 0 && second >= 0) {
        tones_[first].Flag = 1;
        tones_[second].Flag = 1;
        valid = tones_[first].Level >= threshold_ && tones_[second].Level >= threshold_;
        // A key's two tones stand well above the other six; in noise, whichever two bins
        // happen to be strongest do not, and would otherwise be taken for keys.
        float others = kNoLevel;
        for (int i = 0; i < ToneCount; ++i)
            if (i != first && i != second)
                others = std::max(others, tones_[i].Level);
        if (tones_[second].Level - others < StandOutDb)
            valid = false;
        // One row and one column make a key; two rows or two columns make none.
        const int lo = std::min(first, second);
        const int hi = std::max(first, second);
        if (lo < 4 && hi >= 4)
            currentKey_ = KeyAt(lo, hi - 4);
        else
            valid = false;
    }

    bool completed = false;
    if (valid) {
        if (toneStart_ == 0) {
            if (time > lastKeyEnd_ + minGap_) {
                toneStart_ = time;
                duration_ = 0;
                timedKey_ = currentKey_;
            }
        } else {
            duration_ = time - toneStart_;
            timedKey_ = currentKey_;
        }
    } else if (duration_ >= 1 && duration_ >= minDuration_) {
        // The tone has ended and lasted long enough. Its start stays until the next invalid
        // block clears it.
        lastKeyEnd_ = time;
        duration_ = 0;
        completed = true;
    } else {
        toneStart_ = 0;
        duration_ = 0;
    }

    if (completed) {
        // The key of the tone's own blocks, not of the block that found it gone (whose
        // strongest pair is whatever noise is left).
        if (static_cast<int>(keys_.size()) >= MaxKeys)
            keys_.erase(0, keys_.size() - (MaxKeys - 1));
        keys_.push_back(timedKey_);
    }
    return completed;
}

void DtmfDetector::CopyKeys(char* buffer) const
{
    if (buffer == nullptr)
        return;
    std::memcpy(buffer, keys_.c_str(), keys_.size() + 1);
}

bool DtmfDetector::DetectBlock(const SpectralData* engine, std::int32_t timeMs)
{
    if (engine == nullptr)
        return false;
    std::array<float, ToneCount> levels{};
    for (int i = 0; i < ToneCount; ++i)
        levels[i] = engine->GetLevel(engine->FrequencyToBin(tones_[i].Frequency));
    return DetectLevels(levels, timeMs);
}
