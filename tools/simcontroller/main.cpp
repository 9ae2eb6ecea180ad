// The simulated controller as a program: prints the port to connect to on its first line, then
// one decoded line per packet the host sends, until it receives SIGINT or SIGTERM.
//
// Usage: simcontroller [--firmware MAJOR MINOR] [--segments LAST,LAST,...] [--chunk BYTES MS]
//   --firmware  version bytes to report, in hexadecimal (default 22 05)
//   --segments  last tactor of each segment (default 8)
//   --chunk     send replies in pieces of BYTES bytes with MS milliseconds between them
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "SimController.h"

namespace {

int Usage() {
    fprintf(stderr,
            "usage: simcontroller [--firmware MAJOR MINOR] [--segments LAST,...] "
            "[--chunk BYTES MS]\n");
    return 2;
}

bool ParseByte(const char* text, int base, uint8_t* value) {
    char* end = nullptr;
    long number = strtol(text, &end, base);
    if (!*text || *end || number < 0 || number > 255) {
        return false;
    }
    *value = static_cast<uint8_t>(number);
    return true;
}

bool ParseSegments(const char* text, std::vector<uint8_t>* segments) {
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        uint8_t last = 0;
        if (!ParseByte(item.c_str(), 10, &last)) {
            return false;
        }
        segments->push_back(last);
    }
    return !segments->empty();
}

bool Configure(int argc, char** argv, drovo_sim::SimController* controller) {
    for (int i = 1; i < argc; ++i) {
        uint8_t first = 0;
        uint8_t second = 0;
        std::vector<uint8_t> segments;
        if (!strcmp(argv[i], "--firmware") && i + 2 < argc && ParseByte(argv[i + 1], 16, &first) &&
            ParseByte(argv[i + 2], 16, &second)) {
            controller->SetFirmware(first, second);
            i += 2;
        } else if (!strcmp(argv[i], "--segments") && i + 1 < argc &&
                   ParseSegments(argv[i + 1], &segments)) {
            controller->SetSegments(segments);
            i += 1;
        } else if (!strcmp(argv[i], "--chunk") && i + 2 < argc &&
                   ParseByte(argv[i + 1], 10, &first) && first > 0 &&
                   ParseByte(argv[i + 2], 10, &second)) {
            controller->SetChunking(first, std::chrono::milliseconds(second));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Block the stop signals before the worker starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    drovo_sim::SimController controller;
    if (!controller.Ok()) {
        fprintf(stderr, "simcontroller: cannot open a pseudo-terminal\n");
        return 1;
    }
    if (!Configure(argc, argv, &controller)) {
        return Usage();
    }
    size_t received = 0;
    controller.SetPacketObserver([&received](const drovo_sim::SimPacket& packet) {
        printf("packet %zu: %s\n", ++received, packet.Describe().c_str());
        fflush(stdout);
    });
    printf("%s\n", controller.PortName().c_str());
    fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
