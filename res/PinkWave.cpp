// The embedded pink-noise wave ("PINKWAVE" of type "PinkWave"): 60 s of pink noise, mono,
// 16-bit, 44100 Hz, with a format chunk and two further chunks before the data chunk.
// tools/make_pinkwave.py makes it at build time; its bytes are assembled in here.
#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"

#include <cstdint>
#include <span>

#ifndef DURNEX_PINKWAVE_FILE
#error "the build names the pink-noise wave it made"
#endif

asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".global durnex_pinkwave_begin\n"
    "durnex_pinkwave_begin:\n"
    ".incbin \"" DURNEX_PINKWAVE_FILE "\"\n"
    ".global durnex_pinkwave_end\n"
    "durnex_pinkwave_end:\n"
    ".popsection\n");

extern "C" const std::uint8_t durnex_pinkwave_begin[];
extern "C" const std::uint8_t durnex_pinkwave_end[];

void RegisterPinkWave()
{
    RegisterResource("PinkWave", "PINKWAVE",
                     std::span<const std::uint8_t>(durnex_pinkwave_begin, durnex_pinkwave_end));
}
