// The key builder: the stage-2 key from the program's key material.
#pragma once

#include <string>

namespace orvane::mCustom {

// The key material passed through stage 1 of the loaded support library: the CipherKey.
// Called once by ModuleStartup, after the library is loaded.
std::string BuildCipherKey();

}  // namespace orvane::mCustom
