#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/formatter.h"
#include "format/machine_facts.h"

namespace statlume {

/// The items in catalogue order as a table under a heading line: tag name, the options the
/// item reads (SIZE and CHAR apply to all) and its default usage string, wrapped at blanks
/// so lines stay within 80 characters.
std::string ItemListText();

/// One item's help text as the options dialog shows it, with "\n" line ends; name is a tag
/// name or a display name in any case. Nothing for an unknown name.
std::optional<std::string> DescribeItem(const TFormatterList& formatters, std::string_view name);

/// The tag name closest to word (ASCII case ignored) when it is close enough to be a typo;
/// empty text otherwise.
std::string NearestTagName(std::string_view word);

/// A tag of a template that names no item, or an option of a tag that is ignored or changed.
struct TTagProblem
{
    /// 1-based template line.
    std::size_t Line = 0;
    /// 1-based character of the line where the tag starts.
    std::size_t Column = 0;
    /// The tag as the user wrote it, shortened and without control characters.
    std::string Tag;
    /// The suggested tag name; empty when none is close.
    std::string Suggestion;
    /// What is wrong with an option of a known item; empty for an unknown item.
    std::string Note;
};

/// Every "<NAME=" of the template (ASCII case ignored) that no tag name follows directly,
/// every drawing, threshold or colour option of a known item that is malformed, capped or
/// ignored by that item, and every known item that shows nothing (or the network total) as
/// written on the machine facts describes, in template order.
std::vector<TTagProblem> CheckTemplateTags(std::string_view templateText,
                                           const TMachineFacts& facts = {});

/// Where a report line says a problem is.
enum class TProblemPlace
{
    Line,
    LineAndColumn,
};

/// The report line of one problem: "line N: <NAME=ProcUsge>: no such item; did you mean
/// ProcUsage?", or "line N: <NAME=Threads BAR=5>: BAR ignored: no maximum"; "line N, column
/// C: ..." with the column.
std::string TagProblemText(const TTagProblem& problem, TProblemPlace place = TProblemPlace::Line);

} // namespace statlume
