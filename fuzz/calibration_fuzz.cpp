// Feeds arbitrary bytes to the calibration-file reader, completes the record as a channel's
// set-up does and writes it back as a new calibration: a record read from any file must be
// written to a file that reads back with the same units, kinds and version.
#include "FuzzSupport.h"

#include "records/ChannelCalibration.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::QuietBoxes();
    if (fuzz::PutFile("Probe.cal", data, size).empty())
        return 0;
    ChannelCalibration record;
    if (!ReadCalibrationFile("Probe", &record, true, fuzz::ScratchFolder().c_str()))
        return 0;
    ComputeCalibrationFactors(record);
    if (record.CalCreateMode == 0)
        return 0;
    const std::string written = fuzz::ScratchFile("Written.cal");
    std::remove(written.c_str());
    FUZZ_REQUIRE(WriteCalibrationFile(written.c_str(), &record));
    ChannelCalibration back;
    FUZZ_REQUIRE(ReadCalibrationFile("Written", &back, true, fuzz::ScratchFolder().c_str()));
    FUZZ_REQUIRE(back.RefUnits == record.RefUnits && back.RefType == record.RefType &&
                 back.CalCreateMode == record.CalCreateMode && back.DTCalVersion == record.DTCalVersion);
    return 0;
}
