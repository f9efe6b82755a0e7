#include "platform/core/Resources.h"
#include "res/resource.h"

#include <gtest/gtest.h>

TEST(Resources, BuiltInStringsAndBlobsAreFoundByIdAndCaseInsensitiveName)
{
    RegisterBuiltInResources();
    RegisterBuiltInResources(); // a second call changes nothing
    EXPECT_EQ(LoadResourceString(AFX_IDS_APP_TITLE), "KDR-5200");
    EXPECT_EQ(LoadResourceString(1), "");

    static const std::uint8_t bytes[] = {1, 2, 3};
    RegisterResource("PinkWave", "TESTBLOB", bytes);
    EXPECT_EQ(FindResourceBytes("PINKWAVE", "testblob").size(), 3u);
    EXPECT_TRUE(FindResourceBytes("PinkWave", "other").empty());
    RegisterResource(ResType::Bitmap, 101u, bytes);
    EXPECT_EQ(FindResourceBytes(ResType::Bitmap, 101u).data(), bytes);
}
