// dozuzavuvu-scenario FILE: runs a scenario file and prints its events.

#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/scenario/ScenarioRunner.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: dozuzavuvu-scenario FILE (\"-\" for standard input)\n";
        return 64;
    }
    std::stringstream bytes;
    if (std::string(argv[1]) == "-") {
        bytes << std::cin.rdbuf();
    } else {
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            std::cerr << "dozuzavuvu-scenario: cannot read " << argv[1] << "\n";
            return 66;
        }
        bytes << file.rdbuf();
    }
    std::string error;
    int status = dz::scenario::run(bytes.str(), std::cout, &error);
    std::cout.flush();
    if (status != 0)
        std::cerr << "dozuzavuvu-scenario: " << error << "\n";
    return status;
}
