#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeTransport.h"

namespace {

TEST(MailboxTransport, RemoteListStartsEmptyAndClearingForgetsEveryEntry) {
    FakeTransport transport;
    EXPECT_FALSE(transport.HasRemoteAddress(0u));
    EXPECT_FALSE(transport.HasRemoteAddress("ABCD"));

    const uint32_t three[] = {MailboxAddress::FromName("AAAA"), MailboxAddress::FromName("BBBB"),
                              MailboxAddress::FromName("ABCD")};
    transport.StoreRemoteAddresses(three, 3);
    EXPECT_TRUE(transport.HasRemoteAddress("ABCDE"));  // only the first four bytes count
    EXPECT_TRUE(transport.HasRemoteAddress(three[1]));
    EXPECT_FALSE(transport.HasRemoteAddress("ABCE"));
    EXPECT_FALSE(transport.HasRemoteAddress(0u));

    transport.ClearRemoteAddresses();
    for (uint32_t address : three)
        EXPECT_FALSE(transport.HasRemoteAddress(address));
}

TEST(MailboxTransport, NeverKeepsMoreThanTheListHolds) {
    FakeTransport transport;
    std::vector<uint32_t> many(1500);
    for (uint32_t i = 0; i < many.size(); ++i)
        many[i] = i + 1;
    transport.StoreRemoteAddresses(many.data(), many.size());
    EXPECT_EQ(transport.GetRemoteAddressCount(), 1024u);
    EXPECT_TRUE(transport.HasRemoteAddress(1024u));
    EXPECT_FALSE(transport.HasRemoteAddress(1025u));
}

TEST(MailboxTransport, AddressFromListReadsOneThirtyTwoBitEntry) {
    FakeTransport transport;
    const uint32_t list[] = {MailboxAddress::FromName("AAAA"), MailboxAddress::FromName("WXYZ")};
    char text[5] = {'?', '?', '?', '?', '?'};
    transport.GetAddressFromList(list, 1, text);
    EXPECT_STREQ(text, "WXYZ");
}

TEST(MailboxTransportCallback, WithoutABrokerEveryReportThrowsAndNothingLeaks) {
    MailboxTransportCallback callback;
    const char* text = "Someone is a jerk and didn't properly pass the context. Fix this!";
    std::vector<uint8_t> bytes = Serialised("ABCD", {1, 2});
    try {
        callback.OnMessageReceived(new MailboxMessage(bytes.data(), 10));
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), text);
    }
    try {
        callback.OnRemoteConnected();
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), text);
    }
    try {
        callback.OnRemoteDisconnected();
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), text);
    }
}

}  // namespace
