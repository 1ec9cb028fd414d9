#include <iostream>

int main()
{
    std::cout << "statlume-cli " << STATLUME_VERSION << "\n";
    return 0;
}
