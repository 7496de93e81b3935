#include "chrome/installer/norvel/util/trust/pinned_keys.h"

namespace install_util {

// DER SubjectPublicKeyInfo of each RSA-1024 key, Base64, chosen when the
// build is configured (cmake/pinned_keys.cmake): the development keys, whose
// private halves live in tools/trusted_list/development_keys/, except in a
// release build, which takes the keys of the product's signing authority
// from a file and refuses the development ones.
const char* const kPinnedPublicKeys[kPinnedKeyCount] = {
#include "pinned_public_keys.inc"
};

}  // namespace install_util
