#include "format/formatter.h"

#include "base/ascii_case.h"
#include "format/tag_language.h"

namespace statlume {

namespace {

const TFormatData* FindItem(const TFormatter& formatter, std::string_view displayName)
{
    for (const auto& [name, item] : formatter.Items) {
        if (EqualsFolded(name, displayName))
            return &item;
    }
    return nullptr;
}

} // namespace

TFormatter::TFormatter(TRawDataShell& shell, const LocaleInfo& locale)
    : Shell(shell)
    , Locale(locale)
{
}

void TFormatter::RegisterItem(TItem item, TFormatFunc func)
{
    const TItemRow& row = ItemRow(item);
    Items.emplace_back(std::string(row.DisplayName),
                       TFormatData{item, row.Help(), AsciiUpperCopy(row.TagName),
                                   std::string(row.DefaultUsage), std::move(func)});
}

void TFormatter::DecideIfActive(std::string_view templateText)
{
    Active = false;
    for (const auto& [name, item] : Items) {
        if (FindTagStart(templateText, item.TagName) != std::string_view::npos) {
            Active = true;
            return;
        }
    }
}

std::string TFormatter::GetDescription(std::string_view displayName) const
{
    const TFormatData* item = FindItem(*this, displayName);
    if (item == nullptr)
        return {};
    std::string text;
    text.reserve(item->Description.size() + item->DefaultUsage.size() + 64);
    for (const char c : item->Description) {
        text += c;
        if (c == '.')
            text += "\r\n";
    }
    text += "\r\nDefault Usage String:\r\n";
    text += item->DefaultUsage;
    return text;
}

std::string TFormatter::GetDefaultUsage(std::string_view displayName) const
{
    const TFormatData* item = FindItem(*this, displayName);
    return item == nullptr ? std::string() : item->DefaultUsage;
}

void TFormatter::ListItems(std::vector<std::string>& list) const
{
    for (const auto& [name, item] : Items)
        list.push_back(name);
}

TFiguresFormat::TFiguresFormat(TRawDataShell& shell, const LocaleInfo& locale, TFamily family)
    : TFormatter(shell, locale)
{
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.Family != family || row.Text == nullptr)
            continue;
        RegisterItem(row.Item, [this, text = row.Text](const std::string& format, bool leadZero,
                                                       bool decimal) {
            return text(Shell, TItemTextArgs{format, leadZero, decimal, Locale});
        });
    }
}

TFormatterList CreateFormatters(TRawDataShell& shell, const LocaleInfo& locale)
{
    TFormatterList list;
    list.reserve(FamilyCount);
    list.push_back(std::make_unique<TMBMFormat>(shell, locale));
    list.push_back(std::make_unique<TUTPFormat>(shell, locale));
    list.push_back(std::make_unique<TPageRAMFormat>(shell, locale));
    list.push_back(std::make_unique<TProcFormat>(shell, locale));
    list.push_back(std::make_unique<TNetworkFormat>(shell, locale));
    list.push_back(std::make_unique<TNonPerfFormat>(shell, locale));
    for (const TFamily family :
         {TFamily::Load, TFamily::Disk, TFamily::Battery, TFamily::Gpu, TFamily::Top})
        list.push_back(std::make_unique<TFiguresFormat>(shell, locale, family));
    return list;
}

TFormatter& FamilyOf(const TFormatterList& formatters, TFamily family)
{
    return *formatters.at(static_cast<std::size_t>(family));
}

} // namespace statlume
