#include "test/support/url_recorder.h"

#include <fstream>
#include <sstream>

#include "test/support/ui_input.h"

namespace test {

namespace {

constexpr wchar_t kRecordFileVariable[] = L"LITE_URL_RECORD_FILE";

bool ReadDefault(const std::wstring& key, std::wstring* value) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  const bool read = ::RegQueryValueExW(handle, nullptr, nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  if (read)
    *value = buffer;
  return read;
}

bool WriteDefault(const std::wstring& key, const std::wstring& value) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written =
      ::RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  return written;
}

}  // namespace

ScopedUrlRecorder::ScopedUrlRecorder() : file_(dir_.Append(L"starts.txt")) {
  ::SetEnvironmentVariableW(kRecordFileVariable, file_.c_str());
  const std::wstring command = L"\"" + RecorderPath() + L"\" \"%1\"";
  for (const wchar_t* protocol : {L"http", L"https"}) {
    Saved saved;
    saved.key = std::wstring(protocol) + L"\\shell\\open\\command";
    saved.existed = ReadDefault(saved.key, &saved.value);
    ok_ = WriteDefault(saved.key, command) && ok_;
    saved_.push_back(saved);
  }
}

ScopedUrlRecorder::~ScopedUrlRecorder() {
  for (const Saved& saved : saved_) {
    if (saved.existed)
      WriteDefault(saved.key, saved.value);
    else
      ::RegDeleteKeyW(HKEY_CLASSES_ROOT, saved.key.c_str());
  }
  ::SetEnvironmentVariableW(kRecordFileVariable, nullptr);
}

std::wstring ScopedUrlRecorder::RecorderPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder.resize(folder.rfind(L'\\') + 1);
  return folder + L"url_recorder.exe";
}

std::vector<std::vector<std::string>> ScopedUrlRecorder::WaitForStarts(size_t count,
                                                                      DWORD timeout_ms) {
  std::vector<std::vector<std::string>> starts;
  auto read = [&] {
    starts.clear();
    std::ifstream in(file_.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      std::vector<std::string> arguments;
      std::stringstream fields(line);
      std::string field;
      // The first field is the count of arguments.
      std::getline(fields, field, '\t');
      while (std::getline(fields, field, '\t'))
        arguments.push_back(field);
      starts.push_back(arguments);
    }
    return starts.size() >= count;
  };
  PumpUntil(read, timeout_ms);
  return starts;
}

}  // namespace test
