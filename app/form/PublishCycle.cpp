// fOrvane's publish cycle: find or dial a connection, wait, open the FTP session, upload the
// address file, and show and log what happened. One cycle at a time; errors end only the cycle.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>
#include <variant>

#include "dialup/AddressScope.h"
#include "form/FileOutput.h"
#include "form/fOrvane.h"
#include "ftp/ServerAddress.h"
#include "publish/TargetBook.h"
#include "runtime/RegionalText.h"
#include "runtime/Reporter.h"

namespace orvane {

namespace {

constexpr const char* kPublishedFile = "ip.txt";
constexpr const char* kTargetRecords = "orvane.targets";
constexpr int32_t kRetrySeconds = 15;
constexpr std::chrono::seconds kDialRetry{kRetrySeconds};
// What the status shows when the public-address service gave no address: after the FTP steps'
// 1 to 3, and no run-time error's number.
constexpr int32_t kPublicAddressError = 4;

}  // namespace

std::string fOrvane::PublishedFileText(const std::tm& now, const std::string& address) {
    return "Date: " + ShortDateText(now) + "   Time: " + LongTimeText(now) + "\r\n\r\n" +
           "IP:   " + address + "\r\n";
}

void fOrvane::PublishNow() {
    // A tick that reaches zero during a cycle marks one more cycle instead of nesting it. One
    // during a dial is dropped: the dial's cycle publishes what the dial brings up, and a cycle
    // right after a failed dial would only dial again at once.
    if (cycleDepth_ > 0) {
        if (!dialling_) cyclePending_ = true;
        return;
    }
    ++cycleDepth_;
    do {
        cyclePending_ = false;
        try {
            RunCycle();
        } catch (const CycleAborted&) {
        } catch (const RuntimeError& error) {
            ReportCycleError(error);
        }
    } while (cyclePending_ && !closing_);
    --cycleDepth_;
    if (closing_) window_.CloseWhenIdle();
}

void fOrvane::StopIfClosing() const {
    if (closing_ && cycleDepth_ > 0) throw CycleAborted{};
}

fOrvane::SearchState fOrvane::SearchConnection(std::vector<dialup::DialUpLink>& links) {
    links = links_.ActiveLinks(cycleWait_);
    if (!links.empty()) return SearchState::Connected;
    if (dialFailedAt_ && clock_.Monotonic() < *dialFailedAt_ + kDialRetry) {
        return SearchState::DialHeldBack;
    }
    const dialup::DialOutcome outcome = Dial();
    // A dial that closing ended is no verdict on the connection: nothing is logged.
    StopIfClosing();
    // A dial is judged by whether a link is up afterwards; the links are listed again only when
    // the dial says it brought one up.
    if (outcome == dialup::DialOutcome::LinkUp) links = links_.ActiveLinks(cycleWait_);
    if (links.empty()) {
        dialFailedAt_ = clock_.Monotonic();
        return SearchState::Offline;
    }
    WriteLogLine(kDialSucceeded);
    return SearchState::Connected;
}

dialup::DialOutcome fOrvane::Dial() {
    dialling_ = true;
    try {
        const dialup::DialOutcome outcome = links_.Dial(state_.DialEntry, cycleWait_);
        dialling_ = false;
        return outcome;
    } catch (...) {
        dialling_ = false;
        throw;
    }
}

// The countdown at which a dial may start again after the last failed one.
int32_t fOrvane::SecondsToNextDial() {
    const auto left = *dialFailedAt_ + kDialRetry - clock_.Monotonic();
    // One more: the first tick comes within a second, not a whole second later.
    return static_cast<int32_t>(std::chrono::ceil<std::chrono::seconds>(left).count()) + 1;
}

void fOrvane::RunCycle() {
    const bool all = std::exchange(publishToAll_, false);
    status_.targets.clear();
    ShowResult(Status::Kind::Blank, "");
    window_.PumpEvents();
    StopIfClosing();

    std::vector<dialup::DialUpLink> links;
    const SearchState search = SearchConnection(links);
    if (search == SearchState::Offline) {
        // The next cycle with the countdown, or once a dial may start again when that is later.
        state_.Countdown = std::max(state_.Countdown, SecondsToNextDial());
        ReportOffline();
        return;
    }
    if (search == SearchState::DialHeldBack) {
        // Asked for too soon: the cycle comes again as soon as it may dial. No dial was made,
        // so the log gets nothing.
        state_.Countdown = SecondsToNextDial();
        ShowOffline();
        return;
    }
    const dialup::DialUpLink& first = links.front();
    if (first.address.empty()) {
        // A connection still coming up has no address yet: publishing an empty one would
        // overwrite the good address on the server. Reported as no connection, left up, and
        // tried again soon.
        state_.Countdown = kRetrySeconds;
        ReportOffline();
        return;
    }
    NoticeUnroutable(first.address);

    WaitMilliseconds(state_.ConnectDelay);
    LoadFtpSettings();
    const std::optional<std::string> address = AddressToPublish(first);
    if (!address) return;
    if (state_.FtpServer.empty()) {
        // Targets only: the address to publish goes to them alone.
        ShowResult(Status::Kind::Online, *address);
        LogAddressChange(*address);
        PublishToTargets(first, *address, all);
        return;
    }
    std::unique_ptr<ftp::UploadSession> session;
    ftp::UploadFailure failure{};
    const int32_t result = OpenFtpSession(session, failure);
    if (result == 0) {
        PublishOverSession(*address, std::move(session));
        PublishToTargets(first, *address, all);
        return;
    }
    StopIfClosing();  // a login the close cancelled is no failure to report
    ShowError(result);
    // Before the hang-up: the targets do not depend on the FTP server.
    PublishToTargets(first, *address, all);
    links_.HangUp(first, cycleWait_);
    state_.Countdown = kRetrySeconds;
    WriteLogLine(result + 2);
    ReportClientError(failure);
}

// An address nobody outside can reach is published all the same (a network of one's own may
// use it), but said once per address, and shown for as long as the link has it.
void fOrvane::NoticeUnroutable(const std::string& address) {
    const bool routable = dialup::IsGloballyRoutable(address);
    status_.unroutable = routable ? "" : address;
    window_.StatusChanged(status_);
    if (routable || address == noticedAddress_) return;
    noticedAddress_ = address;
    Report(Priority::Warning, "The link's address " + address +
                                  " is private, shared or reserved: it cannot be reached from "
                                  "the Internet (a public-address service can be set as CHECKIP)");
}

// The link's own address, or with a public-address service set, the one it answers. A service
// that gives none fails the cycle as a failed session does, without hanging the link up: the
// link works, the service does not.
std::optional<std::string> fOrvane::AddressToPublish(const dialup::DialUpLink& link) {
    if (state_.CheckIp.empty()) return link.address;
    ftp::PublicAddressAnswer answer =
        uploader_.LookUpPublicAddress({state_.CheckIp, ""}, cycleWait_);
    StopIfClosing();  // a question the close cut short is no failure to report
    if (auto* address = std::get_if<std::string>(&answer)) return *address;
    ShowError(kPublicAddressError);
    state_.Countdown = kRetrySeconds;
    WriteLogLine(kPublicAddressFailed);
    Report(Priority::Error, std::get<ftp::LookupFailure>(answer).reason);
    return std::nullopt;
}

void fOrvane::ShowOffline() {
    status_.unroutable.clear();
    ShowResult(Status::Kind::Offline, "");
}

void fOrvane::ReportOffline() {
    ShowOffline();
    WriteLogLine(kDialFailed);
}

// The session is closed, whatever happens, before the local file is deleted.
void fOrvane::PublishOverSession(const std::string& address,
                                 std::unique_ptr<ftp::UploadSession> session) {
    const std::string localFile = AppFile(kPublishedFile);
    WriteWholeFile(localFile, PublishedFileText(clock_.LocalNow(), address));
    const std::optional<ftp::UploadFailure> failure = session->Put(localFile, state_.RemoteFile);
    session.reset();
    DeleteFile(localFile);

    if (failure) {
        StopIfClosing();  // an upload the close cancelled is no failure to report
        ShowResult(Status::Kind::Error, "", static_cast<int32_t>(failure->step));
        state_.Countdown = kRetrySeconds;
        WriteLogLine(kUploadFailed);
        ReportClientError(*failure);
        return;
    }
    ShowResult(Status::Kind::Online, address);
    LogAddressChange(address);
}

void fOrvane::LogAddressChange(const std::string& address) {
    if (address == state_.LastAddress) return;
    state_.LastAddress = address;
    WriteLogLine(kAddressChanged);
}

namespace {

std::string OutcomeText(publish::TargetResult result) {
    switch (result) {
        case publish::TargetResult::Published: return "aggiornato";
        case publish::TargetResult::Unchanged: return "invariato";
        case publish::TargetResult::Failed: return "errore";
        case publish::TargetResult::Paused: return "in attesa";
        case publish::TargetResult::Stopped: return "fermato";
    }
    return {};
}

// The wall clock's seconds, read through the form's clock so that tests can move it.
std::chrono::system_clock::time_point WallTime(std::tm local) {
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace

// Each target whose last accepted address differs (each, after "Pubblica"); a failing one
// neither hangs up nor holds the others back. Their outcomes join the status.
void fOrvane::PublishToTargets(const dialup::DialUpLink& link, const std::string& address,
                               bool all) {
    if (state_.Targets.empty()) return;
    const std::vector<publish::TargetReport> reports = publish::PublishToTargets(
        state_.Targets, makeTarget_, AppFile(kTargetRecords),
        {address, link.address6, link.entryName}, all, WallTime(clock_.LocalNow()), cycleWait_);
    for (const publish::TargetReport& report : reports) {
        status_.targets.push_back({report.name, OutcomeText(report.result)});
        LogTargetReport(report);
    }
    window_.StatusChanged(status_);
    StopIfClosing();
}

// A failure, a stop or a pause the target asked for now gets a log line, and its cause goes to
// the reporter; a stop or pause already known is not said again.
void fOrvane::LogTargetReport(const publish::TargetReport& report) {
    if (!report.sent) return;
    switch (report.result) {
        case publish::TargetResult::Published:
        case publish::TargetResult::Unchanged: return;
        case publish::TargetResult::Failed:
            AppendLogLine("Aggiornamento " + report.name + " fallito");
            break;
        case publish::TargetResult::Paused:
            AppendLogLine("Aggiornamento " + report.name + " rinviato su richiesta del servizio");
            break;
        case publish::TargetResult::Stopped:
            AppendLogLine("Aggiornamento " + report.name +
                          " sospeso fino al cambio delle impostazioni");
            break;
    }
    Report(Priority::Error, report.name + ": " + report.reason);
}

void fOrvane::ReportCycleError(const RuntimeError& error) {
    ShowError(error.code());
    try {
        DeleteFile(AppFile(kPublishedFile));
    } catch (const RuntimeError&) {
    }
    // The log gets the error too, where it can be written, and before the reporter, whose
    // reader may have gone away.
    try {
        AppendLogLine(error.what());
    } catch (const RuntimeError&) {
    }
    Report(Priority::Error, error.what());
}

// The uploader's own account of a failure goes to the reporter for whoever diagnoses it, after
// the log has its fixed message. The text never holds the user name or password.
void fOrvane::ReportClientError(const ftp::UploadFailure& failure) {
    Report(Priority::Error, failure.reason);
}

int32_t fOrvane::OpenFtpSession(std::unique_ptr<ftp::UploadSession>& session,
                                ftp::UploadFailure& failure) {
    const ftp::ServerAddress server =
        ftp::SplitServer(state_.FtpServer, ftp::DefaultPort(state_.FtpProtection.protocol));
    ftp::OpenedSession opened = uploader_.Open(
        {server.host, server.port, state_.FtpUser, state_.FtpPassword, state_.FtpProtection},
        cycleWait_);
    if (auto* failed = std::get_if<ftp::UploadFailure>(&opened)) {
        failure = std::move(*failed);
        return static_cast<int32_t>(failure.step);
    }
    session = std::move(std::get<std::unique_ptr<ftp::UploadSession>>(opened));
    return 0;
}

void fOrvane::WaitMilliseconds(double milliseconds) {
    using Millis = std::chrono::duration<double, std::milli>;
    const auto start = clock_.Monotonic();
    for (;;) {
        window_.PumpEvents();
        StopIfClosing();
        const double elapsed = Millis(clock_.Monotonic() - start).count();
        if (elapsed > milliseconds) return;
        // Ticks come every second anyway; waking at least that often keeps the arithmetic small.
        const double left = std::clamp(std::ceil(milliseconds - elapsed), 1.0, 1000.0);
        window_.WaitForEvents(std::chrono::milliseconds(static_cast<int64_t>(left)));
    }
}

}  // namespace orvane
