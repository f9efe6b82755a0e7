// The built-in KDR-5200 simulator: a device on a bus of its own, reached through the same
// functions as a real one (platform/usb/WinUsb.h). It is the bus when DURNEX_DEVICE=simulator
// (or when a test selects it); DURNEX_SIMULATOR gives its channel sources, for example
//     "0=sine:1000:-6;1=noise:-20;2=dc:0.1;3=file:/path/take.wav;4=loopback"
//   sine:<Hz>[:<dB re full scale>[:<phase degrees>]]  (level default 0 dB, phase 0)
//   noise[:<dB re full scale, RMS>]                    (default -20 dB; Gaussian, clipped)
//   dc:<fraction of full scale>                         (-1 .. 1)
//   file:<wave file>   first channel of a PCM or float wave file, looped, resampled to 4000 Hz
//   loopback[:<output channel>]  what the program's own sound output plays (see LoopbackPlay)
// Channels without a source, and silence, carry a dither of one step, so that a packet is never
// all zero (the device's "no data"). Channels 0 and 7 share the device's packet block 6; a
// source given for 0 is used there, else one given for 7.
//
// It speaks the device's protocol: after the 64-byte all-zero start command on bulk OUT 0x01 it
// sends one 512-byte packet on bulk IN 0x81 per 4 ms of its clock: 8 blocks of 16 samples,
// 32-bit big-endian words carrying 24-bit values. A reader that falls behind finds up to 2 s of
// packets waiting; older ones are lost, as in the device's own buffer.
//
// Thread-safe: tests and the sound layer call it from any thread.
#pragma once

#include "platform/core/WinTypes.h"

#include <string>

namespace kdrsim {

// Selects the simulator as the bus (true) or the real bus through libusb (false); the start-up
// choice comes from DURNEX_DEVICE. Unplugs nothing.
void SelectSimulator(bool on);
bool IsSimulatorSelected();

// Sets the channel sources from a DURNEX_SIMULATOR-style text; false with a message (and the
// old sources kept) when the text cannot be used. Takes effect at the next start command.
bool ConfigureSources(const std::string& text, std::string* error);

// The clock: the real monotonic clock unless a test clock is in use. A test clock starts at
// 1000 ms and moves only by AdvanceClock; readers waiting for a packet wake when it moves.
void UseTestClock(bool on);
void AdvanceClock(DWORD milliseconds);
DWORD Now();
// Waits (up to `realTimeoutMs` of real time) until a start command has started the stream.
bool WaitUntilStreaming(DWORD realTimeoutMs);
// Waits (up to `realTimeoutMs` of real time) until every packet due on the clock has been read.
bool WaitUntilDelivered(DWORD realTimeoutMs);

// Faults on request, counted from the next packet due:
void SendZeroPackets(int count);               // all-zero packets in place of real ones
void SendRawPacket(const BYTE (&packet)[512]);  // these bytes in place of the next real packet
void SendShortReads(int count, int bytes);     // the next `count` reads bring only `bytes` bytes
void Stall(DWORD milliseconds);                // sends nothing for that long; those packets are lost
void Unplug();                                 // the device leaves the bus; open handles die
void Plug();                                   // back on the bus (handles opened before stay dead)

// Counters: packets sent since the last start command, and start commands received.
long long PacketsSent();
long long StartCommands();

// The loopback entry: the frames a sound output hands to its device, as they are played
// (interleaved, little-endian PCM of 8, 16, 24 or 32 bits, or 32-bit float when bitsPerSample
// is 32 and isFloat). They are resampled to 4000 Hz and queued per output channel (at most
// 10 s); a loopback source takes them in order and dithers silence when the queue is empty.
void LoopbackPlay(const void* frames, unsigned frameCount, unsigned channels, unsigned bitsPerSample,
                  unsigned sampleRate, bool isFloat = false);
// Empties the loopback queues (the sound layer calls it when its output is reset).
void LoopbackReset();

// Back to the start-up state: sources from DURNEX_SIMULATOR, real clock, no faults, plugged in.
void Reset();

} // namespace kdrsim
