#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/shm_sensor_block.h"
#include "sensors/test_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

// A private shared memory object, removed when the test ends.
class TTestObject
{
public:
    explicit TTestObject(const std::string& tag)
        : Name("/statlume-test-" + std::to_string(::getpid()) + "-" + tag)
    {
        ::shm_unlink(Name.c_str());
    }
    TTestObject(const TTestObject&) = delete;
    TTestObject& operator=(const TTestObject&) = delete;
    ~TTestObject() { ::shm_unlink(Name.c_str()); }

    // Creates the object holding exactly these bytes.
    void Publish(const std::vector<std::uint8_t>& bytes) const
    {
        const int fd = ::shm_open(Name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }

    std::string Name;
};

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(ShmSensorBlock, ReadsTheWordsLittleEndian)
{
    TTestObject object("words");
    std::vector<std::uint8_t> bytes(112);
    for (std::size_t offset = 0; offset < 112; offset += 4)
        PutLe32(bytes, offset, 0x01000000u + static_cast<std::uint32_t>(offset));
    PutLe32(bytes, 0, 0x0001002Du);
    PutLe32(bytes, 96, 4500);
    object.Publish(bytes);

    const auto words = TShmSensorBlock(object.Name).Read();

    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->Temps[0], 0x0001002Du);
    EXPECT_EQ(words->Temps[1], 0x01000004u);
    EXPECT_EQ(words->Temps[9], 0x01000024u);
    EXPECT_EQ(words->Fans[0], 4500u);
    EXPECT_EQ(words->Fans[3], 0x0100006Cu);
}

TEST(ShmSensorBlock, RejectsMissingShortAndBadlyNamedBlocks)
{
    struct TCase
    {
        const char* name;
        std::size_t size; // 0: not created
    };
    const TCase cases[] = {{"missing", 0}, {"fifty bytes", 50}, {"one byte short", 111}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestObject object(std::to_string(c.size));
        if (c.size != 0)
            object.Publish(std::vector<std::uint8_t>(c.size, 0xAB));
        EXPECT_FALSE(TShmSensorBlock(object.Name).Read().has_value());
    }
    EXPECT_FALSE(TShmSensorBlock("/a/b").Read().has_value());
    EXPECT_FALSE(TShmSensorBlock("").Read().has_value());
}

TEST(ShmSensorBlock, LargerBlocksAreRead)
{
    TTestObject object("large");
    std::vector<std::uint8_t> bytes(8192);
    PutLe32(bytes, 104, 777);
    object.Publish(bytes);
    const auto words = TShmSensorBlock(object.Name).Read();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->Fans[2], 777u);
}

// A block sized on a full /dev/shm has no pages; mapping it faulted (SIGBUS) on the first
// look, reading it gives zeros.
TEST(ShmSensorBlock, BlockWithoutPagesOnAFullShmNeverFaults)
{
    const TTestObject object("no-pages");
    const auto run = testing::RunWithFullShm([&] {
        const int fd = ::shm_open(object.Name.c_str(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || ::ftruncate(fd, 112) != 0)
            return 10;
        const auto words = TShmSensorBlock(object.Name).Read();
        return words && words->Temps[0] == 0 && words->Fans[3] == 0 ? 0 : 11;
    });
    if (!run.Skip.empty())
        GTEST_SKIP() << run.Skip;
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 0);
}

TEST(ShmSensorBlock, IgnoresABlockOfAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving the block away needs root";
    TTestObject object("foreign");
    object.Publish(std::vector<std::uint8_t>(112));
    const int fd = ::shm_open(object.Name.c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchown(fd, 65534, 65534), 0);
    ::close(fd);
    EXPECT_FALSE(TShmSensorBlock(object.Name).Read().has_value());
}

} // namespace
} // namespace statlume::platform
