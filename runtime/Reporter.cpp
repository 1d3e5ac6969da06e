// The reporter in place, and the default one: one line per diagnostic on standard error.
#include "runtime/Reporter.h"

#include <atomic>
#include <cstdio>

#include "runtime/StandardStreams.h"

namespace orvane {

namespace {

class StandardErrorReporter final : public Reporter {
  public:
    void Report(Priority priority, std::string_view text) override {
        const std::string line = ReportLine(priority, text, toJournal_);
        // One write per line; a reader that has gone away loses it (the log has the event).
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }

  private:
    const bool toJournal_ = StderrIsJournal();
};

Reporter& StandardError() {
    static StandardErrorReporter reporter;
    return reporter;
}

std::atomic<Reporter*> inPlace{nullptr};

}  // namespace

void Report(Priority priority, std::string_view text) {
    Reporter* reporter = inPlace.load();
    (reporter ? *reporter : StandardError()).Report(priority, text);
}

std::string ReportLine(Priority priority, std::string_view text, bool toJournal) {
    const std::string tag =
        toJournal ? "<" + std::to_string(static_cast<int>(priority)) + ">" : "Orvane: ";
    return tag + std::string(text) + "\n";
}

ReporterInPlace::ReporterInPlace(Reporter& reporter) : previous_(inPlace.exchange(&reporter)) {}

ReporterInPlace::~ReporterInPlace() { inPlace.store(previous_); }

}  // namespace orvane
