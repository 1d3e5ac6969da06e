// The key builder over the loaded support library.
#include "mCustom.h"

#include "deploy/SupportLibrary.h"
#include "settings/KeyMaterial.h"

namespace orvane::mCustom {

std::string BuildCipherKey() { return mCrypt::LibraryDecrypt(KeyMaterialText()); }

}  // namespace orvane::mCustom
