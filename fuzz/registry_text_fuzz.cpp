#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/registry_text.h"

// Any text either fails with a line inside the text or gives a tree that survives a round
// trip through the writer unchanged; so does whatever a salvage keeps.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace statlume::platform;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // What a salvage keeps is well-formed too, and lists no more lost lines than it counts.
    const TRegistryParseResult salvaged = SalvageRegistryText(text);
    if (salvaged.Tree) {
        const TRegistryParseResult kept = ParseRegistryText(FormatRegistryText(*salvaged.Tree));
        if (!kept.Tree || *kept.Tree != *salvaged.Tree ||
            salvaged.Lost.size() > salvaged.LostCount) {
            std::abort();
        }
    }
    const TRegistryParseResult parsed = ParseRegistryText(text);
    if (!parsed.Tree) {
        if (parsed.Reason.empty()) {
            std::abort();
        }
        return 0;
    }
    const TRegistryParseResult again = ParseRegistryText(FormatRegistryText(*parsed.Tree));
    if (!again.Tree || *again.Tree != *parsed.Tree) {
        std::abort();
    }
    return 0;
}
