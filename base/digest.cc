#include "base/digest.h"

#include <openssl/md5.h>
#include <openssl/sha.h>

namespace base {

void Md5(const void* data, size_t size, uint8_t digest[kMd5Length]) {
  MD5_CTX context;
  MD5_Init(&context);
  MD5_Update(&context, data, size);
  MD5_Final(digest, &context);
}

void Sha256(const void* data, size_t size, uint8_t digest[kSha256Length]) {
  SHA256_CTX context;
  SHA256_Init(&context);
  SHA256_Update(&context, data, size);
  SHA256_Final(digest, &context);
}

}  // namespace base
