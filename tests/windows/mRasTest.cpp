// The connection table's shape and rules, and DialDefault's verdict, against a fake service.
#include "dialup/windows/mRas.h"

#include <gtest/gtest.h>

#include "FakeRemoteAccess.h"
#include "runtime/CutAtNul.h"
#include "runtime/RuntimeError.h"

namespace orvane::mRas {
namespace {

using dialup::HRASCONN;
using dialup::RASCONN;
using dialup::RASPPPIP;
using orvane::testing::FakeLink;
using orvane::testing::FakeRemoteAccess;
using namespace std::string_literals;

ErrorNumber ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return ErrorNumber::InternalError;
}

// Entries 1..count in the service's order, names byte for byte (257 bytes fill the field).
TEST(EnumerateConnections, EntriesOneToCountFollowTheServiceOrder) {
    FakeRemoteAccess service;
    service.links = {{"Ufficio", "203.0.113.45", 31},
                     {std::string(257, 'y'), "198.51.100.2", 12},
                     {"Citt\xe0 d'\xc3\xa9t\xc3\xa9", "192.0.2.77", 20}};
    ConnectionTable table;
    ASSERT_EQ(EnumerateConnections(service, table), 3);
    ASSERT_EQ(table.LowerBound(), 1);
    ASSERT_EQ(table.UpperBound(), 3);
    for (int32_t n = 1; n <= 3; ++n) {
        const FakeLink& link = service.links[static_cast<size_t>(n - 1)];
        const ConnectionInfo& entry = table.At(n);
        EXPECT_EQ(entry.hrasconn, link.handle);
        EXPECT_EQ(entry.EntryName, link.entry);
        EXPECT_EQ(entry.Address, link.address);
    }
    EXPECT_EQ(ErrorOf([&] { table.At(4); }), ErrorNumber::SubscriptOutOfRange);
}

// One projection record serves a call: a connection the service says nothing about shows
// the address an earlier one left. The next call starts afresh and discards the old table;
// with no connection up it holds the single empty entry 0.
TEST(EnumerateConnections, AStaleAddressLastsOnlyWithinOneCall) {
    FakeRemoteAccess service;
    service.links = {{"a", "", 1}, {"b", "192.0.2.7", 2}, {"c", "", 3}};
    ConnectionTable table;
    ASSERT_EQ(EnumerateConnections(service, table), 3);
    EXPECT_EQ(table.At(1).Address, "");
    EXPECT_EQ(table.At(2).Address, "192.0.2.7");
    EXPECT_EQ(table.At(3).Address, "192.0.2.7");
    service.links = {{"z", "", 9}};
    ASSERT_EQ(EnumerateConnections(service, table), 1);
    EXPECT_EQ(table.UpperBound(), 1);
    EXPECT_EQ(table.At(1).EntryName + table.At(1).Address, "z");
    service.links.clear();
    EXPECT_EQ(EnumerateConnections(service, table), 0);
    EXPECT_EQ(table.LowerBound(), 0);
    EXPECT_EQ(table.UpperBound(), 0);
    EXPECT_EQ(table.At(0).EntryName + table.At(0).Address, "");
    EXPECT_EQ(ErrorOf([&] { table.At(1); }), ErrorNumber::SubscriptOutOfRange);
}

TEST(EnumerateConnections, ACountBeyondTheScratchTableIsCutTo256) {
    FakeRemoteAccess service;
    for (HRASCONN handle = 1; handle <= 300; ++handle) {
        service.links.push_back({"link" + std::to_string(handle), "192.0.2.1", handle});
    }
    service.reportedCount = 300;  // the total, though only 256 records fitted
    ConnectionTable table;
    ASSERT_EQ(EnumerateConnections(service, table), 256);
    EXPECT_EQ(table.UpperBound(), 256);
    EXPECT_EQ(table.At(256).EntryName, "link256");
}

// The verdict follows the connections up afterwards, not the dialler's status; the entry
// goes to the dialler unchanged, unattended, with the parent window.
TEST(DialDefault, FollowsTheConnectionsAfterwardsNotTheDialler) {
    const struct {
        uint32_t dialStatus;
        size_t linksAfter;
        int16_t expected;
        std::string entry;
    } cases[] = {{0, 1, -1, "Ufficio"},
                 {651, 0, 0, ""},
                 {651, 1, -1, "due parole; \"x\" $(id)"},
                 {0, 0, 0, "Citt\xc3\xa0"},
                 {0, 3, -1, "Ufficio"}};
    int window = 0;
    for (const auto& c : cases) {
        FakeRemoteAccess service;
        service.dialStatus = c.dialStatus;
        if (c.linksAfter > 0) service.dialBringsUp = FakeLink{"Ufficio", "192.0.2.5", 5};
        service.links.assign(c.linksAfter - (c.linksAfter > 0),
                             FakeLink{"Ufficio", "192.0.2.5", 5});
        uint32_t connection = 0;
        EXPECT_EQ(DialDefault(service, c.entry, connection, &window), c.expected)
            << c.dialStatus << " " << c.linksAfter;
        EXPECT_EQ(connection, 4242u);
        EXPECT_EQ(service.dialled, std::vector<std::string>{c.entry});
        EXPECT_EQ(service.dialFlags, dialup::INTERNET_AUTODIAL_FORCE_UNATTENDED);
        EXPECT_EQ(service.dialParent, &window);
    }
}

TEST(RoundUpTo4, RoundsUpToAMultipleOfFourWithinTheSigned32BitRange) {
    const std::pair<int32_t, int32_t> cases[] = {
        {411, 412}, {40, 40}, {0, 0}, {1, 4}, {3, 4}, {5, 8}, {2147483644, 2147483644}};
    for (const auto& [n, expected] : cases) EXPECT_EQ(RoundUpTo4(n), expected) << n;
    for (const int32_t n : {2147483645, INT32_MAX}) {
        EXPECT_EQ(ErrorOf([&] { RoundUpTo4(n); }), ErrorNumber::Overflow) << n;
    }
}

TEST(CutAtNul, KeepsWhatStandsBeforeTheFirstNul) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc\0def"s, "abc"}, {"\0abc"s, ""},
        {"abc", "abc"},       {"", ""},
        {"a\0b\0c"s, "a"},    {std::string(32766, 'n') + '\0', std::string(32766, 'n')}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(CutAtNul(text), expected);
    const std::string late = std::string(32767, 'n') + '\0';
    EXPECT_EQ(ErrorOf([&] { CutAtNul(late); }), ErrorNumber::Overflow);
}

}  // namespace
}  // namespace orvane::mRas
