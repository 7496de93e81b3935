#ifndef TEST_SUPPORT_UI_ACCESSIBILITY_H_
#define TEST_SUPPORT_UI_ACCESSIBILITY_H_

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

namespace test {

// What a screen reader learns of one accessible object (CHILDID_SELF),
// each property with the result of asking for it.
struct AccessibleReading {
  HRESULT object_result = E_FAIL;  // getting the object at all
  HRESULT name_result = E_FAIL;
  std::wstring name;
  HRESULT role_result = E_FAIL;
  LONG role = 0;
  HRESULT value_result = E_FAIL;
  std::wstring value;
  HRESULT state_result = E_FAIL;
  LONG state = 0;
  HRESULT location_result = E_FAIL;
  RECT location = {};  // screen coordinates
};

AccessibleReading ReadAccessible(IAccessible* object);
// AccessibleObjectFromWindow(OBJID_CLIENT) on `window`, from any process.
// Wine's standard proxy answers AccessibleChildren of a parent with window
// objects that say E_NOTIMPL, so callers walk the child windows instead.
AccessibleReading ReadWindowAccessible(HWND window);

// Every window of process `pid`: top-level windows, each followed by its
// descendants.
std::vector<HWND> ProcessWindows(DWORD pid);
// The window of `pid` with dialog control id `control_id` (child windows)
// or null.
HWND FindProcessControl(DWORD pid, int control_id);
// The first visible top-level window of `pid` with class `class_name`,
// waiting up to `timeout_ms` for it. A process that shows its window once
// its contents are made is ready when this returns.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* class_name, DWORD timeout_ms = 10000);

// COM for the calling thread (apartment threaded), undone on destruction.
class ScopedComApartment {
 public:
  ScopedComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;
  ~ScopedComApartment() {
    if (SUCCEEDED(result_))
      ::CoUninitialize();
  }
  bool ok() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// Records the win events of one kind from process `pid` (0: all), seen out
// of context by this thread: pump its messages (PumpUntil) to receive them.
class WinEventRecorder {
 public:
  struct Event {
    HWND window;
    LONG object_id;
    LONG child_id;
  };

  WinEventRecorder(DWORD event, DWORD pid);
  WinEventRecorder(const WinEventRecorder&) = delete;
  WinEventRecorder& operator=(const WinEventRecorder&) = delete;
  ~WinEventRecorder();

  bool ok() const { return hook_ != nullptr; }
  const std::vector<Event>& events() const { return events_; }

 private:
  static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object_id,
                               LONG child_id, DWORD thread, DWORD time);

  HWINEVENTHOOK hook_ = nullptr;
  std::vector<Event> events_;
};

}  // namespace test

#endif  // TEST_SUPPORT_UI_ACCESSIBILITY_H_
