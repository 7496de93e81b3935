#ifndef TEST_SUPPORT_MINIDUMP_FILE_H_
#define TEST_SUPPORT_MINIDUMP_FILE_H_

#include <windows.h>

#include <dbghelp.h>

#include <string>
#include <utility>
#include <vector>

namespace test {

// A minidump held in memory, read with dbghelp's MiniDumpReadDumpStream.
class MinidumpFile {
 public:
  explicit MinidumpFile(std::string bytes) : bytes_(std::move(bytes)) {}

  // The stream of `type`, or null (size 0) when the dump has none.
  const void* Stream(ULONG type, ULONG* size) const;
  // Stream types in directory order.
  std::vector<ULONG> StreamTypes() const;
  const MINIDUMP_EXCEPTION_STREAM* Exception() const;
  std::vector<ULONG32> ThreadIds() const;
  // The stack memory saved for the thread `thread_id`: empty when the dump
  // has no such thread or its range lies outside the file.
  std::string ThreadStack(ULONG32 thread_id) const;

  // The crash information stream (type 0x43500001), each RVA followed to
  // its bytes in the file. False, with `error` set, when any RVA or length
  // points outside the file or a string lacks its NUL.
  struct CrashInfo {
    uint32_t version = 0;
    GUID report_id = {};
    GUID client_id = {};
    std::vector<std::pair<std::string, std::string>> annotations;
  };
  bool ReadCrashInfo(CrashInfo* info, std::string* error) const;

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace test

#endif  // TEST_SUPPORT_MINIDUMP_FILE_H_
