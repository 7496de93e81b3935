#ifndef BASE_DER_READER_H_
#define BASE_DER_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// A walk through DER data by position: element headers are read and
// bounds-checked, tags are not interpreted. Pure: no OS calls, so it also
// builds natively (fuzzing).
namespace base {

enum class DerStatus {
  kOk,
  // A long-form length with no length bytes (indefinite) or more than four.
  kBadLengthCount,
  // The header or the element runs past the end of the enclosing bytes.
  kOutOfBounds,
};

// A position inside DER data and the end of the element that encloses it.
class DerCursor {
 public:
  explicit DerCursor(std::span<const uint8_t> bytes = {}) : bytes_(bytes) {}

  // Reads the header of the element at the cursor. A long-form length takes
  // 1 to 4 big-endian bytes; the whole element must fit before the end.
  DerStatus ReadHeader(uint64_t* header_size, uint64_t* total_size) const;

  // The cursor moves into the element: it now covers its contents only.
  bool Enter();
  // The cursor moves past the element.
  bool Skip();
  // Hands out a cursor over the whole element at the position (header
  // included) and moves past it.
  DerStatus Next(DerCursor* element);

  bool AtEnd() const { return bytes_.empty(); }
  std::span<const uint8_t> remaining() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

// The length of the DER element (tag, length and contents) at the start of
// `bytes`; nullopt when it is malformed, uses a high tag number, or is
// longer than `bytes`. Cuts a signature from the padding that follows it.
std::optional<size_t> DerElementLength(std::span<const uint8_t> bytes);

}  // namespace base

#endif  // BASE_DER_READER_H_
