#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/registry_text.h"

// Any text either fails with a line inside the text or gives a tree that survives a round
// trip through the writer unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace statlume::platform;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
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
