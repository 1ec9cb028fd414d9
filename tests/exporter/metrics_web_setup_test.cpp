#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exporter/metrics_web_setup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

class MetricsWebSetupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "statlume-web-setup.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    std::string Path() const { return Folder + "/web.yml"; }

    // A configuration whose one extra header says value; replaced whole, as an editor does.
    void Write(const std::string& value) const
    {
        std::ofstream(Path() + ".new")
            << "http_server_config:\n  headers:\n    X-Mark: " << value << "\n";
        std::filesystem::rename(Path() + ".new", Path());
    }

    std::string Folder;
};

TEST_F(MetricsWebSetupTest, AChangeWhileTheFileIsReadIsNotLost)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> duringReads; // written after each read, in turn
        const char* served;
        bool dueAgain;
    };
    const TCase cases[] = {
        {"nothing more", {}, "X-Mark: 2\r\n", false},
        {"changed during the read: read once more", {"3"}, "X-Mark: 3\r\n", false},
        {"changed during both reads: the next check reads it", {"3", "4"}, "X-Mark: 3\r\n", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Write("1");
        std::string reason;
        auto source = TWebSetupSource::Load(Path(), reason);
        ASSERT_TRUE(source) << reason;
        Write("2");
        const auto now = TWebSetupSource::TClock::now() + 2s;
        const auto job = source->Due(now);
        ASSERT_TRUE(job);
        std::size_t reads = 0;
        auto result = TWebSetupSource::Reread(*job, [&] {
            if (reads < c.duringReads.size())
                Write(c.duringReads[reads]);
            ++reads;
        });
        std::ostringstream err;
        source->Apply(std::move(result), err);
        EXPECT_EQ(source->Current()->ExtraHeaders, c.served);
        EXPECT_EQ(source->Due(now + 2s).has_value(), c.dueAgain);
        EXPECT_EQ(err.str(), "");
    }
}

TEST_F(MetricsWebSetupTest, AFileLargerThanTheCapIsRefusedUnread)
{
    Write(std::string(MaxWebConfigBytes, 'a'));
    std::string reason;
    EXPECT_FALSE(TWebSetupSource::Load(Path(), reason));
    EXPECT_NE(reason.find("larger than 1048576 bytes"), std::string::npos) << reason;
}

} // namespace
} // namespace statlume
