#include "platform/system_roots.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/printable_text.h"

namespace statlume::platform {

namespace {

// The backends recognise the machine's own procfs by its path and add file names with "/".
std::string NormalFolder(const std::string& folder)
{
    std::error_code ignored;
    std::string path = std::filesystem::absolute(folder, ignored).lexically_normal().string();
    if (path.empty())
        path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string FolderProblem(std::string_view option, const std::optional<std::string>& folder)
{
    if (!folder)
        return {};
    std::error_code error;
    const auto status = std::filesystem::status(*folder, error);
    if (!error && !std::filesystem::is_directory(status))
        error = std::make_error_code(std::errc::not_a_directory);
    if (!error)
        return {};
    return std::string(option) + " cannot use '" + PrintableText(*folder) + "': " + error.message();
}

} // namespace

TSystemRoots RootsOf(const TGivenRoots& given)
{
    TSystemRoots roots;
    if (given.Procfs)
        roots.Procfs = NormalFolder(*given.Procfs);
    if (given.Sysfs)
        roots.Sysfs = NormalFolder(*given.Sysfs);
    return roots;
}

std::string GivenRootsProblem(const TGivenRoots& given)
{
    std::string problem = FolderProblem("--procfs", given.Procfs);
    return problem.empty() ? FolderProblem("--sysfs", given.Sysfs) : problem;
}

} // namespace statlume::platform
