// fOrvane's event handlers, start-up, the close flow, the event log and the fatal error path.
#include "form/fOrvane.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "form/FileOutput.h"
#include "runtime/RegionalText.h"
#include "runtime/Reporter.h"
#include "settings/SettingsLoader.h"

namespace orvane {

namespace {

constexpr const char* kCloseQuestion = "Confermi chiusura programma?";

// The settings file as the support module reads and decodes it.
settings::SettingsSource SourceOf(SupportModule& support) {
    const std::string file = support.SettingsPath();
    return {file,
            [&support, file](const settings::SettingKey& key) {
                return support.ReadSetting(std::string(key.section), std::string(key.key), file);
            },
            [&support](const std::string& stored) { return support.DecodeSetting(stored); }, false,
            [&support, file] { return support.SettingsSections(file); }};
}

// The settings of a section, or the error of its first problem in reading order.
template <typename Settings>
Settings Required(settings::Loaded<Settings> loaded) {
    if (!loaded.problems.empty()) throw settings::ProblemError(loaded.problems.front());
    return std::move(*loaded.settings);
}

}  // namespace

fOrvane::fOrvane(FormWindow& window, SupportModule& support, dialup::Links& links,
                 ftp::Uploader& uploader, Clock& clock, Terminate terminate)
    : window_(window),
      support_(support),
      links_(links),
      uploader_(uploader),
      clock_(clock),
      terminate_(std::move(terminate)) {}

// ---- entry points for the window's events ----

bool fOrvane::Load() {
    bool loaded = false;
    Guarded([&] {
        Form_Load();
        loaded = true;
    });
    return loaded;
}

void fOrvane::Tick() {
    // A tick already on its way when the timer stopped (paused or closing) does nothing.
    if (!closing_ && state_.Paused == kFalse) Guarded([&] { Timer1_Timer(); });
}

void fOrvane::ClickSet() {
    Guarded([&] { PBSet_Click(); });
}
void fOrvane::ClickReset() {
    Guarded([&] { PBReset_Click(); });
}
void fOrvane::ClickPause() {
    Guarded([&] { PBPause_Click(); });
}

void fOrvane::LinkChanged() {
    if (!started_ || closing_) return;
    if (state_.Paused != kFalse) {
        linkChangedWhilePaused_ = true;
        return;
    }
    Guarded([&] {
        // Inside a cycle this only marks one more; otherwise the countdown restarts, as a
        // tick that reaches zero restarts it before its cycle.
        if (cycleDepth_ == 0) state_.Countdown = state_.Interval;
        PublishNow();
    });
}

bool fOrvane::CloseRequested(int16_t reason) {
    if (!closing_) {
        int16_t cancel = kFalse;
        Guarded([&] { Form_QueryUnload(cancel, reason); });
        // A close by the system may have been handled while the question was open.
        if (closing_) return unloaded_;
        if (cancel != kFalse) return false;
        closing_ = true;
        window_.SetTimerEnabled(false);
    }
    // A running cycle stops at its next wait; PublishNow asks for the close again when it returns.
    if (cycleDepth_ > 0) return false;
    UnloadOnce();
    return true;
}

void fOrvane::SessionEnding() {
    CloseRequested(kCloseBySystem);
    // A running cycle stops at its next wait and calls nothing of the library after this.
    UnloadOnce();
}

void fOrvane::UnloadOnce() {
    if (unloaded_) return;
    unloaded_ = true;
    Guarded([&] { Form_Unload(); });
}

void fOrvane::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const RuntimeError& error) {
        Fatal(error);
    } catch (const std::exception& error) {
        Fatal(RuntimeError(ErrorNumber::InternalError, error.what()));
    }
}

void fOrvane::Fatal(const RuntimeError& error) {
    Report(Priority::Error, error.what());
    // Ticks handled inside the box's message loop would open a box each.
    window_.SetTimerEnabled(false);
    window_.ShowFatalError(error.what());
    // The library file is ours alone; leaving it behind helps nobody.
    try {
        support_.ModuleShutdown();
    } catch (...) {
    }
    terminate_(1);
}

// ---- handlers ----

void fOrvane::Form_Load() {
    state_.Messages = {"",
                       "Connessione Internet riuscita",
                       "Connessione Internet fallita",
                       "Apertura sessione fallita",
                       "Apertura server fallita",
                       "Cambio IP",
                       "Invio file fallito",
                       "Indirizzo pubblico non disponibile"};
    state_.Paused = kFalse;
    support_.ModuleStartup();
    support_.CenterForm(window_.Handle());
    const settings::GeneralSettings general =
        Required(settings::LoadGeneralSettings(SourceOf(support_)));
    state_.Interval = general.interval;
    state_.FirstWait = general.first;
    state_.ConnectDelay = general.delay;
    state_.DialEntry = general.dialEntry;
    state_.CheckIp = general.checkIp;
    LoadFtpSettings();
    state_.Countdown = state_.FirstWait;
    ShowResult(Status::Kind::Blank, "");
    ShowCountdown(state_.Countdown - 1);
    // Before the timer starts, so that no cycle runs inside the first look at the links.
    links_.WatchChanges(cycleWait_, [this] { LinkChanged(); });
    window_.SetTimerInterval(1000);
    window_.SetTimerEnabled(true);
    started_ = true;
}

void fOrvane::Timer1_Timer() {
    if (state_.Countdown == INT32_MIN) throw RuntimeError(ErrorNumber::Overflow);
    --state_.Countdown;
    ShowCountdown(state_.Countdown);
    window_.PumpEvents();
    // Read again after the pump: a click handled there counts.
    if (state_.Countdown == 0) {
        state_.Countdown = state_.Interval;
        PublishNow();
    }
}

void fOrvane::PBSet_Click() {
    ShowResult(Status::Kind::Blank, "");
    publishToAll_ = true;
    state_.Countdown = 1;
}

void fOrvane::PBReset_Click() { state_.Countdown = state_.Interval; }

void fOrvane::PBPause_Click() {
    const bool pausing = state_.Paused == kFalse;
    state_.Paused = pausing ? kTrue : kFalse;
    window_.SetTimerEnabled(!pausing);
    window_.SetCaption(Control::PBPause, pausing ? "&Riprendi" : "&Pausa");
    window_.SetEnabled(Control::PBReset, !pausing);
    window_.SetEnabled(Control::PBSet, !pausing);
    // A link change heard while paused publishes at the first tick after resuming.
    if (!pausing && std::exchange(linkChangedWhilePaused_, false)) state_.Countdown = 1;
    status_.paused = pausing;
    window_.StatusChanged(status_);
}

void fOrvane::Form_QueryUnload(int16_t& cancel, int16_t reason) {
    if (reason != kCloseFromControlMenu) return;
    if (!window_.AskYesNo(kCloseQuestion)) cancel = kTrue;
}

void fOrvane::Form_Unload() { support_.ModuleShutdown(); }

// ---- the status ----

void fOrvane::ShowResult(Status::Kind kind, const std::string& address, int32_t errorNumber) {
    status_.kind = kind;
    status_.address = address;
    status_.errorNumber = errorNumber;
    window_.SetCaption(Control::Label2, StatusCaption(status_));
    window_.SetCaption(Control::Label4, status_.address);
    window_.StatusChanged(status_);
}

// An error keeps the address shown: one the cycle published before its log failed, say.
void fOrvane::ShowError(int32_t number) {
    ShowResult(Status::Kind::Error, status_.address, number);
}

void fOrvane::ShowCountdown(int32_t seconds) {
    status_.secondsLeft = seconds;
    window_.SetCaption(Control::Label7, std::to_string(seconds));
    window_.StatusChanged(status_);
}

// ---- settings ----

// A file with targets may leave [FTP] SERVER empty: then no file is published. The targets are
// read too, so that a problem in one is found at start-up, not at the first cycle.
void fOrvane::LoadFtpSettings() {
    const settings::SettingsSource source = SourceOf(support_);
    const settings::LoadedTargets targets = settings::LoadTargetSettings(source);
    if (!targets.problems.empty()) throw settings::TargetProblemError(targets.problems.front());
    state_.Targets = targets.targets;
    const bool withoutFile =
        !state_.Targets.empty() && source.read(settings::KeyOf(settings::Setting::Server)).empty();
    if (withoutFile) {
        state_.FtpServer.clear();
        return;
    }
    const settings::FtpSettings ftp = Required(settings::LoadFtpSettings(source));
    state_.FtpServer = ftp.server;
    state_.FtpUser = ftp.user;
    state_.RemoteFile = ftp.path + ftp.file;
    state_.FtpPassword = ftp.password;
    // The uploader may speak less than the platform does.
    if (!uploader_.Supports(ftp.protection.protocol))
        throw settings::ProblemError(
            {settings::Setting::Protocol,
             source.file,
             {settings::Fault::ProtocolUnavailable, ErrorNumber::TypeMismatch,
              std::string(ftp::ProtocolName(ftp.protection.protocol))}});
    state_.FtpProtection = ftp.protection;
}

// ---- event log ----

std::string fOrvane::LogLineText(const std::tm& now, const std::string& message) {
    return LogDateText(now) + "  " + LogTimeText(now) + "  " + message + "\r\n";
}

std::string fOrvane::AppFile(const std::string& name) { return support_.AppDir() + name; }

void fOrvane::WriteLogLine(int32_t index) { AppendLogLine(state_.Message(index)); }

// The clock is read once, so a line written at midnight cannot pair one day's date with the
// next day's time.
void fOrvane::AppendLogLine(const std::string& message) {
    AppendToFile(AppFile("orvane.log"), LogLineText(clock_.LocalNow(), message));
}

}  // namespace orvane
