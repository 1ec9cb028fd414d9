#include <clocale>

#include "display/qt/display_program.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    return statlume::RunDisplayProgram(argc, argv, STATLUME_VERSION);
}
