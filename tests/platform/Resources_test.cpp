#include "platform/Resources.h"

#ifdef _WIN32
#include "platform/Module.h"

#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace brimtone::platform {
namespace {

struct ImageSize {
    int id, width, height;
};

// The editor's image set: every id with the size the editor lays its controls out by.
constexpr std::array<ImageSize, 37> imageSet{{
    {123, 1024, 362}, {124, 1024, 362}, {125, 64, 116}, {128, 64, 58},  {129, 64, 58},  {130, 64, 58}, {131, 64, 58},
    {132, 64, 64},    {133, 64, 64},    {134, 174, 82}, {135, 28, 56},  {137, 50, 88},  {139, 50, 88}, {140, 64, 38},
    {141, 64, 38},    {142, 64, 38},    {143, 64, 38},  {144, 64, 38},  {148, 64, 38},  {149, 64, 38}, {150, 64, 38},
    {151, 64, 38},    {152, 64, 38},    {153, 23, 175}, {154, 23, 175}, {155, 82, 82},  {156, 82, 82}, {157, 82, 82},
    {158, 82, 82},    {159, 198, 58},   {160, 198, 58}, {161, 198, 58}, {162, 198, 58}, {163, 50, 40}, {164, 50, 40},
    {165, 50, 40},    {166, 50, 40},
}};

class ResourcesTest : public ::testing::Test {
protected:
#ifdef _WIN32
    // The resource script is linked into this test program, which stands in for the module.
    void SetUp() override { setModuleHandle(GetModuleHandleA(nullptr)); }
    void TearDown() override { setModuleHandle(nullptr); }
#endif
};

TEST_F(ResourcesTest, EveryImageIsAPngOfItsSize)
{
    constexpr std::array<std::uint8_t, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const ImageSize& image : imageSet) {
        SCOPED_TRACE(image.id);
        const std::span<const std::uint8_t> bytes = findResource(image.id, "PNG");
        ASSERT_GT(bytes.size(), 33u); // signature and the whole header chunk
        EXPECT_TRUE(std::equal(signature.begin(), signature.end(), bytes.begin()));
        EXPECT_TRUE(std::equal(bytes.begin() + 12, bytes.begin() + 16, "IHDR"));
        EXPECT_EQ(bytes[18] << 8 | bytes[19], image.width); // big-endian, below 65536
        EXPECT_EQ(bytes[22] << 8 | bytes[23], image.height);
        EXPECT_EQ(bytes[24], 8); // bits per channel
        // The two panels are opaque RGB; every control image carries alpha.
        EXPECT_EQ(bytes[25], image.id <= 124 ? 2 : 6);
    }
}

TEST_F(ResourcesTest, UnknownIdsAndTypesFindNothing)
{
    for (int id : {0, -1, 122, 126, 127, 136, 138, 145, 146, 147, 167, 0x10000 + 123})
        EXPECT_TRUE(findResource(id, "PNG").empty()) << id;
    for (const char* type : {"BMP", "PNGX", "", static_cast<const char*>(nullptr)})
        EXPECT_TRUE(findResource(123, type).empty());
    // Type names compare without regard to case, as Windows compares them.
    EXPECT_EQ(findResource(123, "png").data(), findResource(123, "PNG").data());
}

#ifdef _WIN32
TEST_F(ResourcesTest, WithoutTheModuleHandleNothingIsFound)
{
    setModuleHandle(nullptr);
    EXPECT_TRUE(findResource(123, "PNG").empty());
}
#endif

} // namespace
} // namespace brimtone::platform
