// The connection table's shape and rules, and DialDefault's verdict, against a fake service.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "dialup/mRas.h"
#include "runtime/CutAtNul.h"
#include "runtime/RuntimeError.h"

namespace orvane::mRas {
namespace {

using dialup::HRASCONN;
using dialup::RASCONN;
using dialup::RASPPPIP;
using namespace std::string_literals;

struct FakeLink {
    HRASCONN handle = 0;
    std::string entry;
    std::optional<std::string> address;  // nothing: the service cannot say
};

// Reports the links it is given, refusing records of a form other than the known one (as
// the real service does), and remembers how it was dialled.
class FakeRemoteAccess : public dialup::RemoteAccess {
  public:
    std::vector<FakeLink> links, linksAfterDial;
    std::optional<uint32_t> reportedCount;  // a count other than the records written
    uint32_t dialStatus = 0, dialFlags = 0;
    std::vector<std::string> dialledEntries;
    dialup::WindowHandle dialParent = nullptr;

    uint32_t RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize, uint32_t* count) override {
        if (records[0].dwSize != 412 || *bufferSize != 256 * 412) return 632;
        const size_t written = std::min<size_t>(links.size(), 256);
        for (size_t n = 0; n < written; ++n) {
            records[n] = RASCONN{sizeof(RASCONN), links[n].handle, {}, "PPP", "ppp0"};
            // Up to the whole field: a name of 257 bytes leaves no NUL at all.
            std::memcpy(records[n].szEntryName, links[n].entry.data(),
                        std::min(links[n].entry.size(), sizeof records[n].szEntryName));
        }
        *count = reportedCount.value_or(static_cast<uint32_t>(written));
        return 0;
    }

    uint32_t RasGetProjectionInfoA(HRASCONN connection, uint32_t, RASPPPIP* projection,
                                   uint32_t* size) override {
        if (projection->dwSize != 40 || *size != 40) return 632;
        const auto link = std::find_if(links.begin(), links.end(),
                                       [&](const FakeLink& l) { return l.handle == connection; });
        if (link == links.end() || !link->address) return 730;
        std::memcpy(projection->szIpAddress, link->address->c_str(), link->address->size() + 1);
        return 0;
    }

    uint32_t RasHangUpA(HRASCONN) override { return 0; }

    uint32_t InternetDial(dialup::WindowHandle parent, const std::string& entry, uint32_t flags,
                          uint32_t* connection) override {
        dialledEntries.push_back(entry);
        dialFlags = flags;
        dialParent = parent;
        *connection = 4242;
        links = linksAfterDial;
        return dialStatus;
    }
};

ErrorNumber ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return ErrorNumber::InternalError;
}

TEST(EnumerateConnections, NoConnectionGivesTheSingleEmptyEntryZero) {
    FakeRemoteAccess service;
    ConnectionTable table;
    EXPECT_EQ(EnumerateConnections(service, table), 0);
    ASSERT_EQ(table.LowerBound(), 0);
    ASSERT_EQ(table.UpperBound(), 0);
    const ConnectionInfo& entry = table.At(0);
    EXPECT_EQ(entry.dwSize + entry.hrasconn, 0u);
    EXPECT_EQ(entry.szEntryName[0] + entry.szDeviceName[0] + entry.szDeviceType[0], 0);
    EXPECT_EQ(entry.EntryName + entry.Address, "");
    EXPECT_EQ(ErrorOf([&] { table.At(1); }), ErrorNumber::SubscriptOutOfRange);
}

// Entries 1..count in the service's order, names byte for byte (257 bytes fill the field).
TEST(EnumerateConnections, EntriesOneToCountFollowTheServiceOrder) {
    FakeRemoteAccess service;
    service.links = {{31, "Ufficio", "203.0.113.45"},
                     {12, std::string(257, 'y'), "198.51.100.2"},
                     {20, "Citt\xe0 d'\xc3\xa9t\xc3\xa9", "192.0.2.77"}};
    ConnectionTable table;
    ASSERT_EQ(EnumerateConnections(service, table), 3);
    ASSERT_EQ(table.LowerBound(), 1);
    ASSERT_EQ(table.UpperBound(), 3);
    for (int32_t n = 1; n <= 3; ++n) {
        const FakeLink& link = service.links[static_cast<size_t>(n - 1)];
        const ConnectionInfo& entry = table.At(n);
        EXPECT_EQ(entry.dwSize, 412u);
        EXPECT_EQ(entry.hrasconn, link.handle);
        EXPECT_EQ(entry.EntryName, link.entry);
        EXPECT_EQ(entry.Address, *link.address);
        EXPECT_STREQ(entry.szDeviceName, "ppp0");
        EXPECT_STREQ(entry.szDeviceType, "PPP");
    }
    EXPECT_EQ(ErrorOf([&] { table.At(4); }), ErrorNumber::SubscriptOutOfRange);
}

// One projection record serves a call: a connection the service says nothing about shows
// the address an earlier one left; the next call starts afresh and discards the old table.
TEST(EnumerateConnections, AStaleAddressLastsOnlyWithinOneCall) {
    FakeRemoteAccess service;
    service.links = {{1, "a", std::nullopt}, {2, "b", "192.0.2.7"}, {3, "c", std::nullopt}};
    ConnectionTable table;
    ASSERT_EQ(EnumerateConnections(service, table), 3);
    EXPECT_EQ(table.At(1).Address, "");
    EXPECT_EQ(table.At(2).Address, "192.0.2.7");
    EXPECT_EQ(table.At(3).Address, "192.0.2.7");
    service.links = {{9, "z", std::nullopt}};
    ASSERT_EQ(EnumerateConnections(service, table), 1);
    EXPECT_EQ(table.UpperBound(), 1);
    EXPECT_EQ(table.At(1).EntryName + table.At(1).Address, "z");
}

TEST(EnumerateConnections, ACountBeyondTheScratchTableIsCutTo256) {
    FakeRemoteAccess service;
    for (HRASCONN handle = 1; handle <= 300; ++handle) {
        service.links.push_back({handle, "link" + std::to_string(handle), "192.0.2.1"});
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
        service.linksAfterDial.assign(c.linksAfter, FakeLink{5, "Ufficio", "192.0.2.5"});
        uint32_t connection = 0;
        EXPECT_EQ(DialDefault(service, c.entry, connection, &window), c.expected)
            << c.dialStatus << " " << c.linksAfter;
        EXPECT_EQ(connection, 4242u);
        EXPECT_EQ(service.dialledEntries, std::vector<std::string>{c.entry});
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
    for (const auto& [text, expected] : cases) EXPECT_EQ(mCrypt::CutAtNul(text), expected);
    const std::string late = std::string(32767, 'n') + '\0';
    EXPECT_EQ(ErrorOf([&] { mCrypt::CutAtNul(late); }), ErrorNumber::Overflow);
}

}  // namespace
}  // namespace orvane::mRas
