#include "PortDiscovery.h"

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "SysCall.h"

namespace drovo_serial {
namespace {

// Port families in the order they are offered: USB serial adapters first (the usual way a
// controller is attached), then Bluetooth serial links, then the ports on the board.
const char* const kFamilies[] = {"ttyUSB", "ttyACM", "rfcomm", "ttyS", "ttyAMA"};

// The number after `prefix` in `name`, or -1 when `name` is not prefix followed by digits.
long PortNumber(const char* name, const char* prefix) {
    size_t length = strlen(prefix);
    if (strncmp(name, prefix, length) != 0 || name[length] == '\0') {
        return -1;
    }
    for (const char* digit = name + length; *digit; ++digit) {
        if (!isdigit(static_cast<unsigned char>(*digit))) {
            return -1;
        }
    }
    return strtol(name + length, nullptr, 10);
}

std::vector<std::string> DevEntries(const std::string& devDir) {
    std::vector<std::string> names;
    DIR* dir = opendir(devDir.c_str());
    if (!dir) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

// The kernel registers every possible 8250 port (ttyS0 to ttyS31) whether or not a chip is
// there; those without hardware hang off the "serial8250" placeholder device or have none.
bool HasHardware(const std::string& root, const std::string& name) {
    std::string driver = root + "/sys/class/tty/" + name + "/device/driver";
    char target[PATH_MAX] = {};
    ssize_t length =
        SysCall("readlink", [&] { return readlink(driver.c_str(), target, sizeof target - 1); });
    if (length <= 0) {
        return false;
    }
    const char* base = strrchr(target, '/');
    return strcmp(base ? base + 1 : target, "serial8250") != 0;
}

}  // namespace

std::vector<std::string> ListPorts(const std::string& root) {
    const std::string devDir = root + "/dev";
    const std::vector<std::string> entries = DevEntries(devDir);
    std::vector<std::string> ports;
    for (const char* family : kFamilies) {
        std::vector<std::pair<long, std::string>> found;
        for (const std::string& name : entries) {
            long number = PortNumber(name.c_str(), family);
            if (number < 0 || (strcmp(family, "ttyS") == 0 && !HasHardware(root, name))) {
                continue;
            }
            found.emplace_back(number, name);
        }
        std::sort(found.begin(), found.end());
        for (const auto& port : found) {
            ports.push_back(devDir + "/" + port.second);
        }
    }
    return ports;
}

}  // namespace drovo_serial
