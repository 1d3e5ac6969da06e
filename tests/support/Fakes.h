// Fakes for driving fOrvane without a window system, a network or a dial-up service: a window
// that records captions and the status it is told, a clock tests advance, settings in memory,
// links and uploads that do as told, a reporter that records. Files are real, in a temporary
// application directory.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FakeLinks.h"
#include "RecordingReporter.h"
#include "TestFiles.h"
#include "form/Clock.h"
#include "form/FormWindow.h"
#include "form/SupportModule.h"
#include "form/fOrvane.h"
#include "ftp/Uploader.h"
#include "runtime/RuntimeError.h"

namespace orvane::testing {

class FakeClock final : public Clock {
  public:
    std::chrono::steady_clock::time_point Monotonic() override { return now; }
    std::tm LocalNow() override {
        const std::tm read = wall;
        if (nextWall) wall = *std::exchange(nextWall, std::nullopt);
        return read;
    }

    std::chrono::steady_clock::time_point now{};
    std::tm wall = DecemberSixth();
    std::optional<std::tm> nextWall;  // what the clock says from its next reading on

  private:
    // Parsed, not converted from a time_t: that would depend on the machine's time zone.
    static std::tm DecemberSixth() {
        std::tm time{};
        std::istringstream("06/12/2026 01:47:36") >> std::get_time(&time, "%d/%m/%Y %H:%M:%S");
        return time;
    }
};

class FakeWindow final : public FormWindow {
  public:
    explicit FakeWindow(FakeClock& clock) : clock_(clock) {}

    void SetCaption(Control control, const std::string& text) override { captions[control] = text; }
    std::string Caption(Control control) const override {
        return captions.contains(control) ? captions.at(control) : std::string();
    }
    void SetEnabled(Control control, bool enabled) override { disabled[control] = !enabled; }
    bool IsEnabled(Control control) const override {
        return !disabled.contains(control) || !disabled.at(control);
    }
    void SetTimerInterval(int milliseconds) override { timerInterval = milliseconds; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }

    void PumpEvents() override {
        // One shot, and safe against re-entry.
        if (auto hook = std::exchange(onPump, nullptr)) hook();
    }
    // Time passes while the window sleeps; every whole second of it is one tick.
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        clock_.now += atMost;
        sleptMs += atMost.count();
        while (sleptMs >= 1000) {
            sleptMs -= 1000;
            if (timerEnabled && onTickDue) onTickDue();
        }
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        if (onQuestion) onQuestion();
        bool answer = answers.empty() ? false : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    void ShowFatalError(const std::string& text) override { fatalErrors.push_back(text); }
    void CloseWhenIdle() override { ++closeRequests; }
    void* Handle() override { return this; }
    void StatusChanged(const Status& status) override { told = status; }

    std::map<Control, std::string> captions;
    Status told;
    std::map<Control, bool> disabled;
    int timerInterval = 0;
    bool timerEnabled = false;
    long sleptMs = 0;
    std::function<void()> onPump;
    std::function<void()> onTickDue;
    std::function<void()> onQuestion;
    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::vector<std::string> fatalErrors;
    int closeRequests = 0;

  private:
    FakeClock& clock_;
};

// Settings in memory; "decoding" reverses the text, so a test can tell decoded from stored.
class FakeSupport final : public SupportModule {
  public:
    explicit FakeSupport(std::filesystem::path dir) : dir_(std::move(dir)) {}

    void ModuleStartup() override { ++startups; }
    void ModuleShutdown() override { ++shutdowns; }
    std::string AppDir() override { return dir_.string() + "/"; }
    std::string SettingsPath() override { return AppDir() + "orvane.ini"; }
    std::string ReadSetting(const std::string& section, const std::string& key,
                            const std::string&) override {
        auto it = values.find(section + "/" + key);
        return it == values.end() ? std::string() : it->second;
    }
    // The sections of the values' keys, in their first appearance's order.
    std::vector<std::string> SettingsSections(const std::string&) override {
        std::vector<std::string> sections;
        for (const auto& [name, value] : values) {
            const std::string section = name.substr(0, name.find('/'));
            if (sections.empty() || sections.back() != section) sections.push_back(section);
        }
        return sections;
    }
    std::string DecodeSetting(const std::string& stored) override {
        if (stored.empty()) throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
        return std::string(stored.rbegin(), stored.rend());
    }
    void CenterForm(void* handle) override { centred = handle; }

    static std::string Encode(const std::string& plain) { return {plain.rbegin(), plain.rend()}; }

    // Complete, valid settings: the first tick after 10 s, then every 600 s, dialling "Casa" and
    // publishing pub/ip.txt as orvane. Tests change or remove what they are about.
    std::map<std::string, std::string> values{{"GENERAL/INTERVAL", "600"},
                                              {"GENERAL/FIRST", "10"},
                                              {"GENERAL/DELAY", "0"},
                                              {"GENERAL/RASDIAL", "Casa"},
                                              {"FTP/SERVER", Encode("ftp.example.net")},
                                              {"FTP/USER", Encode("orvane")},
                                              {"FTP/PATH", Encode("pub/")},
                                              {"FTP/FILE", "ip.txt"},
                                              {"FTP/PASSWORD", Encode("s3cret")}};
    int startups = 0;
    int shutdowns = 0;
    void* centred = nullptr;

  private:
    std::filesystem::path dir_;
};

// Sessions that fail at the step they are told to, and record what they were asked.
class FakeUploader final : public ftp::Uploader {
  public:
    bool Supports(ftp::Protocol protocol) const override {
        return protocol == ftp::Protocol::Ftp;  // as the Windows build
    }
    ftp::OpenedSession Open(const ftp::SessionTarget& target, EventWait&) override {
        ++opens;
        connectedTo = target.host + ":" + std::to_string(target.port) + " " + target.user + "/" +
                      target.password;
        if (failsAt && *failsAt != ftp::UploadStep::Store)
            return ftp::UploadFailure{*failsAt, "failed"};
        return std::make_unique<Session>(*this);
    }

    ftp::PublicAddressAnswer LookUpPublicAddress(const ftp::AddressService& service,
                                                 EventWait&) override {
        askedFor = service.url;
        return publicAddress;
    }

    std::optional<ftp::UploadStep> failsAt;
    ftp::PublicAddressAnswer publicAddress = ftp::LookupFailure{"failed"};
    std::string askedFor;  // the service last asked
    std::string connectedTo, remoteFile, uploaded;
    int opens = 0, uploads = 0;
    int open = 0;  // sessions not closed yet

  private:
    struct Session final : ftp::UploadSession {
        explicit Session(FakeUploader& fake) : owner(fake) { ++owner.open; }
        ~Session() override { --owner.open; }
        std::optional<ftp::UploadFailure> Put(const std::string& localFile,
                                              const std::string& remotePath) override {
            ++owner.uploads;
            owner.uploaded = test::ReadText(localFile);
            owner.remoteFile = remotePath;
            if (owner.failsAt) return ftp::UploadFailure{ftp::UploadStep::Store, "failed"};
            return std::nullopt;
        }
        FakeUploader& owner;
    };
};

// fOrvane over the fakes (or the given uploader) in a fresh application folder, with
// complete settings whose FTP server is `server`, one link up, and the fake window's ticks
// driving the logic.
class FormRig : public ::testing::Test {
  protected:
    explicit FormRig(const std::string& server, std::unique_ptr<ftp::Uploader> real = {})
        : window(clock),
          support(dir),
          realUploader(std::move(real)),
          logic(window, support, links, realUploader ? *realUploader : uploader, clock,
                [this](int s) { exits.push_back(s); }) {
        support.values["FTP/SERVER"] = FakeSupport::Encode(server);
        links.links = {Link("Casa", "203.0.113.45")};
        window.onTickDue = [this] { logic.Tick(); };
    }
    // The messages of the event log, without the date and time in front ("dd/mm/yyyy  hh:mm:ss  ")
    // and the CR LF behind.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> messages;
        std::istringstream in(test::ReadText(dir / "orvane.log"));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            messages.push_back(line.size() > 22 ? line.substr(22) : line);
        }
        return messages;
    }
    test::TempDir tempDir;
    std::filesystem::path dir = tempDir.folder();
    FakeClock clock;
    FakeWindow window;
    FakeSupport support;
    FakeLinks links;
    FakeUploader uploader;
    std::unique_ptr<ftp::Uploader> realUploader;
    std::vector<int> exits;
    RecordingReporter reported;
    fOrvane logic;
};

}  // namespace orvane::testing
