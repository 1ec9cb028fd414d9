#include "options/template_examples.h"

#include <algorithm>

#include "base/printable_text.h"
#include "format/template_cap.h"
#include "platform/linux/regular_file.h"

namespace statlume {
namespace {

constexpr std::size_t LongestName = 64;

std::string ShownName(const std::filesystem::path& file)
{
    std::string name = file.stem().string().substr(0, LongestName);
    std::replace(name.begin(), name.end(), '-', ' ');
    std::replace(name.begin(), name.end(), '_', ' ');
    return PrintableText(name);
}

void AddFolder(const std::filesystem::path& folder, std::vector<TExample>& examples)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    std::size_t looked = 0;
    for (; !error && entries != std::filesystem::directory_iterator() &&
           looked < MaxFolderEntries && examples.size() < MaxExamples;
         entries.increment(error), ++looked) {
        const std::filesystem::path& path = entries->path();
        // stat, not open: a FIFO is told apart without waiting on it.
        std::error_code statError;
        if (path.extension() != ".txt" || !std::filesystem::is_regular_file(path, statError))
            continue;
        std::string name = ShownName(path);
        const bool known =
            std::any_of(examples.begin(), examples.end(),
                        [&](const TExample& example) { return example.Name == name; });
        if (!known)
            examples.push_back(TExample{std::move(name), path});
    }
}

} // namespace

std::vector<TExample> ListExamples(const std::vector<std::filesystem::path>& folders)
{
    std::vector<TExample> examples;
    for (const auto& folder : folders)
        AddFolder(folder, examples);
    std::sort(examples.begin(), examples.end(),
              [](const TExample& a, const TExample& b) { return a.Name < b.Name; });
    return examples;
}

std::optional<std::string> ReadExample(const TExample& example, std::string& message)
{
    const std::string path = PrintableText(example.Path.string());
    std::string reason;
    bool tooLarge = false;
    auto text =
        platform::ReadRegularFile(example.Path.string(), MaxTemplateBytes, reason, &tooLarge);
    if (tooLarge) {
        message = "The example \"" + example.Name + "\" is not loaded: '" + path +
                  "' is larger than " + std::to_string(MaxTemplateBytes / 1024) +
                  " KiB, the most a template may hold.";
        return std::nullopt;
    }
    if (!text) {
        message = "The example \"" + example.Name + "\" cannot be loaded: '" + path +
                  "': " + PrintableText(reason) + ".";
        return std::nullopt;
    }
    if (const TTemplateCap cap = CapTemplate(*text); cap.Cut) {
        message = "The example \"" + example.Name + "\" is not loaded: '" + path + "' has " +
                  std::to_string(cap.Lines) + " lines, more than the " +
                  std::to_string(MaxTemplateLines) + " a template may hold.";
        return std::nullopt;
    }
    return text;
}

} // namespace statlume
