#include "base/der_reader.h"

namespace base {

DerStatus DerCursor::ReadHeader(uint64_t* header_size,
                                uint64_t* total_size) const {
  if (bytes_.size() < 2)
    return DerStatus::kOutOfBounds;
  uint64_t length = bytes_[1];
  uint64_t header = 2;
  if (length >= 0x80) {
    const uint64_t count = length & 0x7f;
    // Indefinite lengths are not DER; more than four length bytes cannot
    // describe anything that fits in memory here.
    if (count < 1 || count > 4)
      return DerStatus::kBadLengthCount;
    if (bytes_.size() - 2 < count)
      return DerStatus::kOutOfBounds;
    length = 0;
    for (uint64_t i = 0; i < count; ++i)
      length = (length << 8) | bytes_[2 + i];
    header += count;
  }
  // Both terms are below 2^33, so the sum cannot overflow.
  if (header + length > bytes_.size())
    return DerStatus::kOutOfBounds;
  *header_size = header;
  *total_size = header + length;
  return DerStatus::kOk;
}

bool DerCursor::Enter() {
  uint64_t header = 0, total = 0;
  if (ReadHeader(&header, &total) != DerStatus::kOk)
    return false;
  bytes_ = bytes_.subspan(header, total - header);
  return true;
}

bool DerCursor::Skip() {
  uint64_t header = 0, total = 0;
  if (ReadHeader(&header, &total) != DerStatus::kOk)
    return false;
  bytes_ = bytes_.subspan(total);
  return true;
}

DerStatus DerCursor::Next(DerCursor* element) {
  uint64_t header = 0, total = 0;
  const DerStatus status = ReadHeader(&header, &total);
  if (status != DerStatus::kOk)
    return status;
  *element = DerCursor(bytes_.first(total));
  bytes_ = bytes_.subspan(total);
  return DerStatus::kOk;
}

std::optional<size_t> DerElementLength(std::span<const uint8_t> bytes) {
  // Only low tag numbers: every element looked at this way is a SEQUENCE.
  if (!bytes.empty() && (bytes[0] & 0x1F) == 0x1F)
    return std::nullopt;
  uint64_t header = 0, total = 0;
  if (DerCursor(bytes).ReadHeader(&header, &total) != DerStatus::kOk)
    return std::nullopt;
  return static_cast<size_t>(total);
}

}  // namespace base
