#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_PINNED_KEYS_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_PINNED_KEYS_H_

#include <cstddef>

namespace install_util {

// The keys that may sign a module's list of trusted certificates, numbered
// 0 to 9 by the key number at the start of "SIGNATURE.DAT".
inline constexpr size_t kPinnedKeyCount = 10;
extern const char* const kPinnedPublicKeys[kPinnedKeyCount];

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_PINNED_KEYS_H_
