#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace statlume {

/// Most template lines a window shows.
inline constexpr std::size_t MaxTemplateLines = 1000;
/// Most template bytes a window shows.
inline constexpr std::size_t MaxTemplateBytes = 64 * 1024;

/// The part of a template that is shown and what was dropped.
struct TTemplateCap
{
    /// The leading part of the text: at most MaxTemplateLines lines and MaxTemplateBytes
    /// bytes, never ending inside a UTF-8 sequence.
    std::string_view Kept;
    /// Lines of the whole text, by the template's line rule.
    std::size_t Lines = 0;
    /// True when Kept is shorter than the text.
    bool Cut = false;
};

/// Caps a template so a stored or edited text cannot make the window huge and slow; time is
/// linear in the text's size.
TTemplateCap CapTemplate(std::string_view text);

/// One line for the user about a cut template; empty when nothing was cut.
std::string TemplateCapMessage(const TTemplateCap& cap);

} // namespace statlume
