#ifndef BRAND_TAGGED_FILE_MAPPING_H_
#define BRAND_TAGGED_FILE_MAPPING_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/scoped_handle.h"

namespace install_util {

// Maps an executable read-only and reads the tag block ("Nact", a 16-bit
// big-endian length, the tag bytes) appended after the PKCS#7 signature in
// its certificate table. A missing block is not an error and is not logged.
class TaggedFileMapping {
 public:
  TaggedFileMapping();
  TaggedFileMapping(const TaggedFileMapping&) = delete;
  TaggedFileMapping& operator=(const TaggedFileMapping&) = delete;
  // Unmaps the view and closes the mapping and the file.
  virtual ~TaggedFileMapping();

  // Maps the whole file at `path`. Any failure leaves nothing open.
  bool Open(const std::wstring& path);

  // Called twice: with no `buffer` it stores the size needed (tag length
  // plus one) in `*size`; with a buffer of `*size` bytes it copies the tag
  // and a terminating zero. Fails when nothing is open, when there is no
  // block, or when the buffer is too small.
  bool ReadTag(char* buffer, size_t* size) const;

 private:
  void Close();

  base::ScopedFileHandle file_;
  base::ScopedKernelHandle mapping_;
  const uint8_t* view_ = nullptr;
  // The bytes of the file that the view shows (the view itself is rounded up
  // to whole pages).
  size_t size_ = 0;
};

}  // namespace install_util

#endif  // BRAND_TAGGED_FILE_MAPPING_H_
