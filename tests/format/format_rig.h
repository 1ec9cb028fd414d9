#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/locale_info.h"
#include "format/formatter.h"
#include "format/tag_language.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// A shell, a locale and the whole registry over them, as the display window holds them.
struct TFormatRig
{
    explicit TFormatRig(LocaleInfo locale = {})
        : Locale(std::move(locale))
        , Formatters(CreateFormatters(Shell, Locale))
    {
    }

    /// Applies a one-line template (deciding which formatters are active) and renders it.
    std::string Render(std::string_view line, std::uint8_t alignment = 0)
    {
        DecideAllActive(Formatters, line);
        for (auto& formatter : Formatters)
            formatter->Alignment = alignment;
        return RenderLine(Formatters, line);
    }

    TFormatter& Family(TFamily family) { return FamilyOf(Formatters, family); }

    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
};

} // namespace statlume
