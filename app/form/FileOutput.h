// The program's own file writes: the event log, appended without following a symbolic link, and
// the published file, always a new file. Failures are run-time errors naming the file.
#pragma once

#include <string>

namespace orvane {

// Appends `text` to the file, creating it when missing. A hard link at the name is appended to:
// the user may have made it on purpose; a symbolic link is refused.
void AppendToFile(const std::string& path, const std::string& text);
// Writes `text` as a new owner-only file at `path`: whatever stood there (a hard or symbolic
// link planted to make the program write elsewhere) is replaced, never written through.
void WriteWholeFile(const std::string& path, const std::string& text);
// Deletes the file; a missing file is fine.
void DeleteFile(const std::string& path);

}  // namespace orvane
