#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/unique_fd.h"

namespace statlume::platform {

/// Reads the whole of the file open as fd from offset 0 into buffer, growing it as needed;
/// empty on a read error.
std::optional<std::string_view> ReadWhole(int fd, std::vector<char>& buffer);

/// A procfs file opened once and read whole with pread at offset 0 on every call, so a
/// steady read costs one system call and no allocation.
class TProcFile
{
public:
    /// Opens path read-only; a file that cannot be opened makes every Read fail.
    explicit TProcFile(const std::string& path);
    /// The file's current contents (valid until the next Read); empty on failure.
    std::optional<std::string_view> Read();
    /// "cannot read PATH: reason" after a failed open or read; otherwise that the contents were
    /// not in the expected form.
    std::string Problem() const;
    /// The path the file was opened from.
    const std::string& Path() const { return FilePath; }

private:
    std::string FilePath;
    TUniqueFd Fd;
    // errno of the failed open, then of the last failed read.
    int Error = 0;
    std::vector<char> Buffer;
};

/// A directory kept open whose entries are listed again on every call.
class TProcDirectory
{
public:
    /// Opens path as a directory; one that cannot be opened lists nothing.
    explicit TProcDirectory(const std::string& path);
    /// Calls visit with the name of every entry made only of digits; false on failure.
    template <typename TVisit> bool ForEachNumeric(TVisit&& visit);
    /// The descriptor of the directory (for openat).
    int Get() const { return Fd.Get(); }

private:
    /// Fills Names with the numeric entries' names, each followed by a null.
    bool ListNumeric();

    TUniqueFd Fd;
    std::vector<char> Entries;
    std::string Names;
};

template <typename TVisit> bool TProcDirectory::ForEachNumeric(TVisit&& visit)
{
    if (!ListNumeric())
        return false;
    std::size_t pos = 0;
    while (pos < Names.size()) {
        const std::size_t end = Names.find('\0', pos);
        visit(std::string_view(Names).substr(pos, end - pos));
        pos = end + 1;
    }
    return true;
}

} // namespace statlume::platform
