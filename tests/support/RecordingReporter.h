// A reporter that records the diagnostics said while it is in place, instead of standard error.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/Reporter.h"

namespace orvane::testing {

class RecordingReporter final : public Reporter {
  public:
    void Report(Priority priority, std::string_view text) override {
        said.emplace_back(priority, std::string(text));
    }
    // The texts said, one line each.
    std::string Text() const {
        std::string text;
        for (const auto& [priority, line] : said) text += line + "\n";
        return text;
    }

    // What was said at one priority, in order.
    std::vector<std::string> At(Priority wanted) const {
        std::vector<std::string> lines;
        for (const auto& [priority, line] : said)
            if (priority == wanted) lines.push_back(line);
        return lines;
    }

    std::vector<std::pair<Priority, std::string>> said;

  private:
    ReporterInPlace inPlace_{*this};
};

}  // namespace orvane::testing
