#include "crash/scoped_crash_reporter.h"

#include <dbghelp.h>
#include <objbase.h>

#include <atomic>

#include "base/platform_log.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/system_library.h"
#include "crash/crash_report_parts.h"
#include "crash/file_reader.h"
#include "crash/http_multipart_builder.h"
#include "crash/http_transport_win.h"
#include "deployment_config.h"
#include "logging/user_id.h"

namespace crashpad {

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE,
                                          DWORD,
                                          HANDLE,
                                          MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

constexpr char kReservedKey[] = "upload_file_minidump";
constexpr double kUploadTimeoutSeconds = 60;
// The report thread's stack: the dump writer and WinHTTP, never the stack of
// a thread that has just overflowed its own.
constexpr SIZE_T kReportThreadStackSize = 1024 * 1024;

std::atomic<ScopedCrashReporter::Impl*> g_reporter{nullptr};
std::atomic<void (*)()> g_before_report_hook{nullptr};

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers);

// Reads or writes exactly `size` bytes at `offset`.
bool ReadAt(HANDLE file, uint64_t offset, void* data, DWORD size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD done = 0;
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
         ::ReadFile(file, data, size, &done, nullptr) && done == size;
}

bool WriteAt(HANDLE file, uint64_t offset, const void* data, DWORD size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD done = 0;
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, data, size, &done, nullptr) && done == size;
}

// Makes the crash information stream's RVAs file offsets in the written
// dump.
bool FixUpDump(HANDLE file, size_t annotation_count) {
  MINIDUMP_HEADER header;
  if (!ReadAt(file, 0, &header, sizeof(header)))
    return false;
  bool found = false;
  uint32_t stream_rva = 0;
  for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
    MINIDUMP_DIRECTORY entry;
    if (!ReadAt(file, header.StreamDirectoryRva + uint64_t{i} * sizeof(entry),
                &entry, sizeof(entry))) {
      return false;
    }
    // A later entry of the type wins.
    if (entry.StreamType == kCrashInfoStreamType) {
      found = true;
      stream_rva = entry.Location.Rva;
    }
  }
  if (!found)
    return false;
  std::string head(kCrashInfoDictionaryOffset + 4 + 8 * annotation_count, '\0');
  if (!ReadAt(file, stream_rva, head.data(), static_cast<DWORD>(head.size())) ||
      !FixUpCrashInfoRvas(stream_rva, annotation_count, &head)) {
    return false;
  }
  return WriteAt(file, stream_rva, head.data(), static_cast<DWORD>(head.size()));
}

}  // namespace

class ScopedCrashReporter::Impl {
 public:
  explicit Impl(const std::string& server_origin);
  ~Impl();

  void SetAnnotation(const std::string& key, const std::string& value) {
    annotations_[key] = value;
  }
  // Reports the exception of thread `thread_id`: on the report thread when
  // there is one, else here. Returns whether a dump was written.
  bool Report(EXCEPTION_POINTERS* pointers, DWORD thread_id);
  // The filter's answer once the report is done.
  LONG PreviousFilterResult(EXCEPTION_POINTERS* pointers) const {
    return previous_filter_ ? previous_filter_(pointers)
                            : EXCEPTION_CONTINUE_SEARCH;
  }
  bool IsReportingThread(DWORD thread_id) const {
    return thread_id == report_thread_id_ ||
           thread_id == crashing_thread_id_.load();
  }

 private:
  static DWORD WINAPI ReportThreadMain(void* self);
  bool WriteAndSend(EXCEPTION_POINTERS* pointers, DWORD thread_id);
  bool WriteDump(EXCEPTION_POINTERS* pointers, DWORD thread_id);
  void SendReport();

  const std::string server_origin_;
  std::wstring dump_path_;
  const bool upload_enabled_ = true;
  const bool gzip_enabled_ = true;
  GUID client_id_ = {};
  GUID report_id_ = {};
  Annotations annotations_;
  MiniDumpWriteDumpFn write_dump_ = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_ = nullptr;

  // The report thread waits for `request_`, reports the exception handed
  // over in pending_*, and signals `done_`.
  base::ScopedKernelHandle request_;
  base::ScopedKernelHandle done_;
  base::ScopedKernelHandle report_thread_;
  DWORD report_thread_id_ = 0;
  EXCEPTION_POINTERS* pending_pointers_ = nullptr;
  DWORD pending_thread_id_ = 0;
  bool pending_result_ = false;
  bool quit_ = false;
  // The thread whose exception is being reported; 0 when none.
  std::atomic<DWORD> crashing_thread_id_{0};
};

ScopedCrashReporter::Impl::Impl(const std::string& server_origin)
    : server_origin_(server_origin) {
  std::string user_id = broupdater::GetUserId();
  if (user_id.empty() || user_id.front() != '{')
    user_id = "{" + user_id + "}";
  if (FAILED(::CLSIDFromString(base::UTF8ToWide(user_id).c_str(), &client_id_))) {
    client_id_ = GUID{};
    base::PlatformLogWarning("uid not found, use empty");
  }
  if (FAILED(::CoCreateGuid(&report_id_)))
    report_id_ = GUID{};

  annotations_["uid"] = GuidText(client_id_);
  annotations_["report_id"] = GuidText(report_id_);
  annotations_["ver"] = deployment::kInstallerVersion;
  annotations_["plat"] = "Win32";
  annotations_["prod"] = "Norvel";
  annotations_["gzip_enabled"] = gzip_enabled_ ? "true" : "false";

  wchar_t temp[MAX_PATH];
  const DWORD length = ::GetTempPathW(MAX_PATH, temp);
  std::wstring dir = length && length < MAX_PATH ? temp : L"";
  // GetTempPathW's answer already ends with the separator.
  if (dir.empty() || dir.back() != L'\\')
    dir.push_back(L'\\');
  dump_path_ = dir + base::UTF8ToWide(annotations_["report_id"]) + L".dmp";

  // From the system directory only: a parent relaunched without
  // SetDefaultDllDirectories would otherwise load a dbghelp.dll planted in
  // the download folder.
  if (HMODULE dbghelp = base::LoadSystemLibrary(L"dbghelp.dll")) {
    write_dump_ = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(::GetProcAddress(dbghelp, "MiniDumpWriteDump")));
  }
  if (write_dump_) {
    // A thread with a stack of its own writes and sends the report: the
    // crashing thread may have no stack left. Without it the crashing
    // thread does the work itself.
    request_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    done_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (request_ && done_) {
      report_thread_.reset(::CreateThread(
          nullptr, kReportThreadStackSize, &Impl::ReportThreadMain, this,
          STACK_SIZE_PARAM_IS_A_RESERVATION, &report_thread_id_));
    }
    if (!report_thread_)
      report_thread_id_ = 0;
    previous_filter_ = ::SetUnhandledExceptionFilter(&CrashFilter);
  }
  g_reporter.store(this);
}

ScopedCrashReporter::Impl::~Impl() {
  if (write_dump_)
    ::SetUnhandledExceptionFilter(previous_filter_);
  g_reporter.store(nullptr);
  if (report_thread_) {
    quit_ = true;
    ::SetEvent(request_.get());
    ::WaitForSingleObject(report_thread_.get(), INFINITE);
  }
}

DWORD WINAPI ScopedCrashReporter::Impl::ReportThreadMain(void* param) {
  Impl* self = static_cast<Impl*>(param);
  for (;;) {
    ::WaitForSingleObject(self->request_.get(), INFINITE);
    if (self->quit_)
      return 0;
    self->pending_result_ =
        self->WriteAndSend(self->pending_pointers_, self->pending_thread_id_);
    ::SetEvent(self->done_.get());
  }
}

bool ScopedCrashReporter::Impl::Report(EXCEPTION_POINTERS* pointers,
                                       DWORD thread_id) {
  // One report at a time: a second crashing thread waits here while the
  // first one's report is written; that report normally ends the process.
  DWORD idle = 0;
  while (!crashing_thread_id_.compare_exchange_strong(idle, thread_id)) {
    idle = 0;
    ::Sleep(10);
  }
  bool written;
  if (report_thread_) {
    pending_pointers_ = pointers;
    pending_thread_id_ = thread_id;
    ::SetEvent(request_.get());
    ::WaitForSingleObject(done_.get(), INFINITE);
    written = pending_result_;
  } else {
    written = WriteAndSend(pointers, thread_id);
  }
  crashing_thread_id_.store(0);
  return written;
}

bool ScopedCrashReporter::Impl::WriteAndSend(EXCEPTION_POINTERS* pointers,
                                             DWORD thread_id) {
  if (void (*hook)() = g_before_report_hook.load())
    hook();
  if (!WriteDump(pointers, thread_id))
    return false;
  if (upload_enabled_)
    SendReport();
  return true;
}

bool ScopedCrashReporter::Impl::WriteDump(EXCEPTION_POINTERS* pointers,
                                          DWORD thread_id) {
  if (!write_dump_)
    return false;
  // The file stays whatever happens below: nothing is cleaned up inside a
  // crashed process.
  base::ScopedFileHandle file(::CreateFileW(
      dump_path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  std::string stream = BuildCrashInfoStream(report_id_, client_id_, annotations_);
  MINIDUMP_EXCEPTION_INFORMATION exception = {};
  exception.ThreadId = thread_id;
  exception.ExceptionPointers = pointers;
  exception.ClientPointers = FALSE;
  MINIDUMP_USER_STREAM user_stream = {};
  user_stream.Type = kCrashInfoStreamType;
  user_stream.BufferSize = static_cast<ULONG>(stream.size());
  user_stream.Buffer = stream.data();
  MINIDUMP_USER_STREAM_INFORMATION user_streams = {1, &user_stream};
  if (!write_dump_(::GetCurrentProcess(), ::GetCurrentProcessId(), file.get(),
                   MiniDumpWithIndirectlyReferencedMemory,
                   pointers ? &exception : nullptr, &user_streams, nullptr)) {
    return false;
  }
  return FixUpDump(file.get(), annotations_.size());
}

void ScopedCrashReporter::Impl::SendReport() {
  FileReader dump;
  if (!dump.Open(dump_path_))
    return;
  MultipartBodyBuilder builder;
  builder.SetGzipEnabled(gzip_enabled_);
  for (const auto& [key, value] : annotations_) {
    if (key == kReservedKey) {
      base::PlatformLogWarning("reserved key " + key + ", discarding value " +
                               value);
      continue;
    }
    builder.SetFormField(key, value);
  }
  builder.SetFileAttachment(kReservedKey, annotations_["uid"] + ".dmp", &dump,
                            "application/octet-stream");
  std::unique_ptr<UploadTransport> transport = UploadTransport::Create();
  HttpHeaders headers;
  builder.GetContentHeaders(&headers);
  for (const auto& [name, value] : headers)
    transport->SetHeader(name, value);
  transport->SetBodyStream(builder.GetBodyStream());
  transport->SetTimeout(kUploadTimeoutSeconds);
  transport->SetUrl(CrashReportUrl(server_origin_, annotations_));
  transport->SetMethod("POST");
  std::string response;
  const bool sent = transport->Execute(&response);
  dump.Close();
  if (sent)
    ::DeleteFileW(dump_path_.c_str());
}

namespace {

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
  ScopedCrashReporter::Impl* reporter = g_reporter.load();
  if (!reporter)
    return EXCEPTION_CONTINUE_SEARCH;
  const DWORD thread_id = ::GetCurrentThreadId();
  // A fault while the report is written (on the report thread, or again on
  // the thread being reported) would only re-enter here: end at once with
  // the exception's code.
  if (reporter->IsReportingThread(thread_id)) {
    ::TerminateProcess(::GetCurrentProcess(),
                       pointers->ExceptionRecord->ExceptionCode);
  }
  reporter->Report(pointers, thread_id);
  const LONG result = reporter->PreviousFilterResult(pointers);
  // The system's own handling needs stack that an overflowed thread no
  // longer has: under Wine it faults again, only this thread ends and the
  // process lives on without it. End the process with the code here.
  if (result == EXCEPTION_CONTINUE_SEARCH &&
      pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    ::TerminateProcess(::GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
  }
  return result;
}

}  // namespace

ScopedCrashReporter::ScopedCrashReporter(const std::string& server_origin)
    : impl_(std::make_unique<Impl>(server_origin)) {}

ScopedCrashReporter::~ScopedCrashReporter() = default;

void ScopedCrashReporter::SetAnnotation(const std::string& key,
                                        const std::string& value) {
  if (key.empty() || value.empty())
    return;
  impl_->SetAnnotation(key, value);
}

bool ScopedCrashReporter::ReportException(EXCEPTION_POINTERS* pointers) {
  Impl* reporter = g_reporter.load();
  if (!reporter)
    return false;
  return reporter->Report(pointers, ::GetCurrentThreadId());
}

void ScopedCrashReporter::SetBeforeReportHookForTesting(void (*hook)()) {
  g_before_report_hook.store(hook);
}

}  // namespace crashpad
