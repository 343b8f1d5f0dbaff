#include <iostream>

#include "tools/vloexport.h"

int main(int argc, char** argv) {
    return tools::RunVloExport(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
