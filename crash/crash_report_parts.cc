#include "crash/crash_report_parts.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace crashpad {

namespace {

void AppendUint32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

uint32_t ReadUint32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

void WriteUint32(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

void AppendGuid(std::string* out, const GUID& guid) {
  AppendUint32(out, guid.Data1);
  out->push_back(static_cast<char>(guid.Data2 & 0xff));
  out->push_back(static_cast<char>(guid.Data2 >> 8));
  out->push_back(static_cast<char>(guid.Data3 & 0xff));
  out->push_back(static_cast<char>(guid.Data3 >> 8));
  out->append(reinterpret_cast<const char*>(guid.Data4), sizeof(guid.Data4));
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
         c == '~';
}

// The longest piece of the query that one parameter may add.
constexpr size_t kMaxQueryPiece = 127;

}  // namespace

std::string BuildCrashInfoStream(const GUID& report_id,
                                 const GUID& client_id,
                                 const Annotations& annotations) {
  std::string strings;
  std::string entries;
  for (const auto& [key, value] : annotations) {
    for (const std::string* text : {&key, &value}) {
      AppendUint32(&entries, static_cast<uint32_t>(strings.size()));
      AppendUint32(&strings, static_cast<uint32_t>(text->size()));
      strings += *text;
      strings.push_back('\0');
    }
  }
  std::string stream;
  AppendUint32(&stream, 1);  // version
  AppendGuid(&stream, report_id);
  AppendGuid(&stream, client_id);
  AppendUint32(&stream, static_cast<uint32_t>(4 + entries.size() + strings.size()));
  AppendUint32(&stream, kCrashInfoDictionaryOffset);
  AppendUint32(&stream, 0);  // module list: none
  AppendUint32(&stream, 0);
  AppendUint32(&stream, static_cast<uint32_t>(annotations.size()));
  stream += entries;
  stream += strings;
  return stream;
}

bool FixUpCrashInfoRvas(uint32_t stream_rva,
                        size_t annotation_count,
                        std::string* head_and_entries) {
  const size_t size = kCrashInfoDictionaryOffset + 4 + 8 * annotation_count;
  if (head_and_entries->size() != size ||
      ReadUint32(*head_and_entries, kCrashInfoDictionaryRvaOffset) !=
          kCrashInfoDictionaryOffset ||
      ReadUint32(*head_and_entries, kCrashInfoDictionaryOffset) !=
          annotation_count) {
    return false;
  }
  const uint32_t dictionary = stream_rva + kCrashInfoDictionaryOffset;
  WriteUint32(head_and_entries, kCrashInfoDictionaryRvaOffset, dictionary);
  const uint32_t string_area =
      dictionary + 4 + 8 * static_cast<uint32_t>(annotation_count);
  for (size_t offset = kCrashInfoDictionaryOffset + 4; offset < size;
       offset += 4) {
    WriteUint32(head_and_entries, offset,
                ReadUint32(*head_and_entries, offset) + string_area);
  }
  return true;
}

std::string CrashReportUrl(const std::string& origin,
                           const Annotations& annotations) {
  static const std::pair<const char*, const char*> kParameters[] = {
      {"prod", "product"}, {"ver", "version"}, {"guid", "guid"}};
  std::string url = origin + "/submit";
  for (const auto& [key, parameter] : kParameters) {
    const auto found = annotations.find(key);
    if (found == annotations.end())
      continue;
    std::string piece = url.find('?') == std::string::npos ? "?" : "&";
    piece += parameter;
    piece += "=";
    for (unsigned char c : found->second) {
      char escaped[4] = {static_cast<char>(c), '\0'};
      if (!IsUnreserved(c))
        std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
      // A piece is cut at its limit, but never inside an escape: a server
      // would refuse "%4" as much as a half-sent character.
      if (piece.size() + std::strlen(escaped) > kMaxQueryPiece)
        break;
      piece += escaped;
    }
    url += piece.substr(0, kMaxQueryPiece);
  }
  return url;
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof(text),
                "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3,
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

}  // namespace crashpad
