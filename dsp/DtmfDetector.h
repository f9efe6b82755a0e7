// DtmfDetector: the telephone keypad tone table, the key <-> frequency lookups (the signal
// generator synthesises its DTMF tones from them), and the per-block decision and timing
// that turn a run of spectra into key characters.
//
// A detector lives for one detection run on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class SpectralData;

class DtmfDetector {
public:
    static constexpr int ToneCount = 8;
    static constexpr int MaxKeys = 999; // the key string keeps the newest 999
    // How far (dB) both tones of a key must stand above each of the other six tones.
    static constexpr float StandOutDb = 10.0f;

    struct Tone {
        float Frequency; // Hz
        float Level;     // dB, of the last block
        std::uint8_t Flag; // one of the block's two strongest
    };

    DtmfDetector(float thresholdDb, std::int32_t minDurationMs, std::int32_t minGapMs);

    void Init(float thresholdDb, std::int32_t minDurationMs, std::int32_t minGapMs);
    void Reset(); // timing, current key and key string

    // Rows 697, 770, 852, 941 Hz; columns 1209, 1336, 1477, 1633 Hz; 0 for a character
    // that is no key. 'a' to 'd' are 'A' to 'D'.
    static float GetRowFrequency(char key);
    static float GetColumnFrequency(char key);
    // The keypad character of a row and a column index (0..3 each), ' ' outside.
    static char KeyAt(int row, int column);
    static const std::array<float, ToneCount>& ToneFrequencies();

    // One block of the engine's spectrum at the given time (ms): true when a key was
    // completed with this block. A null engine gives false.
    bool DetectBlock(const SpectralData* engine, std::int32_t timeMs);
    // The same from the eight tone levels (dB, in table order) the engine would give.
    bool DetectLevels(const std::array<float, ToneCount>& levelsDb, std::int32_t timeMs);

    char GetCurrentKey() const { return currentKey_; }
    int GetKeyCount() const { return static_cast<int>(keys_.size()); }
    // Copies the key string, zero-terminated (at most MaxKeys + 1 bytes).
    void CopyKeys(char* buffer) const;
    const std::string& GetKeys() const { return keys_; }

private:
    void ClearTiming();

    float threshold_ = 0.0f;
    std::int32_t minDuration_ = 0;
    std::int32_t minGap_ = 0;
    std::int32_t toneStart_ = 0; // 0 while no tone is being timed
    std::int32_t lastKeyEnd_ = 0;
    std::int32_t duration_ = 0;
    char currentKey_ = ' ';
    char timedKey_ = ' '; // the key of the tone being timed
    std::string keys_;
    std::array<Tone, ToneCount> tones_{};
};
