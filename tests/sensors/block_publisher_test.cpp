#include <memory>
#include <string>

#include "platform/linux/shm_sensor_block.h"
#include "sensors/block_publisher.h"
#include "sensors/test_process.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

namespace statlume {
namespace {

using statlume::testing::PrivateBlockName;

TEST(BlockPublisher, WritesTheWordsReadersExpect)
{
    const std::string name = PrivateBlockName("publisher-words");
    TBlockPublisher block(name);
    block.Write({{45, -3, 0}, {1200, 255, -1}});
    const auto words = platform::TShmSensorBlock(name).Read();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->Temps[0], 45u);
    EXPECT_EQ(words->Temps[1], static_cast<std::uint32_t>(-3));
    EXPECT_EQ(words->Fans[0], 1200u);
    EXPECT_EQ(words->Fans[1], 255u);
    EXPECT_EQ(words->Fans[2], 0xFFFFFFFFu);
}

TEST(BlockPublisher, LeavesANameAnotherPublisherTookAlone)
{
    const std::string name = PrivateBlockName("publisher-takeover");
    auto first = std::make_unique<TBlockPublisher>(name);
    EXPECT_TRUE(first->StillNamed());
    TBlockPublisher second(name);
    EXPECT_FALSE(first->StillNamed());
    EXPECT_TRUE(second.StillNamed());
    first.reset();
    EXPECT_TRUE(second.StillNamed()) << "the first one's end must not remove the second's block";
}

TEST(BlockPublisher, RemovesItsOwnNameUnlessKept)
{
    const std::string name = PrivateBlockName("publisher-remove");
    std::make_unique<TBlockPublisher>(name).reset();
    EXPECT_FALSE(platform::TShmSensorBlock(name).Read().has_value());
    {
        TBlockPublisher kept(name);
        kept.Keep();
    }
    EXPECT_TRUE(platform::TShmSensorBlock(name).Read().has_value());
    ::shm_unlink(name.c_str());
}

} // namespace
} // namespace statlume
