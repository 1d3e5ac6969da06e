// fOrvane's event handlers, start-up, the close flow, the event log and the fatal error path.
#include "form/fOrvane.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>

#include "form/FileOutput.h"
#include "runtime/Conversion.h"
#include "runtime/RegionalText.h"
#include "runtime/Reporter.h"
#include "settings/SettingsSchema.h"

namespace orvane {

namespace {

constexpr const char* kCloseQuestion = "Confermi chiusura programma?";

using settings::Setting;

std::string SettingDetail(Setting id, const std::string& file) {
    const settings::SettingKey& setting = settings::KeyOf(id);
    return "chiave " + std::string(setting.key) + ", sezione " + std::string(setting.section) +
           ", file " + file;
}

std::string ReadStored(SupportModule& support, Setting id, const std::string& file) {
    const settings::SettingKey& setting = settings::KeyOf(id);
    return support.ReadSetting(std::string(setting.section), std::string(setting.key), file);
}

// A key's stored text run through `convert`; a failure of either names the key and the file.
template <typename Convert>
auto ReadConverted(SupportModule& support, Setting id, Convert convert) {
    const std::string file = support.SettingsPath();
    try {
        return convert(ReadStored(support, id, file));
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.number(), SettingDetail(id, file));
    }
}

// A count of seconds below the fewest never comes down to the zero that starts a cycle: the
// program would go quiet (FIRST) or publish once (INTERVAL) instead of saying why.
int32_t RequireSeconds(SupportModule& support, Setting id, int32_t value) {
    if (value < settings::FewestSeconds)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall,
                           SettingDetail(id, support.SettingsPath()) + ": almeno " +
                               std::to_string(settings::FewestSeconds) + " secondo");
    return value;
}

}  // namespace

fOrvane::fOrvane(FormWindow& window, SupportModule& support, dialup::Links& links,
                 ftp::Uploader& uploader, Clock& clock, Terminate terminate)
    : window_(window),
      support_(support),
      links_(links),
      uploader_(uploader),
      clock_(clock),
      terminate_(std::move(terminate)) {
}

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
                       "Invio file fallito"};
    state_.Paused = kFalse;
    support_.ModuleStartup();
    support_.CenterForm(window_.Handle());
    const auto integer = [](const std::string& text) { return ToInt32(text); };
    state_.Interval = RequireSeconds(support_, Setting::Interval,
                                     ReadConverted(support_, Setting::Interval, integer));
    state_.FirstWait =
        RequireSeconds(support_, Setting::First, ReadConverted(support_, Setting::First, integer));
    state_.ConnectDelay = ReadConverted(support_, Setting::Delay,
                                        [](const std::string& text) { return ToDouble(text); });
    if (!std::isfinite(state_.ConnectDelay))
        throw RuntimeError(ErrorNumber::Overflow,
                           SettingDetail(Setting::Delay, support_.SettingsPath()));
    state_.DialEntry = ReadStored(support_, Setting::RasDial, support_.SettingsPath());
    LoadFtpSettings();
    state_.Countdown = state_.FirstWait;
    ShowResult(Status::Kind::Blank, "");
    ShowCountdown(state_.Countdown - 1);
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

void fOrvane::LoadFtpSettings() {
    const auto decoded = [&](Setting id) {
        return ReadConverted(support_, id,
                             [&](const std::string& text) { return support_.DecodeSetting(text); });
    };
    state_.FtpServer = decoded(Setting::Server);
    state_.FtpUser = decoded(Setting::User);
    const std::string path = decoded(Setting::Path);
    state_.RemoteFile = path + ReadStored(support_, Setting::File, support_.SettingsPath());
    state_.FtpPassword = decoded(Setting::Password);
    state_.FtpProtection = ReadProtection();
}

// The keys a file may lack, which then mean plain FTP.
ftp::Protection fOrvane::ReadProtection() {
    const std::string file = support_.SettingsPath();
    const auto read = [&](Setting id) { return ReadStored(support_, id, file); };
    const auto protocol = ftp::ParseProtocol(read(Setting::Protocol));
    if (!protocol)
        throw RuntimeError(ErrorNumber::TypeMismatch,
                           SettingDetail(Setting::Protocol, file) + " (ftp, ftps o sftp)");
    ftp::Protection protection{*protocol, read(Setting::CaFile), read(Setting::HostKey)};
    if (!protection.hostKey.empty() && !ftp::IsHostKeyFingerprint(protection.hostKey))
        throw RuntimeError(ErrorNumber::TypeMismatch,
                           SettingDetail(Setting::HostKey, file) + " (SHA256:...)");
    if (!uploader_.Supports(protection.protocol))
        throw RuntimeError(ErrorNumber::TypeMismatch,
                           SettingDetail(Setting::Protocol, file) + ": " +
                               std::string(ftp::ProtocolName(*protocol)) +
                               " non disponibile su questo sistema");
    return protection;
}

// ---- event log ----

std::string fOrvane::LogLineText(const std::tm& date, const std::tm& time,
                                 const std::string& message) {
    return LogDateText(date) + "  " + LogTimeText(time) + "  " + message + "\r\n";
}

std::string fOrvane::AppFile(const std::string& name) { return support_.AppDir() + name; }

void fOrvane::WriteLogLine(int32_t index) {
    const std::string& message = state_.Message(index);
    const std::tm date = clock_.LocalNow();
    const std::tm time = clock_.LocalNow();
    AppendToFile(AppFile("orvane.log"), LogLineText(date, time, message));
}

}  // namespace orvane
