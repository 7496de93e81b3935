#ifndef CRASH_CRASH_REPORT_PARTS_H_
#define CRASH_CRASH_REPORT_PARTS_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

// The pieces of a crash report that are plain bytes and text: the dump's
// crash information stream, the upload URL, GUID text.
namespace crashpad {

using Annotations = std::map<std::string, std::string>;

// The minidump user stream that carries the report and client identifiers
// and the annotations (the crashpad project's MinidumpCrashpadInfo, version
// 1, with a simple string dictionary).
inline constexpr uint32_t kCrashInfoStreamType = 0x43500001;
// Offset of the dictionary in the stream, and so the dictionary's location
// before the fix-up that makes it a file offset.
inline constexpr uint32_t kCrashInfoDictionaryOffset = 52;
// Offset of the dictionary location's RVA in the stream.
inline constexpr uint32_t kCrashInfoDictionaryRvaOffset = 40;

// The stream as built in memory: the dictionary's RVA is 52 and the entries'
// RVAs count from the start of the string area.
std::string BuildCrashInfoStream(const GUID& report_id,
                                 const GUID& client_id,
                                 const Annotations& annotations);

// Turns the stream's relative RVAs into file offsets once it sits at
// `stream_rva` in the dump: `dictionary` holds the stream's 52-byte head
// followed by the count and the entries. False when the head or the count do
// not match a stream built for `annotation_count` annotations.
bool FixUpCrashInfoRvas(uint32_t stream_rva,
                        size_t annotation_count,
                        std::string* head_and_entries);

// The server's origin + "/submit" and the query made of the annotations
// "prod", "ver" and "guid" (as "product", "version", "guid"), each present
// one escaped and kept under 128 characters without splitting an escape.
std::string CrashReportUrl(const std::string& origin,
                           const Annotations& annotations);

// The registry form without braces, upper-case: 36 characters.
std::string GuidText(const GUID& guid);

}  // namespace crashpad

#endif  // CRASH_CRASH_REPORT_PARTS_H_
