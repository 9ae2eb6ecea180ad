#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "Mailbox.h"
#include "StdoutCapture.h"

namespace {

std::vector<uint8_t> Pattern(size_t length) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    return data;
}

TEST(MailboxMessage, SerialisesAndParsesBackAtEverySizeThatFits) {
    Mailbox broker;
    for (size_t length : {size_t{0}, size_t{1}, size_t{300}, size_t{65527}}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> data = Pattern(length);
        std::unique_ptr<MailboxMessage> message(
            broker.CreateMessage("ABCDxyz", data.data(), static_cast<uint16_t>(length), 0xBEEF));
        uint16_t total = 0;
        std::unique_ptr<uint8_t[]> bytes(message->GetDataSerializedBinary(total));
        ASSERT_TRUE(bytes);
        ASSERT_EQ(total, length + 8);
        const uint8_t header[8] = {'A',
                                   'B',
                                   'C',
                                   'D',
                                   static_cast<uint8_t>(length & 0xFF),
                                   static_cast<uint8_t>(length >> 8),
                                   0xEF,
                                   0xBE};
        EXPECT_EQ(0, memcmp(bytes.get(), header, 8));

        MailboxMessage parsed(bytes.get(), total);
        EXPECT_STREQ(parsed.GetData().address, "ABCD");
        EXPECT_EQ(parsed.GetData().dataLength, length);
        EXPECT_EQ(parsed.GetData().messageType, 0xBEEF);
        EXPECT_EQ(std::vector<uint8_t>(parsed.GetData().data, parsed.GetData().data + length),
                  data);
        EXPECT_FALSE(parsed.GetIsReceivedFromRemote());
    }
}

TEST(MailboxMessage, TooLongForTheSixteenBitTotalGivesNullAndThePlainLine) {
    Mailbox broker;
    std::vector<uint8_t> data(65528);
    std::unique_ptr<MailboxMessage> message(broker.CreateMessage("ABCD", data.data(), 65528, 0));
    StdoutCapture capture;
    uint16_t total = 1234;
    EXPECT_EQ(message->GetDataSerializedBinary(total), nullptr);
    EXPECT_EQ(total, 1234);
    EXPECT_EQ(capture.Text(), "[Mailbox] Integer overflow: Message too big!");
}

TEST(MailboxMessage, ParsingRejectsBuffersThatDoNotHoldWhatTheyAnnounce) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;    // null when the buffer parses
        uint16_t dataLength;  // of the parsed message
    };
    const std::vector<Case> cases = {
        {"seven bytes",
         {'A', 'B', 'C', 'D', 0, 0, 0},
         "Data length less than the size of a header!",
         0},
        {"empty", {}, "Data length less than the size of a header!", 0},
        {"bare header", {'A', 'B', 'C', 'D', 0, 0, 9, 0}, nullptr, 0},
        {"announces five, holds four",
         {'A', 'B', 'C', 'D', 5, 0, 0, 0, 1, 2, 3, 4},
         "Data length announced in the header exceeds the bytes given!",
         0},
        {"trailing bytes beyond the announced data",
         {'A', 'B', 'C', 'D', 1, 0, 0, 0, 1, 2},
         nullptr,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A buffer of exactly the given size, so a read past it shows up under the sanitizer.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[c.bytes.size()]);
        if (!c.bytes.empty())
            memcpy(exact.get(), c.bytes.data(), c.bytes.size());
        uint16_t length = static_cast<uint16_t>(c.bytes.size());
        if (c.error == nullptr) {
            MailboxMessage parsed(exact.get(), length);
            EXPECT_EQ(parsed.GetData().dataLength, c.dataLength);
            continue;
        }
        try {
            MailboxMessage parsed(exact.get(), length);
            ADD_FAILURE() << "parsed";
        } catch (const std::exception& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
    }
}

TEST(MailboxMessage, AddressesFoldToTheFirstFourBytesAndShortNamesPadWithNul) {
    EXPECT_EQ(MailboxAddress::FromName("ABCDxyz"), MailboxAddress::FromName("ABCD"));
    EXPECT_NE(MailboxAddress::FromName("ABCE"), MailboxAddress::FromName("ABCD"));
    EXPECT_EQ(MailboxAddress::FromName("AB"), MailboxAddress::FromBytes("AB\0\0"));
    EXPECT_EQ(MailboxAddress::FromName(""), 0u);
    EXPECT_EQ(MailboxAddress::FromName(nullptr), 0u);

    Mailbox broker;
    std::unique_ptr<MailboxMessage> shortName(broker.CreateMessage("AB", "x", 1, 0));
    uint16_t total = 0;
    std::unique_ptr<uint8_t[]> bytes(shortName->GetDataSerializedBinary(total));
    const uint8_t header[4] = {'A', 'B', 0, 0};
    EXPECT_EQ(0, memcmp(bytes.get(), header, 4));
}

TEST(MailboxMessage, NullDataStandsForZeroBytes) {
    Mailbox broker;
    std::unique_ptr<MailboxMessage> message(broker.CreateMessage("ABCD", nullptr, 3, 0));
    const uint8_t zeros[3] = {0, 0, 0};
    EXPECT_EQ(0, memcmp(message->GetData().data, zeros, 3));
}

}  // namespace
