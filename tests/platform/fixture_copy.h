// A writable copy of the sysfs and procfs fixture trees, removed when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <stdlib.h>

namespace statlume::testing {

/// The fixture trees of a host with every kind of card, disk and battery.
inline const std::string HostSysfs = STATLUME_TEST_DATA "/sysfs_host";
inline const std::string HostProcfs = STATLUME_TEST_DATA "/procfs_host";

/// Copies tests/data/sysfs_host and procfs_host, links included, into a fresh folder.
class TFixtureCopy
{
public:
    TFixtureCopy()
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "statlume-fixture-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        Folder = pattern;
        const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
        fs::copy(STATLUME_TEST_DATA "/sysfs_host", Folder / "sys", options);
        fs::copy(STATLUME_TEST_DATA "/procfs_host", Folder / "proc", options);
    }
    ~TFixtureCopy() { std::filesystem::remove_all(Folder); }
    TFixtureCopy(const TFixtureCopy&) = delete;
    TFixtureCopy& operator=(const TFixtureCopy&) = delete;

    /// The copy's sysfs and procfs roots.
    std::string Sysfs() const { return (Folder / "sys").string(); }
    std::string Procfs() const { return (Folder / "proc").string(); }

    /// Replaces the file at relative (below the copy's folder) with text.
    void Write(const std::string& relative, const std::string& text) const
    {
        std::ofstream(Folder / relative, std::ios::trunc) << text << '\n';
    }

private:
    std::filesystem::path Folder;
};

} // namespace statlume::testing
