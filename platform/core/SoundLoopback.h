// What the program's own sound output plays, handed to whoever listens: the KDR-5200
// simulator's loopback source (platform/usb) registers itself, and the sound layer reports
// every buffer as it is played. Without a listener the calls do nothing.
//
// Thread-safe: the sound layer may call from its audio thread; a listener must not block.
#pragma once

struct PlayedFramesListener {
    // Interleaved little-endian PCM of 8, 16, 24 or 32 bits, or 32-bit float when isFloat.
    void (*played)(const void* frames, unsigned frameCount, unsigned channels, unsigned bitsPerSample,
                   unsigned sampleRate, bool isFloat) = nullptr;
    // The output was reset: what was queued will not be heard.
    void (*reset)() = nullptr;
};

void SetPlayedFramesListener(PlayedFramesListener listener);
void NotifyFramesPlayed(const void* frames, unsigned frameCount, unsigned channels, unsigned bitsPerSample,
                        unsigned sampleRate, bool isFloat);
void NotifyPlaybackReset();
