#ifndef BRAND_CABINET_H_
#define BRAND_CABINET_H_

#include <map>
#include <string>
#include <string_view>

namespace installer {

// Entries larger than this are not extracted (configuration entries are a
// few kilobytes); the extraction then fails instead of exhausting memory.
inline constexpr size_t kMaxCabinetEntrySize = 16 << 20;

// Extracts entries of the cabinet held in `bytes` through the system's
// cabinet.dll, entirely in memory. With a non-empty `wanted_name` only the
// entry of exactly that name is copied. Returns FDICopy's success; `entries`
// holds what was extracted either way.
bool ExtractCabinetFromMemory(std::string_view bytes,
                              const std::string& wanted_name,
                              std::map<std::string, std::string>* entries);

}  // namespace installer

#endif  // BRAND_CABINET_H_
