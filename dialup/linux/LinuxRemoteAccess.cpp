// The connection records on Linux, filled from the link service in charge.
#include "dialup/linux/LinuxRemoteAccess.h"

#include <algorithm>
#include <cstring>

namespace orvane::dialup {

namespace {

// Copies as much of `text` as fits and always ends the field with a NUL.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

RASCONN RecordOf(const DialUpLink& link) {
    RASCONN record{};
    record.dwSize = sizeof(RASCONN);
    record.hrasconn = link.identifier;
    CopyText(record.szEntryName, link.entryName);
    CopyText(record.szDeviceType, link.deviceType);
    CopyText(record.szDeviceName, link.deviceName);
    return record;
}

}  // namespace

LinuxRemoteAccess::LinuxRemoteAccess(Chooser choose) : choose_(std::move(choose)) {}

LinuxRemoteAccess::LinuxRemoteAccess(LinkService& only)
    : choose_([&only]() -> LinkService& { return only; }) {}

LinkService& LinuxRemoteAccess::Choose() {
    current_ = &choose_();
    current_->SetEventWait(wait_);
    return *current_;
}

LinkService& LinuxRemoteAccess::Current() { return current_ ? *current_ : Choose(); }

uint32_t LinuxRemoteAccess::RasEnumConnectionsA(RASCONN* records, uint32_t* bufferSize,
                                                uint32_t* count) {
    if (!records || !bufferSize || !count) return linkerror::InvalidParameter;
    *count = 0;
    if (*bufferSize < sizeof(RASCONN) || records[0].dwSize != sizeof(RASCONN)) {
        return linkerror::InvalidSize;
    }
    const std::vector<DialUpLink> links = Choose().ListLinks();
    const size_t room = *bufferSize / sizeof(RASCONN);
    const size_t written = std::min(links.size(), room);
    for (size_t n = 0; n < written; ++n) records[n] = RecordOf(links[n]);
    *count = static_cast<uint32_t>(written);
    if (written < links.size()) {
        *bufferSize = static_cast<uint32_t>(links.size() * sizeof(RASCONN));
        return linkerror::BufferTooSmall;
    }
    return 0;
}

uint32_t LinuxRemoteAccess::RasGetProjectionInfoA(HRASCONN connection, uint32_t protocol,
                                                  RASPPPIP* projection, uint32_t* size) {
    if (!projection || !size || protocol != RASP_PppIp) return linkerror::InvalidParameter;
    if (*size < sizeof(RASPPPIP) || projection->dwSize != sizeof(RASPPPIP)) {
        return linkerror::InvalidSize;
    }
    const std::vector<DialUpLink> links = Current().ListLinks();
    const auto link = std::find_if(links.begin(), links.end(), [&](const DialUpLink& candidate) {
        return candidate.identifier == connection;
    });
    if (link == links.end()) return linkerror::InvalidHandle;
    projection->dwError = 0;
    CopyText(projection->szIpAddress, link->address);
    CopyText(projection->szServerIpAddress, link->serverAddress);
    *size = sizeof(RASPPPIP);
    return 0;
}

uint32_t LinuxRemoteAccess::RasHangUpA(HRASCONN connection) { return Current().HangUp(connection); }

uint32_t LinuxRemoteAccess::InternetDial(WindowHandle, const std::string& entry, uint32_t,
                                         uint32_t* connection) {
    uint32_t identifier = 0;
    uint32_t result = linkerror::CannotFindEntry;
    // No dialler could be told an empty name, nor one cut short at a NUL.
    if (!entry.empty() && entry.find('\0') == std::string::npos) {
        result = Choose().Dial(entry, wait_ ? *wait_ : sleeping_, identifier);
    }
    if (connection) *connection = identifier;
    return result;
}

}  // namespace orvane::dialup
