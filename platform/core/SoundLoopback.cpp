#include "platform/core/SoundLoopback.h"

#include <atomic>

namespace {
using PlayedFn = decltype(PlayedFramesListener::played);
using ResetFn = decltype(PlayedFramesListener::reset);
std::atomic<PlayedFn> g_played{nullptr};
std::atomic<ResetFn> g_reset{nullptr};
} // namespace

void SetPlayedFramesListener(PlayedFramesListener listener)
{
    g_played.store(listener.played);
    g_reset.store(listener.reset);
}

void NotifyFramesPlayed(const void* frames, unsigned frameCount, unsigned channels, unsigned bitsPerSample,
                        unsigned sampleRate, bool isFloat)
{
    if (PlayedFn fn = g_played.load())
        fn(frames, frameCount, channels, bitsPerSample, sampleRate, isFloat);
}

void NotifyPlaybackReset()
{
    if (ResetFn fn = g_reset.load())
        fn();
}
