// The targets' records file and the round that publishes to the targets by it.
#include "publish/TargetBook.h"

#include <fstream>
#include <sstream>

#include "runtime/RuntimeError.h"
#include "runtime/SafeFile.h"

namespace orvane::publish {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::map<std::string, TargetRecord> ReadRecords(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return ParseTargetRecords(text.str());
}

int64_t SecondsOf(std::chrono::system_clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

TargetResult ResultOf(Verdict verdict) {
    switch (verdict) {
        case Verdict::Accepted: return TargetResult::Published;
        case Verdict::Failed: return TargetResult::Failed;
        case Verdict::RetryLater: return TargetResult::Paused;
        case Verdict::Stopped: return TargetResult::Stopped;
    }
    return TargetResult::Failed;
}

// One attempt; the record learns what the target said.
TargetReport Attempt(const TargetSettings& settings, const TargetMaker& make, TargetRecord& record,
                     const PublishedAddresses& now, int64_t at, EventWait& wait) {
    const std::unique_ptr<Target> target = make(settings);
    if (!target)
        return {settings.name, TargetResult::Failed,
                std::string(TargetTypeName(settings.type)) + " is not available on this system",
                true};
    const Outcome outcome = target->Publish(now, record.accepted, wait);
    switch (outcome.verdict) {
        case Verdict::Accepted: record.accepted = {now.ipv4, now.ipv6, {}}; break;
        case Verdict::Failed: break;
        case Verdict::RetryLater: record.pausedUntil = at + outcome.retryAfter.count(); break;
        case Verdict::Stopped: record.stopped = true; break;
    }
    return {settings.name, ResultOf(outcome.verdict), outcome.reason, true};
}

}  // namespace

std::map<std::string, TargetRecord> ParseTargetRecords(const std::string& text) {
    std::map<std::string, TargetRecord> records;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != 6 || fields[0].empty()) continue;
        TargetRecord record{fields[1], {fields[2], fields[3], {}}, fields[4] == "1", 0};
        try {
            record.pausedUntil = std::stoll(fields[5]);
        } catch (const std::exception&) {
            continue;
        }
        records[fields[0]] = std::move(record);
    }
    return records;
}

std::string TargetRecordsText(const std::map<std::string, TargetRecord>& records) {
    std::string text;
    for (const auto& [name, record] : records)
        text += name + '\t' + record.fingerprint + '\t' + record.accepted.ipv4 + '\t' +
                record.accepted.ipv6 + '\t' + (record.stopped ? "1" : "0") + '\t' +
                std::to_string(record.pausedUntil) + '\n';
    return text;
}

std::vector<TargetReport> PublishToTargets(const std::vector<TargetSettings>& targets,
                                           const TargetMaker& make, const std::string& recordsFile,
                                           const PublishedAddresses& now, bool all,
                                           std::chrono::system_clock::time_point at,
                                           EventWait& wait) {
    std::map<std::string, TargetRecord> written = ReadRecords(recordsFile);
    // Only the targets there are now are kept.
    std::map<std::string, TargetRecord> records;
    for (const TargetSettings& settings : targets) {
        TargetRecord& record = records[settings.name];
        const auto known = written.find(settings.name);
        // Settings changed since: whatever was learnt holds no more.
        if (known != written.end() && known->second.fingerprint == settings.fingerprint)
            record = known->second;
        record.fingerprint = settings.fingerprint;
    }
    std::vector<TargetReport> reports;
    const int64_t seconds = SecondsOf(at);
    for (const TargetSettings& settings : targets) {
        if (wait.StopRequested()) break;
        TargetRecord& record = records[settings.name];
        if (record.stopped) {
            reports.push_back({settings.name, TargetResult::Stopped, {}, false});
        } else if (seconds < record.pausedUntil) {
            reports.push_back({settings.name, TargetResult::Paused, {}, false});
        } else if (!all && record.accepted.ipv4 == now.ipv4 && record.accepted.ipv6 == now.ipv6) {
            reports.push_back({settings.name, TargetResult::Unchanged, {}, false});
        } else {
            record.pausedUntil = 0;
            reports.push_back(Attempt(settings, make, record, now, seconds, wait));
        }
        // Written after each target, so that a crash later in the round loses nothing.
        if (records != written) {
            ReplaceFileAtomically(recordsFile, TargetRecordsText(records), 0600);
            written = records;
        }
    }
    return reports;
}

}  // namespace orvane::publish
