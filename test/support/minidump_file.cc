#include "test/support/minidump_file.h"

#include <cstring>

namespace test {

namespace {

bool ReadUint32At(const std::string& bytes, uint64_t offset, uint32_t* value) {
  if (offset + 4 > bytes.size())
    return false;
  std::memcpy(value, bytes.data() + offset, 4);
  return true;
}

// A string record at `rva`: length, bytes, NUL.
bool ReadStringAt(const std::string& bytes, uint32_t rva, std::string* text) {
  uint32_t length = 0;
  if (!ReadUint32At(bytes, rva, &length) ||
      uint64_t{rva} + 4 + length + 1 > bytes.size() ||
      bytes[rva + 4 + length] != '\0') {
    return false;
  }
  *text = bytes.substr(rva + 4, length);
  return true;
}

// dbghelp's reader, loaded when first needed: test programs that run with
// dbghelp.dll switched off must still start.
using ReadDumpStreamFn = BOOL(WINAPI*)(PVOID, ULONG, PMINIDUMP_DIRECTORY*,
                                       PVOID*, ULONG*);
ReadDumpStreamFn ReadDumpStream() {
  static ReadDumpStreamFn function = reinterpret_cast<ReadDumpStreamFn>(
      reinterpret_cast<void*>(::GetProcAddress(
          ::LoadLibraryW(L"dbghelp.dll"), "MiniDumpReadDumpStream")));
  return function;
}

}  // namespace

const void* MinidumpFile::Stream(ULONG type, ULONG* size) const {
  PMINIDUMP_DIRECTORY directory = nullptr;
  void* stream = nullptr;
  *size = 0;
  if (bytes_.size() < sizeof(MINIDUMP_HEADER) || !ReadDumpStream() ||
      !ReadDumpStream()(const_cast<char*>(bytes_.data()), type, &directory,
                        &stream, size)) {
    return nullptr;
  }
  return stream;
}

std::vector<ULONG> MinidumpFile::StreamTypes() const {
  std::vector<ULONG> types;
  MINIDUMP_HEADER header;
  if (bytes_.size() < sizeof(header))
    return types;
  std::memcpy(&header, bytes_.data(), sizeof(header));
  for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
    const uint64_t at =
        header.StreamDirectoryRva + uint64_t{i} * sizeof(MINIDUMP_DIRECTORY);
    if (at + sizeof(MINIDUMP_DIRECTORY) > bytes_.size())
      break;
    MINIDUMP_DIRECTORY entry;
    std::memcpy(&entry, bytes_.data() + at, sizeof(entry));
    types.push_back(entry.StreamType);
  }
  return types;
}

const MINIDUMP_EXCEPTION_STREAM* MinidumpFile::Exception() const {
  ULONG size = 0;
  const void* stream = Stream(ExceptionStream, &size);
  return size >= sizeof(MINIDUMP_EXCEPTION_STREAM)
             ? static_cast<const MINIDUMP_EXCEPTION_STREAM*>(stream)
             : nullptr;
}

std::vector<ULONG32> MinidumpFile::ThreadIds() const {
  std::vector<ULONG32> ids;
  ULONG size = 0;
  const auto* list =
      static_cast<const MINIDUMP_THREAD_LIST*>(Stream(ThreadListStream, &size));
  if (!list || size < sizeof(ULONG32))
    return ids;
  for (ULONG32 i = 0; i < list->NumberOfThreads; ++i)
    ids.push_back(list->Threads[i].ThreadId);
  return ids;
}

std::string MinidumpFile::ThreadStack(ULONG32 thread_id) const {
  ULONG size = 0;
  const auto* list =
      static_cast<const MINIDUMP_THREAD_LIST*>(Stream(ThreadListStream, &size));
  if (!list || size < sizeof(ULONG32))
    return "";
  for (ULONG32 i = 0; i < list->NumberOfThreads &&
                     sizeof(ULONG32) + (i + 1) * sizeof(MINIDUMP_THREAD) <= size;
       ++i) {
    const MINIDUMP_LOCATION_DESCRIPTOR& stack = list->Threads[i].Stack.Memory;
    if (list->Threads[i].ThreadId == thread_id &&
        uint64_t{stack.Rva} + stack.DataSize <= bytes_.size()) {
      return bytes_.substr(stack.Rva, stack.DataSize);
    }
  }
  return "";
}

bool MinidumpFile::ReadCrashInfo(CrashInfo* info, std::string* error) const {
  ULONG size = 0;
  const char* stream = static_cast<const char*>(Stream(0x43500001, &size));
  if (!stream || size < 52) {
    *error = "no crash information stream of at least 52 bytes";
    return false;
  }
  std::memcpy(&info->version, stream, 4);
  std::memcpy(&info->report_id, stream + 4, 16);
  std::memcpy(&info->client_id, stream + 20, 16);
  uint32_t dictionary_size = 0, dictionary_rva = 0, modules_size = 0,
           modules_rva = 0;
  std::memcpy(&dictionary_size, stream + 36, 4);
  std::memcpy(&dictionary_rva, stream + 40, 4);
  std::memcpy(&modules_size, stream + 44, 4);
  std::memcpy(&modules_rva, stream + 48, 4);
  if (modules_size || modules_rva) {
    *error = "a module list location";
    return false;
  }
  uint32_t count = 0;
  if (!ReadUint32At(bytes_, dictionary_rva, &count) ||
      uint64_t{dictionary_rva} + dictionary_size > bytes_.size()) {
    *error = "dictionary RVA " + std::to_string(dictionary_rva) +
             " outside the file";
    return false;
  }
  info->annotations.clear();
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t key_rva = 0, value_rva = 0;
    std::string key, value;
    if (!ReadUint32At(bytes_, dictionary_rva + 4 + 8 * uint64_t{i}, &key_rva) ||
        !ReadUint32At(bytes_, dictionary_rva + 8 + 8 * uint64_t{i}, &value_rva) ||
        !ReadStringAt(bytes_, key_rva, &key) ||
        !ReadStringAt(bytes_, value_rva, &value)) {
      *error = "entry " + std::to_string(i) + " points at no string record";
      return false;
    }
    info->annotations.emplace_back(key, value);
  }
  return true;
}

}  // namespace test
