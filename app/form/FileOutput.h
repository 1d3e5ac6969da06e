// The program's own file writes: the event log and the published file, created without
// following symbolic links. Failures are run-time errors naming the file.
#pragma once

#include <string>

namespace orvane {

// Appends `text` to the file, creating it when missing.
void AppendToFile(const std::string& path, const std::string& text);
// Creates or empties the file and writes `text`.
void WriteWholeFile(const std::string& path, const std::string& text);
// Deletes the file; a missing file is fine.
void DeleteFile(const std::string& path);

}  // namespace orvane
