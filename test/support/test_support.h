#ifndef TEST_SUPPORT_TEST_SUPPORT_H_
#define TEST_SUPPORT_TEST_SUPPORT_H_

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace test {

// A fresh directory under the temporary directory, removed with its
// contents on destruction.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  ~ScopedTempDir();

  const std::wstring& path() const { return path_; }
  // path() + "\" + name
  std::wstring Append(const std::wstring& name) const;

 private:
  std::wstring path_;
};

// Points TMP and TEMP at `dir` for the life of the object (GetTempPathW
// reads TMP first).
class ScopedTempPathOverride {
 public:
  explicit ScopedTempPathOverride(const std::wstring& dir);
  ~ScopedTempPathOverride();

 private:
  std::wstring old_tmp_;
  std::wstring old_temp_;
  bool had_tmp_;
  bool had_temp_;
};

// Sets the environment variable `name` to `value` (nullptr removes it) for
// the life of the object; child processes started meanwhile inherit it.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value);
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) =
      delete;
  ~ScopedEnvironmentVariable();

 private:
  std::wstring name_;
  std::wstring old_value_;
  bool had_value_;
};

bool DeleteTree(const std::wstring& path);
bool ReadFileToString(const std::wstring& path, std::string* contents);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::wstring& path);
bool WriteStringToFile(const std::wstring& path, const std::string& contents);
bool PathExists(const std::wstring& path);
std::vector<std::string> SplitLines(const std::string& text);
std::wstring ToLower(std::wstring text);

// Directory of the running executable, without a trailing backslash.
std::wstring ExecutableDir();

// The Linux path of a file on Wine's Z: drive (the Unix root), for helpers
// that run on the Linux side such as the loopback services.
std::string UnixPath(const std::wstring& windows_path);
// The reverse: a Linux path (UTF-8) as Wine's Z: drive shows it, for build
// outputs the tests read by their build-time path.
std::wstring WinePath(const std::string& unix_path);

// The process's peak working set in bytes; 0 when it cannot be read.
size_t PeakWorkingSetBytes();

// A started child process. Destroying it, or assigning another over it,
// ends the child when it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();

  // Starts `command_line` with the current environment plus `env` (an empty
  // value removes a variable). Returns false when CreateProcessW fails.
  bool Start(const std::wstring& command_line,
             const std::map<std::wstring, std::wstring>& env = {});
  // Waits up to `timeout_ms`; false on time-out.
  bool Wait(DWORD timeout_ms);
  // The same, dispatching this thread's window messages meanwhile, for tests
  // that own windows the child may send messages to.
  bool WaitPumpingMessages(DWORD timeout_ms);
  // The full 32-bit exit code (valid after Wait returned true).
  DWORD exit_code() const;
  bool IsRunning() const;
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }
  void Terminate();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Runs the named child function of this test binary (see LITE_CHILD_MAIN)
// in a new process and returns the started process.
ChildProcess StartChild(const std::string& name,
                        const std::wstring& extra_args = L"",
                        const std::map<std::wstring, std::wstring>& env = {});

using ChildMain = int (*)(const std::vector<std::wstring>& args);
bool RegisterChildMain(const char* name, ChildMain main);
// Makes this test binary answer a product switch ("--name" given as its
// only argument) as the product would, by running `main`: for code that
// starts the program it runs in, with that switch.
bool RegisterProductSwitchMain(const char* name, ChildMain main);
// Makes this test binary take the product role that the switch `name`
// ("run-as-admin") gives a process, wherever the switch stands among its
// arguments: for code that starts a copy of the program it runs in with
// that switch added to its own command line.
bool RegisterProductRoleMain(const char* name, ChildMain main);
// Called by the test main: runs a child function when the command line asks
// for one. Returns true and sets `exit_code` then.
bool MaybeRunChildMain(int argc, wchar_t** argv, int* exit_code);

}  // namespace test

// Defines a function that StartChild(name) runs in a child process; its
// return value is the child's exit code. `args` are the extra arguments.
#define LITE_CHILD_MAIN(name)                                             \
  static int LiteChildMain_##name(const std::vector<std::wstring>& args); \
  static const bool lite_child_registered_##name =                        \
      ::test::RegisterChildMain(#name, &LiteChildMain_##name);            \
  static int LiteChildMain_##name(const std::vector<std::wstring>& args)

// Defines the function that answers the product switch `switch_name` when
// this test binary is started with it (see RegisterProductSwitchMain).
#define LITE_PRODUCT_SWITCH_MAIN(ident, switch_name)                           \
  static int LiteSwitchMain_##ident(const std::vector<std::wstring>& args);    \
  static const bool lite_switch_registered_##ident =                           \
      ::test::RegisterProductSwitchMain(switch_name, &LiteSwitchMain_##ident); \
  static int LiteSwitchMain_##ident(const std::vector<std::wstring>& args)

// Defines the function that takes the product role `switch_name` (see
// RegisterProductRoleMain).
#define LITE_PRODUCT_ROLE_MAIN(ident, switch_name)                          \
  static int LiteRoleMain_##ident(const std::vector<std::wstring>& args);   \
  static const bool lite_role_registered_##ident =                          \
      ::test::RegisterProductRoleMain(switch_name, &LiteRoleMain_##ident);  \
  static int LiteRoleMain_##ident(const std::vector<std::wstring>& args)

#endif  // TEST_SUPPORT_TEST_SUPPORT_H_
