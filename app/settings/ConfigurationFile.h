// Configuration files (*.cfg): the whole working state as INI text. The writer puts out every
// section and key in a fixed order and format; the reader takes the file into a table of
// lines and looks every key up with its missing-key default, so an empty or foreign file
// reads to those defaults and section or key spelling may differ in case.
#pragma once

#include "app/settings/FrameSettings.h"
#include "platform/core/FileSystem.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// One parsed line of a configuration file.
struct ConfigurationLine {
    BYTE IsSection;     // 1 for a section line
    char Section[40];   // section name without the brackets
    char Key[40];       // text before the first '='
    char Value[260];    // text after the first '=', without the line end; as long as the
                        // longest field (260-character paths), so every value reloads whole
};

// The reader keeps at most this many lines of a file.
constexpr std::size_t kMaxConfigurationLines = 12000;

// What reading a configuration found besides its values.
struct ConfigurationCheck {
    FileReadResult result = FileReadResult::Missing; // Unreadable: GetLastFileError() says why
    // Lines the reader could not use (binary or foreign text, lines cut or beyond the table):
    // replacing the file would lose them.
    bool damaged = false;
    // Settings whose value names no choice this version knows ("[Settings_0] AverageMode=7"),
    // each replaced by its missing-key value; the file itself is not changed.
    std::vector<std::string> replaced;
};

// What a read that had to use defaults tells the user: what (the file, as the message names it)
// followed by why, and the replaced settings (at most a dozen lines, then how many more). Empty
// when the check found nothing.
std::string DescribeConfigurationCheck(const std::string& what, const ConfigurationCheck& check);

// Reads a file into the line table (at most kMaxConfigurationLines entries, one per line,
// CRLF or LF line ends, the last line with or without one). False when it cannot be read;
// only regular files of at most kMaxSettingsFileBytes are read.
bool LoadConfigurationTable(const char* path, std::vector<ConfigurationLine>& table,
                            ConfigurationCheck* check = nullptr);

// Copies the value of [section] key, or def when there is none, into out (at most
// outSize - 1 characters, terminated). The first section of that name counts, and within it
// the first key; names compare without regard to case.
void LookupConfigurationValue(const char* section, const char* key, const char* def, char* out,
                              std::size_t outSize, const ConfigurationLine* table, std::size_t count);

// Writes key lines, each preceded by its section line when the section differs from the last
// one written. Lines end in CRLF, as files written on Windows do.
class ConfigurationWriter {
public:
    explicit ConfigurationWriter(std::FILE* file) : file_(file) {}
    void WriteProfileLine(const char* section, const char* key, const std::string& value);
    bool Failed() const { return failed_; }

private:
    std::FILE* file_;
    std::string lastSection_;
    bool failed_ = false;
};

// Writes the whole state to path; false (and nothing reported) when it cannot be written. A
// file there that cannot be read, or is write-protected, is left alone (false).
bool WriteConfigurationFile(const FrameSettings& settings, const char* path);

// Reads path into the records of the configuration; a file that cannot be read changes
// nothing and returns false. Rebuilding objects and windows is the caller's business.
bool ReadConfigurationFile(FrameSettings& settings, const char* path, ConfigurationCheck* check = nullptr);

// Sets every stored field to the value a configuration without that key gives it (the second
// default of every record; a calibration without its section that of a channel without one),
// as reading an empty file does.
void ApplyMissingKeyDefaults(FrameSettings& settings);

// The rules that follow every load: channels 0..6 are enabled and carry their location names.
void ApplyFixedChannels(FrameSettings& settings);
// Only the names of channels 0 to 6 (a first start, with no configuration read).
void ApplyFixedChannelNames(FrameSettings& settings);

// The largest FFT size the FFT page offers, and the largest block (FFT size times decimation
// ratio) a channel may ask of the device.
constexpr DWORD kMaxFftSize = 1048576;
// The largest averaging count ("Infinite").
constexpr long long kMaxAverageBlocks = 100000;

// The decimation ratio held so that FFT size times ratio stays within kMaxFftSize (at least 1).
WORD MaxDecimationFor(DWORD fftSize, WORD ratio);

// FFT sizes the system can transform: powers of two from 32 to 1048576. Any other value is
// brought to the nearest such size at or below it (32 for anything smaller).
DWORD ValidFftSize(long long requested);
