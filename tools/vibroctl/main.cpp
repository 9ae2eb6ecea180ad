// vibroctl: the tactor kit's command-line tool.
#include <cstdio>
#include <cstring>
#include <string>

#include "Demo.h"

#ifndef VIBROCTL_SAMPLES_DIR
#define VIBROCTL_SAMPLES_DIR "samples"
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vibroctl demo [SAMPLES_DIR]\n"
                 "  demo  drive a simulated controller through the kit, no hardware needed;\n"
                 "        SAMPLES_DIR holds the sample Hapsets (default: %s)\n",
                 VIBROCTL_SAMPLES_DIR);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "demo") != 0)
        return Usage();
    return RunDemo(argc == 3 ? argv[2] : VIBROCTL_SAMPLES_DIR);
}
