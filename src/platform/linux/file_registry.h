#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "platform/linux/unique_fd.h"
#include "platform/registry.h"

#include <sys/types.h>

namespace statlume::platform {

/// The settings folder: $XDG_CONFIG_HOME/statlume, else ~/.config/statlume.
std::string DefaultSettingsFolder();

/// A registry kept in one text file in the REGEDIT4 export format (mode 0600). Reads come
/// from a copy parsed once; every write locks "<file>.lock", re-reads the file when another
/// process replaced it, applies the change, writes a temporary file, fsyncs it and renames
/// it over the file, so concurrent writers keep each other's values and a crash never
/// leaves a torn file. A file that cannot be parsed is kept aside as "<file>.bad-<time>"
/// and reported; the registry then starts empty.
class TFileRegistry : public TRegistry
{
public:
    /// Reads the file at filePath (missing means empty); its folder must exist.
    TFileRegistry(std::string filePath, TReportFunc report);
    /// Creates the settings folder (0700) when missing and reads settings.reg in it.
    static TFileRegistry OpenUserSettings(TReportFunc report);

    /// The settings file's path.
    const std::string& Path() const { return FilePath; }

protected:
    const TRegistryTree& Snapshot() override { return Cached; }
    void Update(const std::function<void(TRegistryTree&)>& change) override;

private:
    struct TIdentity
    {
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = -1;
        timespec Modified{};
        timespec Changed{};
        bool operator==(const TIdentity& other) const;
    };

    void Load(bool locked);
    bool ReloadIfChanged(std::string& reason, std::size_t& line);
    void KeepAside(std::size_t line, const std::string& reason);
    void WriteTree(const TRegistryTree& tree);
    void RemoveStaleTemps() const;

    std::string FilePath;
    std::string Folder;
    TReportFunc Report;
    TRegistryTree Cached;
    // Holding the parsed file open keeps its inode number from being reused, so an equal
    // identity really means the same file.
    TUniqueFd CachedFile;
    TIdentity CachedIdentity;
    TUniqueFd LockFile;
    bool TempsSwept = false;
};

} // namespace statlume::platform
