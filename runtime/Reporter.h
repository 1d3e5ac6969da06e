// Diagnostics: the causes behind what the window shows (a client's error text, a link service's
// reason, a cycle's run-time error), each with its priority, all sent to one reporter.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// A diagnostic's weight, numbered as the journal numbers its priorities.
enum class Priority { Error = 3, Warning = 4, Info = 6 };

class Reporter {
  public:
    virtual ~Reporter() = default;
    virtual void Report(Priority priority, std::string_view text) = 0;
};

// Sends one diagnostic to the reporter in place: standard error, unless one was put in place.
void Report(Priority priority, std::string_view text);

// The line standard error gets for a diagnostic: "Orvane: text", or the journal's "<N>text"
// when standard error is the journal's stream.
std::string ReportLine(Priority priority, std::string_view text, bool toJournal);

// Puts `reporter` in place of the one before for its own lifetime (tests record what is said).
class ReporterInPlace {
  public:
    explicit ReporterInPlace(Reporter& reporter);
    ~ReporterInPlace();
    ReporterInPlace(const ReporterInPlace&) = delete;
    ReporterInPlace& operator=(const ReporterInPlace&) = delete;

  private:
    Reporter* previous_;
};

}  // namespace orvane
