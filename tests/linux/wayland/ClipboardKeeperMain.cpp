// The clipboard keeper alone, as the program starts it at quit.
#include <string>
#include <vector>

#include "linux/wayland/ClipboardKeeper.h"

int main(int argc, char** argv) {
    if (argc < 2 || argv[1] != dz::wayland::ClipboardKeeper::argument)
        return 2;
    return dz::wayland::ClipboardKeeper::run(std::vector<std::string>(argv + 2, argv + argc));
}
