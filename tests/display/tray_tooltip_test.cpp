#include "display/tray_tooltip.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(TrayToolTip, NamesRolesAndPeersAndEachProblem)
{
    struct Row
    {
        const char* name;
        TTrayStatus status;
        std::string expected;
    };
    const Row rows[] = {
        {"local", {}, "Statlume"},
        {"client",
         {.ClientHost = "192.0.2.10", .ClientPort = 6130},
         "Statlume: client of 192.0.2.10:6130"},
        {"server",
         {.ServingPort = 6130, .Connections = 2},
         "Statlume: serving on 6130, 2 connections"},
        {"server, one",
         {.ServingPort = 6130, .Connections = 1},
         "Statlume: serving on 6130, 1 connection"},
        {"client serving too",
         {.ClientHost = "::1", .ClientPort = 7000, .ServingPort = 6131},
         "Statlume: client of [::1]:7000; serving on 6131, no connections"},
        {"markup and controls in the host",
         {.ClientHost = "<b>x\n", .ClientPort = 1},
         "Statlume: client of ?b?x?:1"},
        {"foreign password",
         {.ClientHost = "h", .ClientPort = 1, .PasswordMismatch = true},
         "Statlume: client of h:1\nThe password does not match the server's: its figures "
         "cannot be read."},
        {"old figures",
         {.ClientHost = "h", .ClientPort = 1, .FiguresFrom = "17:32:05"},
         "Statlume: client of h:1\nThe server does not answer: the figures are from "
         "17:32:05."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrayToolTip(row.status), row.expected);
    }
}

TRun Drawn(TRunKind kind, std::size_t cells, double fraction, std::vector<float> history)
{
    TRun run;
    run.Kind = kind;
    run.Text = "50";
    run.Cells = cells;
    run.Fraction = fraction;
    run.History = std::move(history);
    return run;
}

TEST(TrayToolTip, FiguresAreTheFirstLinesAsPlainText)
{
    const auto text = [](std::string value, TRunTone tone = TRunTone::Plain) {
        TRun run;
        run.Text = std::move(value);
        run.Tone = tone;
        return run;
    };
    struct Row
    {
        const char* name;
        std::vector<TRunLine> lines;
        std::string expected;
    };
    const Row rows[] = {
        {"text, colour dropped", {{{text("CPU "), text("80", TRunTone::Critical)}}}, "CPU 80"},
        {"bar and graph as blocks",
         {{{Drawn(TRunKind::Bar, 2, 0.5, {})}}, {{Drawn(TRunKind::Graph, 3, 0.5, {0.0F, 1.0F})}}},
         "\u2588\u2591\n \u2581\u2588"},
        {"controls from outside", {{{text("a\x1b[31mb\tc\u202ed")}}}, "a?[31mb?c?d"},
        {"long line cut on a character",
         {{{text(std::string(TrayFigureWidth - 1, 'x') + "\u00e9\u00e9")}}},
         std::string(TrayFigureWidth - 1, 'x') + "\u00e9..."},
        {"empty lines at the end left out", {{{text("a")}}, {}, {{text("b")}}, {}, {}}, "a\n\nb"},
        {"no lines", {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> lines;
        for (const TRunLine& line : row.lines) {
            lines.push_back(TrayFigureLine(line));
        }
        EXPECT_EQ(TrayFigures(lines), row.expected);
    }
}

} // namespace
} // namespace statlume
