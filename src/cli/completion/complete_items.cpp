// Writes the shell completion of statlume-cli from its template, with the item catalogue's
// tag names in place of @ITEM_TAGS@, so the completion never lists items the program lacks.

#include <cstddef>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "format/item_catalogue.h"

namespace {

constexpr std::string_view Placeholder = "@ITEM_TAGS@";
// Lines of tag names wrap before this column, as the rest of the script does.
constexpr std::size_t WrapColumn = 90;

// The tag names separated by blanks, wrapped onto lines indented four more than the line the
// list starts on; startColumn is where the first name goes.
std::string TagList(std::size_t startColumn, std::size_t indent)
{
    std::string text;
    std::size_t column = startColumn;
    for (const statlume::TItemRow& row : statlume::ItemCatalogue()) {
        if (!text.empty()) {
            if (column + 1 + row.TagName.size() > WrapColumn) {
                text += '\n';
                text.append(indent + 4, ' ');
                column = indent + 4;
            } else {
                text += ' ';
                ++column;
            }
        }
        text += row.TagName;
        column += row.TagName.size();
    }
    return text;
}

std::string Expand(const std::string& script)
{
    const std::size_t at = script.find(Placeholder);
    if (at == std::string::npos)
        return script;
    const std::size_t lineStart = script.rfind('\n', at) + 1;
    const std::size_t indent = script.find_first_not_of(' ', lineStart) - lineStart;
    return script.substr(0, at) + TagList(at - lineStart, indent) +
           script.substr(at + Placeholder.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: complete_items TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream script;
    script << in.rdbuf();
    if (!in) {
        std::cerr << "complete_items: cannot read " << argv[1] << '\n';
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << Expand(script.str());
    out.close();
    if (!out) {
        std::cerr << "complete_items: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
