// Standard input, output and error kept occupied, so that no file the program opens later takes
// their place; whether standard error is the journal's stream.
#pragma once

namespace orvane {

// Opens the null device on each of standard input, output and error that is closed. Without
// it a program started with them closed (`orvane >&- 2>&-`) would hand their numbers to the
// next files it opens, and its status lines would be written into those files. Called first
// in main, before anything else opens a file. Nothing to do on Windows, whose handles are no
// small numbers that a new file could reuse.
void KeepStandardStreamsOpen();

// Whether standard error is the stream a service manager's journal gave the program
// (JOURNAL_STREAM names its device and inode), whose lines take "<N>" priority prefixes.
// Never on Windows.
bool StderrIsJournal();

}  // namespace orvane
