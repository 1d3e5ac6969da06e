// fOrvane: the main window's logic, free of any window toolkit. The window forwards its events
// here; the publish cycle, the event log and the close flow live here too.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialup/Links.h"
#include "form/Clock.h"
#include "form/FormWindow.h"
#include "form/MainState.h"
#include "form/Status.h"
#include "form/SupportModule.h"
#include "ftp/Uploader.h"
#include "publish/TargetBook.h"
#include "runtime/EventWait.h"
#include "runtime/RuntimeError.h"

namespace orvane {

// Close reasons: 0 is the user through the window's control menu; anything else is the
// system closing the window (a signal, the session ending).
inline constexpr int16_t kCloseFromControlMenu = 0;
inline constexpr int16_t kCloseBySystem = 1;

class fOrvane {
  public:
    // How the program ends after an error no handler traps; std::exit in the program,
    // something that records the status in tests.
    using Terminate = std::function<void(int status)>;

    fOrvane(FormWindow& window, SupportModule& support, dialup::Links& links,
            ftp::Uploader& uploader, Clock& clock, Terminate terminate);

    // Entry points for the window's events: each runs its handler and turns an error that
    // escapes it into the fatal error box and the end of the program.
    bool Load();  // false when start-up failed (the window must not be shown)
    void Tick();
    void ClickSet();
    void ClickReset();
    void ClickPause();
    // The link service saw the published address change or a dial-up link come up: a cycle
    // now, as "Pubblica" would start at the next tick; during a cycle one more after it; while
    // paused, one when the countdown resumes.
    void LinkChanged();
    // Returns true when the window may be destroyed now; Form_Unload has then run.
    bool CloseRequested(int16_t reason);
    // The system's session ends and may end the process as soon as this returns: closes as
    // the system's close does, and runs Form_Unload now even while a cycle is running.
    void SessionEnding();

    // The handlers, as the window system would call them.
    void Form_Load();
    void Timer1_Timer();
    void PBSet_Click();
    void PBReset_Click();
    void PBPause_Click();
    void Form_QueryUnload(int16_t& cancel, int16_t reason);
    void Form_Unload();

    // The window's own operations.
    // 0 with the session open, else the failed step's number (1 or 2) with `failure` set.
    int32_t OpenFtpSession(std::unique_ptr<ftp::UploadSession>& session,
                           ftp::UploadFailure& failure);
    void PublishNow();
    void LoadFtpSettings();
    void WriteLogLine(int32_t index);
    void AppendLogLine(const std::string& message);
    void WaitMilliseconds(double milliseconds);

    // How targets are made: the real ones unless a test says otherwise.
    void SetTargetMaker(publish::TargetMaker make) { makeTarget_ = std::move(make); }

    const MainState& State() const { return state_; }
    // What the window was last told; a view that comes later starts from it.
    const Status& CurrentStatus() const { return status_; }
    MainState& MutableState() { return state_; }
    bool InCycle() const { return cycleDepth_ > 0; }
    bool Closing() const { return closing_; }

    // The text of the published file for an address, with the date and time of `now`.
    static std::string PublishedFileText(const std::tm& now, const std::string& address);
    // The line the event log gets for a message, CR LF included.
    static std::string LogLineText(const std::tm& now, const std::string& message);

  private:
    // DialHeldBack: no connection, and too soon after a failed dial to dial again.
    enum class SearchState { Connected = 1, Offline = 2, DialHeldBack = 3 };
    struct CycleAborted {};

    void Guarded(const std::function<void()>& handler);
    void Fatal(const RuntimeError& error);
    void UnloadOnce();
    std::string AppFile(const std::string& name);

    void RunCycle();
    SearchState SearchConnection(std::vector<dialup::DialUpLink>& links);
    dialup::DialOutcome Dial();
    int32_t SecondsToNextDial();
    void PublishOverSession(const std::string& address,
                            std::unique_ptr<ftp::UploadSession> session);
    // The status's parts set, the captions written from it and the window told.
    void ShowResult(Status::Kind kind, const std::string& address, int32_t errorNumber = 0);
    void ShowError(int32_t number);
    void ShowCountdown(int32_t seconds);
    void ShowOffline();
    void LogAddressChange(const std::string& address);
    void ReportOffline();
    void ReportCycleError(const RuntimeError& error);
    void NoticeUnroutable(const std::string& address);
    std::optional<std::string> AddressToPublish(const dialup::DialUpLink& link);
    void PublishToTargets(const dialup::DialUpLink& link, const std::string& address, bool all);
    void LogTargetReport(const publish::TargetReport& report);
    static void ReportClientError(const ftp::UploadFailure& failure);
    void StopIfClosing() const;

    // The waits of the links and the uploads: the window's event loop, given
    // up as soon as the program is closing.
    class CycleWait final : public EventWait {
      public:
        explicit CycleWait(const fOrvane& form) : form_(form) {}
        void WaitForEvents(std::chrono::milliseconds atMost) override {
            form_.window_.WaitForEvents(atMost);
        }
        bool StopRequested() const override { return form_.closing_; }

      private:
        const fOrvane& form_;
    };

    FormWindow& window_;
    SupportModule& support_;
    dialup::Links& links_;
    ftp::Uploader& uploader_;
    Clock& clock_;
    Terminate terminate_;
    MainState state_;
    Status status_;

    int cycleDepth_ = 0;
    bool cyclePending_ = false;
    bool publishToAll_ = false;  // "Pubblica": the targets too, changed or not
    publish::TargetMaker makeTarget_ = publish::MakeTarget;
    bool dialling_ = false;
    bool linkChangedWhilePaused_ = false;
    std::string noticedAddress_;  // the last link address said not to be reachable
    std::optional<std::chrono::steady_clock::time_point> dialFailedAt_;
    bool closing_ = false;
    bool unloaded_ = false;
    bool started_ = false;
    CycleWait cycleWait_{*this};
};

}  // namespace orvane
