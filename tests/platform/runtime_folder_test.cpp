#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "platform/linux/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

class RuntimeFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/statlume-rtf-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Base = pattern;
        Root = (Base / "tmp").string();
        Cache = (Base / "cache" / "statlume").string();
        Reset();
    }
    void TearDown() override { fs::remove_all(Base); }

    void Reset() const
    {
        fs::remove_all(Root);
        fs::remove_all(Base / "cache");
        fs::create_directory(Root);
    }
    std::string Record() const
    {
        std::ifstream in(Cache + "/runtime-folder");
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Remember(const std::string& text) const
    {
        fs::create_directories(Cache);
        std::ofstream(Cache + "/runtime-folder") << text << '\n';
    }
    // A fresh folder as the function makes it: in Root, ours alone, and recorded.
    void ExpectMadeAndRecorded(const TFolderChoice& choice) const
    {
        ASSERT_TRUE(choice.Error.empty()) << choice.Error;
        EXPECT_EQ(fs::path(choice.Folder).parent_path(), Root);
        EXPECT_TRUE(fs::path(choice.Folder).filename().string().starts_with("statlume-"));
        struct stat info
        {
        };
        ASSERT_EQ(::lstat(choice.Folder.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(Record(), choice.Folder + "\n");
    }

    fs::path Base;
    std::string Root;
    std::string Cache;
};

std::string MakeFolder(const std::string& path, mode_t mode)
{
    fs::create_directory(path);
    ::chmod(path.c_str(), mode);
    return path;
}

TEST_F(RuntimeFolderTest, RemembersOnlyAFolderStillOursAlone)
{
    struct Row
    {
        const char* name;
        // Prepares the remembered folder under root; none: no record at all.
        std::optional<std::string> (*prepare)(const std::string& root, const fs::path& base);
        bool reused = false;
        bool needsRoot = false;
    };
    const Row rows[] = {
        {"no record yet",
         [](const std::string&, const fs::path&) -> std::optional<std::string> {
             return std::nullopt;
         }},
        {"still ours",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             return MakeFolder(root + "/statlume-a", 0700);
         },
         true},
        {"gone",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             return root + "/statlume-gone";
         }},
        {"opened to others",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             return MakeFolder(root + "/statlume-a", 0755);
         }},
        {"a link to a folder of ours",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             fs::create_directory_symlink(MakeFolder(root + "/statlume-real", 0700),
                                          root + "/statlume-link");
             return root + "/statlume-link";
         }},
        {"a private folder elsewhere",
         [](const std::string&, const fs::path& base) -> std::optional<std::string> {
             return MakeFolder((base / "statlume-elsewhere").string(), 0700);
         }},
        {"a folder not named by us",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             return MakeFolder(root + "/other", 0700);
         }},
        {"another user's",
         [](const std::string& root, const fs::path&) -> std::optional<std::string> {
             const std::string theirs = MakeFolder(root + "/statlume-theirs", 0700);
             EXPECT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
             return theirs;
         },
         false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) {
            std::cout << "skipped '" << row.name << "': needs root to make a folder of uid 65534\n";
            continue;
        }
        Reset();
        const std::optional<std::string> remembered = row.prepare(Root, Base);
        if (remembered) {
            Remember(*remembered);
        }
        const TFolderChoice choice = RememberedTempFolder(Cache, Root);
        ExpectMadeAndRecorded(choice);
        if (remembered) {
            EXPECT_EQ(choice.Folder == *remembered, row.reused);
        }
    }
}

TEST_F(RuntimeFolderTest, RefusesARecordFolderOthersMayWrite)
{
    fs::create_directories(Cache);
    ::chmod(Cache.c_str(), 0777);
    const TFolderChoice choice = RememberedTempFolder(Cache, Root);
    EXPECT_TRUE(choice.Folder.empty());
    EXPECT_NE(choice.Error.find("writable"), std::string::npos) << choice.Error;
    EXPECT_TRUE(fs::is_empty(Root));
}

TEST_F(RuntimeFolderTest, ProgramsStartingTogetherShareOneFolder)
{
    constexpr int Children = 8;
    int fds[2] = {-1, -1};
    ASSERT_EQ(::pipe(fds), 0);
    for (int i = 0; i < Children; ++i) {
        if (::fork() == 0) {
            const std::string line = RememberedTempFolder(Cache, Root).Folder + "\n";
            ::_exit(::write(fds[1], line.data(), line.size()) == ssize_t(line.size()) ? 0 : 1);
        }
    }
    ::close(fds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    while (::wait(nullptr) > 0) {
    }
    std::istringstream lines(output);
    std::multiset<std::string> folders;
    for (std::string line; std::getline(lines, line);) {
        folders.insert(line);
    }
    ASSERT_EQ(folders.size(), static_cast<std::size_t>(Children));
    EXPECT_EQ(folders.count(*folders.begin()), folders.size()) << output;
    EXPECT_EQ(std::distance(fs::directory_iterator(Root), fs::directory_iterator()), 1);
}

} // namespace
} // namespace statlume::platform
