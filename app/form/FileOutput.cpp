// The published file, written for every platform through the settings' safe replacement.
#include "form/FileOutput.h"

#include "runtime/SafeFile.h"

namespace orvane {

// A new file renamed over the name: no moment without a file, and nothing planted at the name
// is ever opened. It lives for one cycle, so it is not flushed to disk.
void WriteWholeFile(const std::string& path, const std::string& text) {
    ReplaceFileAtomically(path, text, 0600, Durability::Transient);
}

}  // namespace orvane
