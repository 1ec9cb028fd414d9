#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "platform/linux/registry_text.h"
#include "platform/linux/unique_fd.h"
#include "platform/registry.h"

#include <sys/types.h>

namespace statlume::platform {

/// The settings folder: $XDG_CONFIG_HOME/statlume, else ~/.config/statlume.
std::string DefaultSettingsFolder();

/// What a file registry may do with its file.
enum class TFileAccess
{
    /// Read the file and store every change in it.
    ReadWrite,
    /// Read the file; changes stay in memory (runs that must leave the settings alone).
    ReadOnly,
    /// Neither read nor write the file: defaults, changes in memory (an unsafe folder).
    MemoryOnly,
};

/// A registry kept in one text file in the REGEDIT4 export format (mode 0600). Reads come
/// from a copy parsed once; every write (or batch of writes) locks "<file>.lock", re-reads
/// the file when another process replaced it, applies the change, writes a temporary file,
/// fsyncs it and renames it over the file, so concurrent writers keep each other's values and
/// a crash never leaves a torn file. Only a file that cannot be parsed is kept aside as
/// "<file>.bad-<time>" and reported; every well-formed value it still held is taken over and
/// stored in a new file, and the report names the values lost. A file that cannot be read (no
/// descriptors left, no permission, an I/O error, not a regular file) is reported and fails the
/// write, leaving the file and the cached values as they were. A write whose file the reader would
/// refuse (above MaxRegistryTextSize) fails too.
class TFileRegistry : public TRegistry
{
public:
    /// Reads the file at filePath (missing means empty) as access allows; its folder must
    /// exist.
    TFileRegistry(std::string filePath, TReportFunc report,
                  TFileAccess access = TFileAccess::ReadWrite);
    /// Creates the settings folder (0700) when missing and reads settings.reg in it; a folder
    /// owned by another user or writable by others is reported and the registry then holds
    /// defaults and writes nothing.
    static TFileRegistry OpenUserSettings(TReportFunc report);
    /// Reads settings.reg of the settings folder and never writes anything: no folder, lock
    /// or file is created, changes stay in memory, a corrupt file stays where it is.
    static TFileRegistry OpenUserSettingsReadOnly(TReportFunc report);

    /// The settings file's path.
    const std::string& Path() const { return FilePath; }
    /// Changes reach the file.
    bool Writable() const { return Access == TFileAccess::ReadWrite; }
    bool Salvaged() const override { return TookOverSalvage; }

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

    enum class TLoadOutcome
    {
        Loaded,
        CannotRead,
        CannotParse,
    };

    struct TLoadResult
    {
        TLoadOutcome Outcome = TLoadOutcome::Loaded;
        std::string Reason;
        // CannotParse: what could still be read of the file.
        TRegistryParseResult Salvage;
    };

    // True when the cache holds the file's values; a read error goes to readError when
    // given, else to the report.
    bool Load(bool locked, std::string* readError);
    TLoadResult ReloadIfChanged();
    void KeepAside(TRegistryParseResult salvage);
    void ReportSalvage(const TRegistryParseResult& salvage, const std::string& fate) const;
    bool OpenLockFile();
    void WriteTree(const TRegistryTree& tree);
    void RemoveStaleTemps() const;

    std::string FilePath;
    std::string Folder;
    TReportFunc Report;
    TFileAccess Access;
    TRegistryTree Cached;
    // Holding the parsed file open keeps its inode number from being reused, so an equal
    // identity really means the same file.
    TUniqueFd CachedFile;
    TIdentity CachedIdentity;
    TUniqueFd LockFile;
    bool TempsSwept = false;
    bool TookOverSalvage = false;
};

} // namespace statlume::platform
