#include <iostream>

#include "tools/vloinfo.h"

int main(int argc, char** argv) {
    return tools::RunVloInfo(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
