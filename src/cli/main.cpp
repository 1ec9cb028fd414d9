#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <span>
#include <string>

#include "cli/console_program.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // A closed output pipe shows as a failed write, so the program can end through Exit.
    std::signal(SIGPIPE, SIG_IGN);
    std::optional<std::string> password;
    if (const char* value = std::getenv("STATLUME_PASSWORD")) {
        if (*value != '\0')
            password = value;
        // The sensor publisher the program may start has no use for it.
        ::unsetenv("STATLUME_PASSWORD");
    }
    // The arguments themselves, not copies: a password among them is overwritten in place.
    return statlume::RunConsoleProgram(std::span<char* const>(argv + 1, argv + argc), password,
                                       STATLUME_VERSION, std::cout, std::cerr);
}
