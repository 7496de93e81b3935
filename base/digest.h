#ifndef BASE_DIGEST_H_
#define BASE_DIGEST_H_

#include <cstddef>
#include <cstdint>

namespace base {

inline constexpr size_t kMd5Length = 16;
inline constexpr size_t kSha256Length = 32;

// One-shot digests through libcrypto's low-level functions: the EVP one-shot
// calls of OpenSSL 3 would link its whole provider machinery (megabytes)
// into the installer.
void Md5(const void* data, size_t size, uint8_t digest[kMd5Length]);
void Sha256(const void* data, size_t size, uint8_t digest[kSha256Length]);

}  // namespace base

#endif  // BASE_DIGEST_H_
