// The KDR-5200 held by several device objects of the program at once (the input kept open between
// runs, the generator's and the output's objects): they share the one claim USB allows, one of
// them reads, the claim goes with the last of them, and another program holding the device
// still refuses the open.
#include "SimulatorFixture.h"

#include "platform/usb/Kdr5200.h"
#include "platform/usb/WinUsb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using simtest::SimulatorTest;

namespace {

// Another program's hold on the device: the platform's own open and claim of its interface.
class OtherProgram {
public:
    OtherProgram()
    {
        const GUID guid = kKdr5200InterfaceClass;
        HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        SP_DEVICE_INTERFACE_DATA data;
        DWORD size = 0;
        if (set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data)) {
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
            std::vector<char> buffer(size + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
            if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, DWORD(buffer.size()), nullptr, nullptr))
                m_file = UsbOpenDevicePath(detail->DevicePath);
        }
        if (set != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set);
        if (m_file != INVALID_HANDLE_VALUE && !WinUsb_Initialize(m_file, &m_interface))
            m_interface = nullptr;
    }
    ~OtherProgram()
    {
        if (m_interface != nullptr)
            WinUsb_Free(m_interface);
        if (m_file != INVALID_HANDLE_VALUE)
            UsbCloseDevicePath(m_file);
    }
    bool Holds() const { return m_interface != nullptr; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE m_interface = nullptr;
};

} // namespace

TEST_F(SimulatorTest, ObjectsOfTheProgramShareTheDeviceAndOneOfThemReadsIt)
{
    Responder user; // any box fails the test below
    // The device streams on after a reader stops: a new reader's start begins it afresh.
    const auto startReading = [](TUsbDevice& device) {
        const long long starts = kdrsim::StartCommands();
        ASSERT_TRUE(device.StartInput());
        for (int i = 0; i < 5000 && kdrsim::StartCommands() == starts; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GT(kdrsim::StartCommands(), starts);
    };
    Sources("1=dc:0.25");
    TUsbDevice input, generator;
    ASSERT_NO_FATAL_FAILURE(Start(input, AllChannels()));
    Run(40);

    // The generator's object opens the device the input reads, asks its format, and goes.
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(generator.OpenDevice(nullptr, 0, 1)) << round;
        EXPECT_TRUE(generator.IsOpen());
        EXPECT_FALSE(generator.OpenOutput(8000, 16, 1)); // the device has no analog output
        ASSERT_TRUE(generator.SetDeviceConfigurationAD(AllChannels(), 1024, false, 0));
        EXPECT_FALSE(generator.StartInput()) << "a second reader would take every other packet";
        EXPECT_FALSE(generator.IsReading());
        generator.CloseDevice();
        Run(40);
    }
    // The input read on through all of it, every packet in its place.
    EXPECT_TRUE(input.IsReading());
    EXPECT_EQ(input.GetSampleCounter(), 4 * 160);
    EXPECT_EQ(input.GetLostPackets(), 0);
    std::vector<int> got(4 * 160);
    ASSERT_EQ(input.ReadSamples(1, 0, int(got.size()), got.data()), TUsbDevice::RingRead::Ok);
    for (int v : got)
        ASSERT_EQ(v, 2097152); // 0.25 of full scale

    // Stopped but kept open between runs, the input lets another object read.
    input.StopInput();
    ASSERT_TRUE(generator.OpenDevice(nullptr, 0, 1));
    ASSERT_TRUE(generator.SetDeviceConfigurationAD(OnlyChannel(1), 1024, false, 0));
    ASSERT_NO_FATAL_FAILURE(startReading(generator));
    Run(40);
    EXPECT_EQ(generator.GetSampleCounter(), 160);
    // Closing the object that does not read leaves the reader alone.
    input.CloseDevice();
    Run(40);
    EXPECT_EQ(generator.GetSampleCounter(), 320);
    generator.CloseDevice();
    EXPECT_TRUE(user.Texts().empty()) << user.Texts().front();
}

TEST_F(SimulatorTest, TheClaimGoesWithTheLastObjectAndAnotherProgramStillRefusesTheOpen)
{
    Responder user;
    TUsbDevice first, second;
    ASSERT_TRUE(first.OpenDevice(nullptr, 0, 1));
    ASSERT_TRUE(second.OpenDevice(nullptr, 0, 1));
    first.CloseDevice();
    EXPECT_FALSE(OtherProgram().Holds()) << "the second object still holds the device";
    second.CloseDevice();
    {
        OtherProgram other;
        ASSERT_TRUE(other.Holds()) << "the claim went with the last object";
        user.ExpectBox(IDOK, "Failure on WinUsb_Initialize.  Error Code = 170.");
        EXPECT_FALSE(first.OpenDevice(nullptr, 0, 1));
        EXPECT_FALSE(first.IsOpen());
        EXPECT_TRUE(user.Unexpected().empty());
    }
    EXPECT_TRUE(first.OpenDevice(nullptr, 0, 1));
    first.CloseDevice();
    EXPECT_EQ(user.Texts().size(), 1u);
}

// A device that left the bus and came back is claimed afresh, even while an object still holds
// the claim of the one that left (a run stopped for the lost device closes it only then).
TEST_F(SimulatorTest, ARepluggedDeviceIsClaimedAfreshBesideTheDeadClaim)
{
    Responder user;
    Sources("1=dc:0.25");
    TUsbDevice before, after;
    ASSERT_NO_FATAL_FAILURE(Start(before, AllChannels()));
    Run(40);
    kdrsim::Unplug();
    kdrsim::Plug();
    ASSERT_TRUE(after.OpenDevice(nullptr, 0, 1));
    ASSERT_TRUE(after.SetDeviceConfigurationAD(OnlyChannel(1), 1024, false, 0));
    ASSERT_TRUE(after.StartInput()) << "the dead claim's reader does not read this one";
    ASSERT_TRUE(kdrsim::WaitUntilStreaming(5000));
    Run(40);
    EXPECT_EQ(after.GetSampleCounter(), 160);
    before.CloseDevice();
    Run(40);
    EXPECT_EQ(after.GetSampleCounter(), 320);
    after.CloseDevice();
    EXPECT_TRUE(user.Texts().empty()) << user.Texts().front();
}
