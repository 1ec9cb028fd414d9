#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/console_program.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // A closed output pipe shows as a failed write, so the program can end through Exit.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return statlume::RunConsoleProgram(args, STATLUME_VERSION, std::cout, std::cerr);
}
