#include "logging/file_logger.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <utility>

#include "base/digest.h"
#include "base/platform_log.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/system_library.h"

namespace broupdater {
namespace {

FileLogger* g_file_logger = nullptr;

constexpr size_t kLineBufferSize = 200;
constexpr DWORD kMutexWaitMs = 1000;

const char* LevelText(int32_t severity) {
  switch (severity) {
    case LOG_SEVERITY_ERROR:
      return "ERROR";
    case LOG_SEVERITY_WARNING:
      return "WARNING";
    default:
      return "INFO";
  }
}

void GetPreciseUtcTime(FILETIME* time) {
  // GetSystemTimePreciseAsFileTime exists from Windows 8 on.
  using PreciseFn = void(WINAPI*)(FILETIME*);
  static const PreciseFn precise = base::GetSystemFunctionAs<PreciseFn>(
      L"kernel32.dll", "GetSystemTimePreciseAsFileTime");
  if (precise)
    precise(time);
  else
    ::GetSystemTimeAsFileTime(time);
}

// Creates `dir` and every missing ancestor.
bool CreateDirectoryTree(const std::wstring& dir) {
  DWORD attributes = ::GetFileAttributesW(dir.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t sep = dir.find_last_of(L"\\/");
  if (sep != std::wstring::npos && sep > 0) {
    std::wstring parent = dir.substr(0, sep);
    // Stop at drive roots ("C:") and UNC prefixes, which cannot be created.
    if (parent.size() > 2 && parent.back() != L'\\' &&
        !CreateDirectoryTree(parent)) {
      return false;
    }
  }
  return ::CreateDirectoryW(dir.c_str(), nullptr) ||
         ::GetLastError() == ERROR_ALREADY_EXISTS;
}

base::ScopedFileHandle OpenForAppend(const std::wstring& path) {
  return base::ScopedFileHandle(::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The folder of `path` and every missing ancestor; true when there is none
// to make.
bool CreateParentDirectory(const std::wstring& path) {
  const size_t sep = path.find_last_of(L"\\/");
  return sep == std::wstring::npos || sep == 0 ||
         CreateDirectoryTree(path.substr(0, sep));
}

// What stands before and after the text of every line of an entry:
// "date time pid:tid " and " (function:line)".
struct LineFrame {
  std::string header;
  std::string suffix;
};

// Nullopt when either part would not fit the line buffer: such an entry is
// dropped.
std::optional<LineFrame> FormatLineFrame(const LogMessage& message) {
  SYSTEMTIME utc = {};
  ::FileTimeToSystemTime(&message.time(), &utc);
  char header[kLineBufferSize];
  const int header_len = std::snprintf(
      header, sizeof(header), "%04d-%02d-%02d %02d:%02d:%02d.%03d %02d:%02d ",
      utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond,
      utc.wMilliseconds, static_cast<int>(message.process_id()),
      static_cast<int>(message.thread_id()));
  char suffix[kLineBufferSize];
  const int suffix_len =
      std::snprintf(suffix, sizeof(suffix), " (%s:%d)", message.function(),
                    static_cast<int>(message.line()));
  if (header_len < 0 || header_len >= static_cast<int>(kLineBufferSize) ||
      suffix_len < 0 || suffix_len >= static_cast<int>(kLineBufferSize)) {
    return std::nullopt;
  }
  return LineFrame{std::string(header, static_cast<size_t>(header_len)),
                   std::string(suffix, static_cast<size_t>(suffix_len))};
}

// Holds the named mutex shared by every process that writes the log, for
// one entry. A mutex that cannot be had within a second is written past.
class ScopedLogLock {
 public:
  explicit ScopedLogLock(const std::wstring& name)
      : mutex_(::CreateMutexW(nullptr, FALSE, name.c_str())) {
    if (!mutex_.is_valid())
      return;
    switch (::WaitForSingleObject(mutex_.get(), kMutexWaitMs)) {
      case WAIT_OBJECT_0:
        taken_ = true;
        break;
      case WAIT_ABANDONED:
        taken_ = abandoned_ = true;
        break;
      default:
        break;
    }
  }
  ScopedLogLock(const ScopedLogLock&) = delete;
  ScopedLogLock& operator=(const ScopedLogLock&) = delete;
  ~ScopedLogLock() {
    if (taken_)
      ::ReleaseMutex(mutex_.get());
  }

  bool taken() const { return taken_; }
  // Taken over from a process that ended while holding it.
  bool abandoned() const { return abandoned_; }

 private:
  base::ScopedKernelHandle mutex_;
  bool taken_ = false;
  bool abandoned_ = false;
};

// One line of the logger's own about its file: "LOGGING: <what><path>".
void AppendFileNote(std::string_view header,
                    std::string_view what,
                    const std::wstring& path,
                    std::string* out) {
  out->append(header);
  out->append("LOGGING: ");
  out->append(what);
  out->append(base::WideToUTF8(path));
}

}  // namespace

std::string DescribeSystemError(DWORD error_code) {
  char number[16];
  std::snprintf(number, sizeof(number), "%lu, ",
                static_cast<unsigned long>(error_code));
  std::string out(number);

  constexpr DWORD kEnglishUS = 1033;
  constexpr DWORD kBufferChars = 1024;
  wchar_t buffer[kBufferChars];
  auto format = [&](DWORD source_flag, HMODULE module) -> bool {
    DWORD len =
        ::FormatMessageW(source_flag | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                         error_code, kEnglishUS, buffer, kBufferChars, nullptr);
    if (len == 0)
      return false;
    out += base::WideToUTF8(std::wstring_view(buffer, len));
    return true;
  };
  if (format(FORMAT_MESSAGE_FROM_SYSTEM, nullptr))
    return out;
  for (const wchar_t* module_name : {L"wininet.dll", L"urlmon.dll"}) {
    HMODULE module = ::GetModuleHandleW(module_name);
    if (module && format(FORMAT_MESSAGE_FROM_HMODULE, module))
      return out;
  }
  char unknown[40];
  std::snprintf(unknown, sizeof(unknown), "unknown error 0x%lx\n",
                static_cast<unsigned long>(error_code));
  return out + unknown;
}

LogMessage::LogMessage(int32_t severity, const char* function, int32_t line)
    : severity_(severity),
      function_(function),
      line_(line),
      process_id_(::GetCurrentProcessId()),
      thread_id_(::GetCurrentThreadId()) {
  GetPreciseUtcTime(&time_);
  LARGE_INTEGER counter;
  ticks_ = ::QueryPerformanceCounter(&counter) ? counter.QuadPart : 0;
}

LogMessage::~LogMessage() {
  if (!emitted_)
    Emit();
}

void LogMessage::Emit() {
  emitted_ = true;
  if (!g_file_logger)
    return;
  // Logging must not disturb the caller's GetLastError().
  base::ScopedPreserveLastError preserve_last_error;
  g_file_logger->Emit(*this);
}

LogMessage& LogMessage::operator<<(std::wstring_view text) {
  text_ += base::WideToUTF8(text);
  return *this;
}

LogMessage& LogMessage::operator<<(double value) {
  char buffer[32];
  int len = std::snprintf(buffer, sizeof(buffer), "%g", value);
  if (len > 0)
    text_.append(buffer, static_cast<size_t>(len));
  return *this;
}

void LogMessage::AppendSigned(int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  text_.append(buffer, result.ptr);
}

void LogMessage::AppendUnsigned(uint64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  text_.append(buffer, result.ptr);
}

ErrorLogMessage::ErrorLogMessage(int32_t severity,
                                 const char* function,
                                 int32_t line,
                                 std::string error_text)
    : LogMessage(severity, function, line),
      error_text_(std::move(error_text)) {}

ErrorLogMessage::~ErrorLogMessage() {
  std::string& text = mutable_text();
  if (!text.empty())
    text += " - ";
  text += error_text_;
  Emit();
}

FileLogger::FileLogger(std::wstring path, uint32_t max_size)
    : path_(std::move(path)),
      mutex_name_(MutexNameForPath(path_)),
      max_size_(max_size) {}

FileLogger::~FileLogger() = default;

// static
std::wstring FileLogger::RotatedPath(const std::wstring& path) {
  size_t dot = path.find_last_of(L'.');
  size_t sep = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (sep != std::wstring::npos && dot < sep))
    return path + L"_old";
  return path.substr(0, dot) + L"_old" + path.substr(dot);
}

// static
std::wstring FileLogger::MutexNameForPath(const std::wstring& path) {
  std::string utf8 = base::WideToUTF8(path);
  uint8_t digest[base::kMd5Length];
  base::Md5(utf8.data(), utf8.size(), digest);
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring name = L"broupdater log ";
  for (unsigned char byte : digest) {
    name.push_back(kHex[byte >> 4]);
    name.push_back(kHex[byte & 0xF]);
  }
  return name;
}

// static
int FileLogger::FileErrorFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      return -2;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return -3;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return -4;
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
      return -5;
    case ERROR_TOO_MANY_OPEN_FILES:
      return -6;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return -7;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
    case 314:  // ERROR_DISK_RESOURCES_EXHAUSTED
      return -8;
    case ERROR_USER_MAPPED_FILE:
      return -10;
    case ERROR_NOT_READY:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_IO_DEVICE:
    case ERROR_DISK_OPERATION_FAILED:
    case ERROR_FILE_CORRUPT:
    case ERROR_DISK_CORRUPT:
      return -16;
    default:
      return -1;
  }
}

void FileLogger::Emit(const LogMessage& message) {
  const std::optional<LineFrame> frame = FormatLineFrame(message);
  if (!frame)
    return;
  const ScopedLogLock lock(mutex_name_);
  if (!CreateParentDirectory(path_))
    return;
  base::ScopedFileHandle file = OpenForAppend(path_);
  if (!file.is_valid())
    return;

  std::string out;
  if (!rotation_failed_ &&
      !RotateIfFull(frame->header.size() + message.text().size(),
                    frame->header, &file, &out)) {
    return;
  }
  AppendLockNotes(lock.taken(), lock.abandoned(), frame->header, &out);
  out.append(frame->header);
  out += LevelText(message.severity());
  out += ": ";
  out += message.text();
  out.append(frame->suffix);
  out += "\n";

  DWORD written = 0;
  ::WriteFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &written,
              nullptr);
}

bool FileLogger::RotateIfFull(uint64_t incoming,
                              std::string_view header,
                              base::ScopedFileHandle* file,
                              std::string* out) {
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(file->get(), &length)) {
    base::PlatformLogError("Unable to get file length.");
    return true;
  }
  if (static_cast<uint64_t>(length.QuadPart) + incoming < max_size_)
    return true;

  file->reset();
  const std::wstring rotated = RotatedPath(path_);
  bool moved = ::ReplaceFileW(rotated.c_str(), path_.c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                              nullptr) != FALSE;
  int file_error = 0;
  if (!moved) {
    file_error = FileErrorFromSystemError(::GetLastError());
    moved = ::MoveFileW(path_.c_str(), rotated.c_str()) != FALSE;
    // A missing rotated file is the usual case; the move's reason is
    // the one worth reporting then.
    if (!moved && file_error == -4)
      file_error = FileErrorFromSystemError(::GetLastError());
  }
  *file = OpenForAppend(path_);
  if (!file->is_valid())
    return false;
  if (!moved) {
    rotation_failed_ = 1;
    AppendFileNote(header, "Failed to rotate log file ", path_, out);
    *out += ": ";
    *out += std::to_string(file_error);
    *out += "\n";
  }
  return true;
}

void FileLogger::AppendLockNotes(bool lock_taken,
                                 bool lock_abandoned,
                                 std::string_view header,
                                 std::string* out) {
  if (!lock_taken && !lock_failure_reported_) {
    lock_failure_reported_ = 1;
    AppendFileNote(header, "Failed to lock log file ", path_, out);
    *out += "\n";
  }
  if (lock_abandoned) {
    AppendFileNote(header, "Abandoned log mutex recovered for file ", path_,
                   out);
    *out += "\n";
  }
}

std::wstring GetLogFilePath() {
  wchar_t temp[MAX_PATH];
  DWORD len = ::GetTempPathW(MAX_PATH, temp);
  std::wstring path;
  if (len != 0 && len < MAX_PATH)
    path.assign(temp, len);
  // The install-mode suffix of this product is empty.
  path += L"lite_installer";
  path += L".log";
  return path;
}

void SetFileLogger(std::unique_ptr<FileLogger> logger) {
  FileLogger* previous = g_file_logger;
  g_file_logger = logger.release();
  delete previous;
}

}  // namespace broupdater
