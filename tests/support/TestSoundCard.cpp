// Linked into every test program: before anything opens a sound device, ALSA is pointed at the
// tests' configuration, whose default device writes to the file named by DURNEX_SOUND_FILE.
// So sound tests compare bytes, and no test ever plays on the machine's real card.
#include <cstdlib>

namespace {
const bool g_testSoundCard = [] {
    setenv("ALSA_CONFIG_PATH", DURNEX_TEST_DATA "/asound-file.conf", 1);
    return true;
}();
} // namespace
