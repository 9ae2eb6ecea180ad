#include "PacketWords.h"

#include <cstdio>

namespace {

std::string Format(const char* format, int a = 0, int b = 0, int c = 0, int d = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

int Word(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}

std::string DescribeRamp(const uint8_t* p) {
    if (p[0] == 0x20)
        return Format("ramp gain of tactor %d from %d to %d over %d ms", p[1], p[2], p[4],
                      p[6] * 100);
    return Format("ramp frequency of tactor %d from %d Hz to %d Hz over %d ms", p[1], Word(p + 2),
                  Word(p + 4), p[6] * 100);
}

// What one action does, without its delay. The controller's decoder has already checked that
// the payload has the command's size.
std::string DescribeAction(const drovo_sim::SimAction& action) {
    const uint8_t* p = action.data.data();
    switch (action.command) {
        case 0x11:
            return Format("pulse tactor %d for %d ms", p[0], p[1] * 10);
        case 0x20:
            return Format("set gain of tactor %d to %d", p[0], p[1]);
        case 0x12:
            return Format("set frequency of tactor %d to %d Hz", p[0], Word(p + 1));
        case 0x15:
            return Format("set signal source of tactor %d to %d", p[0], p[1]);
        case 0x2A:
            return DescribeRamp(p);
        case 0x1F:
            return Format("wait %d ms", Word(p));
        case 0x33:
            return Format("set type of tactor %d to 0x%02X", p[0], p[1]);
        case 0x01:
            return action.data.empty() ? "stop everything" : Format("stop sequence %d", p[0]);
        case 0x1A:
            return Format("play the recording in slot %d", p[0]);
        case 0x1B:
            return Format("start recording into slot %d", p[0]);
        case 0x1D:
            return "finish recording";
        case 0x30:
            return "run the self test";
        case 0x3A:
            return "report the battery level";
        case 0x42:
            return "report the firmware version";
        case 0x45:
            return "report the segment list";
        default:
            return drovo_sim::CommandName(action.command);
    }
}

}  // namespace

std::vector<std::string> DescribeInWords(const drovo_sim::SimPacket& packet) {
    if (!packet.checksumOk)
        return {"a packet with a bad checksum"};
    if (!packet.decoded)
        return {"a packet the controller cannot read"};
    std::vector<std::string> lines;
    for (const drovo_sim::SimAction& action : packet.actions)
        lines.push_back(DescribeAction(action) +
                        Format(" after %d ms", action.delay * packet.timeFactor));
    return lines;
}
