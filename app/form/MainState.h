// The main window's state record: countdown, settings, last published address, pause flag, log
// texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ftp/Protocol.h"
#include "publish/Targets.h"
#include "runtime/RuntimeError.h"

namespace orvane {

// The fixed texts of the event log, indexes 1 to 7.
inline constexpr int kFirstMessage = 1;
inline constexpr int kLastMessage = 7;

enum LogMessage : int32_t {
    kDialSucceeded = 1,
    kDialFailed = 2,
    kInternetOpenFailed = 3,
    kServerOpenFailed = 4,
    kAddressChanged = 5,
    kUploadFailed = 6,
    kPublicAddressFailed = 7,
};

struct MainState {
    int32_t Countdown = 0;
    std::string LastAddress;
    std::string DialEntry;
    std::string CheckIp;  // the public-address service; empty: the link's address is published
    std::string FtpServer;
    std::string FtpUser;
    std::string FtpPassword;
    std::string RemoteFile;
    ftp::Protection FtpProtection;  // FtpServer empty: no file is published
    std::vector<publish::TargetSettings> Targets;
    int32_t Interval = 0;
    int32_t FirstWait = 0;
    double ConnectDelay = 0;
    int16_t Paused = 0;                                  // 0 false, -1 true
    std::array<std::string, kLastMessage + 1> Messages;  // index 0 unused

    // The message at a log index; outside 1 to 7 a subscript-out-of-range error.
    const std::string& Message(int32_t index) const {
        if (index < kFirstMessage || index > kLastMessage)
            throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
        return Messages[static_cast<std::size_t>(index)];
    }
};

inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

}  // namespace orvane
