// Compiled with the debug-build reports on (base/CMakeLists.txt). The owners
// here have traits types of their own, so that no other file's copy of the
// owner templates, built without the reports, is mixed up with these.

#include "base/scoped_handle.h"

#include <string>

#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace base {
namespace {

struct CheckedKernelTraits : KernelHandleTraits {};
struct CheckedFileTraits : FileHandleTraits {};
struct CheckedRegKeyTraits : RegKeyTraits {};
using CheckedKernelHandle = ScopedGeneric<CheckedKernelTraits>;
using CheckedFileHandle = ScopedGeneric<CheckedFileTraits>;
using CheckedHKEY = ScopedGeneric<CheckedRegKeyTraits>;

// The C runtime's abort() ends the process with 3.
constexpr DWORD kAbortExitCode = 3;

LITE_CHILD_MAIN(CloseOwnedHandles) {
  CheckedKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  CheckedFileHandle self(::CreateFileW(std::wstring(path, length).c_str(),
                                       GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  CheckedHKEY key;
  ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive());
  return event && self && key ? 0 : 1;
}

LITE_CHILD_MAIN(CloseEventTwice) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CheckedKernelHandle event(raw);
  ::CloseHandle(raw);  // behind the owner's back: its own close now fails
  return 0;
}

LITE_CHILD_MAIN(CloseKeyTwice) {
  CheckedHKEY key;
  ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive());
  ::RegCloseKey(key.get());
  return 0;
}

LITE_CHILD_MAIN(KernelOwnerGivenInvalidHandleValue) {
  CheckedKernelHandle wrong(INVALID_HANDLE_VALUE);
  return 0;
}

LITE_CHILD_MAIN(FileOwnerGivenNull) {
  CheckedFileHandle wrong(nullptr);
  return 0;
}

DWORD ExitCodeOfChild(const char* name) {
  test::ChildProcess child = test::StartChild(name);
  if (!child.Wait(60000)) {
    child.Terminate();
    ADD_FAILURE() << name << " did not end";
    return 0xFFFFFFFF;
  }
  return child.exit_code();
}

TEST(ScopedHandleTest, OwnersCloseWhatTheyOwnQuietly) {
  EXPECT_EQ(0u, ExitCodeOfChild("CloseOwnedHandles"));
}

TEST(ScopedHandleTest, AFailedCloseStopsADebugBuild) {
  EXPECT_EQ(kAbortExitCode, ExitCodeOfChild("CloseEventTwice"));
  EXPECT_EQ(kAbortExitCode, ExitCodeOfChild("CloseKeyTwice"));
}

TEST(ScopedHandleTest, TheOtherKindsInvalidValueStopsADebugBuild) {
  EXPECT_EQ(kAbortExitCode,
            ExitCodeOfChild("KernelOwnerGivenInvalidHandleValue"));
  EXPECT_EQ(kAbortExitCode, ExitCodeOfChild("FileOwnerGivenNull"));
}

// Each owner has one invalid value, its creators' failure value.
TEST(ScopedHandleTest, EachOwnerStartsFromItsOwnInvalidValue) {
  CheckedFileHandle missing(::CreateFileW(L"Z:\\no\\such\\file.bin",
                                          GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing.is_valid());
  EXPECT_EQ(INVALID_HANDLE_VALUE, CheckedFileHandle().get());
  CheckedKernelHandle none(
      ::OpenEventW(SYNCHRONIZE, FALSE, L"lite_installer no such event"));
  EXPECT_FALSE(none.is_valid());
  EXPECT_EQ(nullptr, CheckedKernelHandle().get());
}

}  // namespace
}  // namespace base
