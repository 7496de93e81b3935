#include "test/support/link_record.h"

#include <fstream>

#include "test/support/ui_input.h"

namespace test {

namespace {

constexpr wchar_t kRecordVariable[] = L"LITE_LINK_RECORD";

}  // namespace

ScopedLinkRecord::ScopedLinkRecord() : path_(dir_.Append(L"links.txt")) {
  ::SetEnvironmentVariableW(kRecordVariable, path_.c_str());
}

ScopedLinkRecord::~ScopedLinkRecord() {
  ::SetEnvironmentVariableW(kRecordVariable, nullptr);
}

std::wstring ScopedLinkRecord::RecorderPath() {
  return ExecutableDir() + L"\\link_recorder.exe";
}

std::vector<std::string> ScopedLinkRecord::WaitForLines(size_t count, DWORD timeout_ms) {
  std::vector<std::string> lines;
  PumpUntil(
      [&] {
        lines.clear();
        std::ifstream in(path_.c_str(), std::ios::binary);
        std::string line;
        while (std::getline(in, line))
          lines.push_back(line);
        return lines.size() >= count;
      },
      timeout_ms);
  return lines;
}

}  // namespace test
