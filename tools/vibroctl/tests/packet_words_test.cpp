// The demonstration's plain-words reading of host packets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PacketWords.h"

namespace {

struct WordsCase {
    std::vector<uint8_t> packet;
    std::vector<std::string> lines;
};

TEST(PacketWordsTest, DescribesEveryActionWithItsDelay) {
    const std::vector<WordsCase> cases = {
        {{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x05, 0x03, 0x0A, 0xFA},
         {"pulse tactor 3 for 100 ms after 50 ms"}},
        {{0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00, 0x01, 0x0A, 0x20, 0x05, 0x02, 0xC8, 0x1D},
         {"pulse tactor 1 for 100 ms after 0 ms", "set gain of tactor 2 to 200 after 50 ms"}},
        {{0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9},
         {"report the firmware version after 0 ms"}},
        {{0x02, 0x0A, 0x01, 0x0A, 0x00, 0x2A, 0x00, 0x12, 0x01, 0x2C, 0x01, 0xB8, 0x0B, 0x0A, 0x00,
          0x44},
         {"ramp frequency of tactor 1 from 300 Hz to 3000 Hz over 1000 ms after 0 ms"}},
        {{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x05, 0x03, 0x0A, 0x00},
         {"a packet with a bad checksum"}},
    };
    for (const WordsCase& c : cases) {
        drovo_sim::SimPacket packet = drovo_sim::SimPacket::FromBytes(c.packet);
        EXPECT_EQ(DescribeInWords(packet), c.lines) << c.lines.front();
    }
}

}  // namespace
