#ifndef LOGGING_FILE_LOGGER_H_
#define LOGGING_FILE_LOGGER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/scoped_handle.h"
#include "logging/function_name.h"

namespace broupdater {

enum LogSeverity : int32_t {
  LOG_SEVERITY_INFO = 0,
  LOG_SEVERITY_ERROR = 1,
  LOG_SEVERITY_WARNING = 2,
};

// "<code>, <system message>" for a Windows error code; the message comes from
// the system table, then wininet.dll, then urlmon.dll when loaded, else
// "unknown error 0x<hex>\n". The message keeps its trailing line break.
std::string DescribeSystemError(DWORD error_code);

// One log statement. Values are streamed into it; when it ends it is handed
// to the process's FileLogger, or dropped when there is none yet.
class LogMessage {
 public:
  LogMessage(int32_t severity, const char* function, int32_t line);
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;
  ~LogMessage();

  LogMessage& operator<<(std::string_view text) {
    text_.append(text);
    return *this;
  }
  LogMessage& operator<<(const char* text) {
    return *this << std::string_view(text ? text : "(null)");
  }
  LogMessage& operator<<(const std::string& text) {
    return *this << std::string_view(text);
  }
  LogMessage& operator<<(std::wstring_view text);
  LogMessage& operator<<(const wchar_t* text) {
    return *this << std::wstring_view(text ? text : L"(null)");
  }
  LogMessage& operator<<(const std::wstring& text) {
    return *this << std::wstring_view(text);
  }
  LogMessage& operator<<(char c) {
    text_.push_back(c);
    return *this;
  }
  LogMessage& operator<<(bool value) { return *this << (value ? '1' : '0'); }
  LogMessage& operator<<(double value);
  template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
           !std::is_same_v<T, char> && !std::is_same_v<T, wchar_t>) LogMessage&
  operator<<(T value) {
    if constexpr (std::is_signed_v<T>)
      AppendSigned(static_cast<int64_t>(value));
    else
      AppendUnsigned(static_cast<uint64_t>(value));
    return *this;
  }
  template <typename E>
  requires std::is_enum_v<E> LogMessage& operator<<(E value) {
    return *this << static_cast<std::underlying_type_t<E>>(value);
  }

  int32_t severity() const { return severity_; }
  const char* function() const { return function_; }
  int32_t line() const { return line_; }
  const FILETIME& time() const { return time_; }
  int64_t ticks() const { return ticks_; }
  uint32_t process_id() const { return process_id_; }
  uint32_t thread_id() const { return thread_id_; }
  const std::string& text() const { return text_; }

 protected:
  std::string& mutable_text() { return text_; }
  void Emit();

 private:
  void AppendSigned(int64_t value);
  void AppendUnsigned(uint64_t value);

  int32_t severity_;
  const char* function_;
  int32_t line_;
  FILETIME time_;
  int64_t ticks_;
  uint32_t process_id_;
  uint32_t thread_id_;
  std::string text_;
  bool emitted_ = false;
};

// A log statement that ends with " - " and a system error description
// (just the description when nothing was streamed).
class ErrorLogMessage : public LogMessage {
 public:
  ErrorLogMessage(int32_t severity,
                  const char* function,
                  int32_t line,
                  std::string error_text);
  ~ErrorLogMessage();

 private:
  std::string error_text_;
};

// Writes log entries to one file shared by every installer process: each
// entry is appended under a named mutex derived from the path, with the file
// opened and closed again every time. The file is moved aside to "_old" when
// it would reach `max_size`.
class FileLogger {
 public:
  FileLogger(std::wstring path, uint32_t max_size);
  FileLogger(const FileLogger&) = delete;
  FileLogger& operator=(const FileLogger&) = delete;

  // Writes one entry. Never fails the caller.
  virtual void Emit(const LogMessage& message);
  virtual ~FileLogger();

  const std::wstring& path() const { return path_; }
  const std::wstring& mutex_name() const { return mutex_name_; }

  // "lite_installer.log" -> "lite_installer_old.log".
  static std::wstring RotatedPath(const std::wstring& path);
  // "broupdater log " + MD5 of the UTF-8 path in lower-case hex.
  static std::wstring MutexNameForPath(const std::wstring& path);
  // The small negative file-error codes written in rotation-failure lines.
  static int FileErrorFromSystemError(DWORD error);

 private:
  // Moves the file aside when `incoming` more bytes would make it reach the
  // size limit, then reopens `file`; a failed move is noted in `out` once.
  // False when the file cannot be reopened.
  bool RotateIfFull(uint64_t incoming,
                    std::string_view header,
                    base::ScopedFileHandle* file,
                    std::string* out);
  // The lines that tell of trouble with the log mutex.
  void AppendLockNotes(bool lock_taken,
                       bool lock_abandoned,
                       std::string_view header,
                       std::string* out);

  std::wstring path_;
  std::wstring mutex_name_;
  uint32_t max_size_;
  uint8_t rotation_failed_ = 0;
  uint8_t lock_failure_reported_ = 0;
};

// `lite_installer.log` in the temporary directory (bare name when the
// temporary directory cannot be read).
std::wstring GetLogFilePath();

// Installs `logger` as the process's logger, destroying the previous one.
// Call before other threads log.
void SetFileLogger(std::unique_ptr<FileLogger> logger);

// The default size limit of the installer's log.
inline constexpr uint32_t kLogFileMaxSize = 1048576;

}  // namespace broupdater

#define LOG(severity)                                             \
  ::broupdater::LogMessage(::broupdater::LOG_SEVERITY_##severity, \
                           LITE_FUNCTION_NAME, __LINE__)

// Appends the description of the thread's last error, captured before any
// streamed expression runs.
#define PLOG(severity)                                                     \
  ::broupdater::ErrorLogMessage(                                           \
      ::broupdater::LOG_SEVERITY_##severity, LITE_FUNCTION_NAME, __LINE__, \
      ::broupdater::DescribeSystemError(::GetLastError()))

// Appends the description of an explicit error code.
#define PLOG_CODE(severity, code)                                      \
  ::broupdater::ErrorLogMessage(::broupdater::LOG_SEVERITY_##severity, \
                                LITE_FUNCTION_NAME, __LINE__,          \
                                ::broupdater::DescribeSystemError(code))

#endif  // LOGGING_FILE_LOGGER_H_
