#include "brand/tagged_file_mapping.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>

#include "brand/installer_tag_parser.h"

namespace install_util {

TaggedFileMapping::TaggedFileMapping() = default;

TaggedFileMapping::~TaggedFileMapping() {
  Close();
}

void TaggedFileMapping::Close() {
  if (view_)
    ::UnmapViewOfFile(view_);
  view_ = nullptr;
  size_ = 0;
  mapping_.reset();
  file_.reset();
}

bool TaggedFileMapping::Open(const std::wstring& path) {
  Close();
  base::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  LARGE_INTEGER file_size = {};
  if (!::GetFileSizeEx(file.get(), &file_size))
    return false;
  // An empty file cannot be mapped (CreateFileMappingW fails for it).
  base::ScopedKernelHandle mapping(
      ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping)
    return false;
  const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (!view)
    return false;
  MEMORY_BASIC_INFORMATION info = {};
  if (::VirtualQuery(view, &info, sizeof(info)) != sizeof(info)) {
    ::UnmapViewOfFile(view);
    return false;
  }
  file_ = std::move(file);
  mapping_ = std::move(mapping);
  view_ = static_cast<const uint8_t*>(view);
  // The region is rounded up to whole pages; reads stay within the file.
  size_ = static_cast<size_t>(
      std::min<uint64_t>(info.RegionSize, file_size.QuadPart));
  return true;
}

bool TaggedFileMapping::ReadTag(char* buffer, size_t* size) const {
  if (!view_ || !size)
    return false;
  const std::optional<std::span<const uint8_t>> tag =
      FindAppendedTag(std::span<const uint8_t>(view_, size_));
  if (!tag)
    return false;
  if (!buffer) {
    *size = tag->size() + 1;
    return true;
  }
  if (tag->size() >= *size)
    return false;
  std::memcpy(buffer, tag->data(), tag->size());
  buffer[tag->size()] = '\0';
  return true;
}

}  // namespace install_util
