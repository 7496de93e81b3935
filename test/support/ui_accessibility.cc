#include "test/support/ui_accessibility.h"

#include <map>

#include "test/support/ui_input.h"

namespace test {

namespace {

VARIANT Self() {
  VARIANT self;
  ::VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

std::wstring TakeString(BSTR text) {
  std::wstring value = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
  ::SysFreeString(text);
  return value;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid) {
    search->windows->push_back(window);
    ::EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(search->windows));
  }
  return TRUE;
}

// Win event hooks call back with no context: one recorder per hook handle.
std::map<HWINEVENTHOOK, std::vector<WinEventRecorder::Event>*>& Recorders() {
  static std::map<HWINEVENTHOOK, std::vector<WinEventRecorder::Event>*> recorders;
  return recorders;
}

}  // namespace

AccessibleReading ReadAccessible(IAccessible* object) {
  AccessibleReading reading;
  reading.object_result = object ? S_OK : E_POINTER;
  if (!object)
    return reading;
  BSTR text = nullptr;
  reading.name_result = object->get_accName(Self(), &text);
  reading.name = TakeString(text);
  text = nullptr;
  reading.value_result = object->get_accValue(Self(), &text);
  reading.value = TakeString(text);
  VARIANT answer;
  ::VariantInit(&answer);
  reading.role_result = object->get_accRole(Self(), &answer);
  if (SUCCEEDED(reading.role_result) && answer.vt == VT_I4)
    reading.role = answer.lVal;
  ::VariantClear(&answer);
  reading.state_result = object->get_accState(Self(), &answer);
  if (SUCCEEDED(reading.state_result) && answer.vt == VT_I4)
    reading.state = answer.lVal;
  ::VariantClear(&answer);
  long left = 0, top = 0, width = 0, height = 0;
  reading.location_result = object->accLocation(&left, &top, &width, &height, Self());
  reading.location = {left, top, left + width, top + height};
  return reading;
}

AccessibleReading ReadWindowAccessible(HWND window) {
  IAccessible* object = nullptr;
  const HRESULT result = ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                                      __uuidof(IAccessible),
                                                      reinterpret_cast<void**>(&object));
  if (FAILED(result) || !object) {
    AccessibleReading reading;
    reading.object_result = FAILED(result) ? result : E_POINTER;
    return reading;
  }
  AccessibleReading reading = ReadAccessible(object);
  object->Release();
  return reading;
}

std::vector<HWND> ProcessWindows(DWORD pid) {
  std::vector<HWND> windows;
  WindowSearch search = {pid, &windows};
  ::EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return windows;
}

HWND FindProcessControl(DWORD pid, int control_id) {
  for (HWND window : ProcessWindows(pid)) {
    if ((::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) && ::GetDlgCtrlID(window) == control_id)
      return window;
  }
  return nullptr;
}

HWND WaitForProcessWindow(DWORD pid, const wchar_t* class_name, DWORD timeout_ms) {
  HWND found = nullptr;
  PumpUntil(
      [&] {
        for (HWND window : ProcessWindows(pid)) {
          wchar_t name[128] = {};
          ::GetClassNameW(window, name, 128);
          const LONG style = ::GetWindowLongW(window, GWL_STYLE);
          if ((style & (WS_CHILD | WS_VISIBLE)) == WS_VISIBLE && wcscmp(name, class_name) == 0) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

WinEventRecorder::WinEventRecorder(DWORD event, DWORD pid) {
  hook_ = ::SetWinEventHook(event, event, nullptr, &WinEventRecorder::OnEvent, pid, 0,
                            WINEVENT_OUTOFCONTEXT);
  if (hook_)
    Recorders()[hook_] = &events_;
}

WinEventRecorder::~WinEventRecorder() {
  if (hook_) {
    ::UnhookWinEvent(hook_);
    Recorders().erase(hook_);
  }
}

void CALLBACK WinEventRecorder::OnEvent(HWINEVENTHOOK hook, DWORD, HWND window, LONG object_id,
                                        LONG child_id, DWORD, DWORD) {
  auto it = Recorders().find(hook);
  if (it != Recorders().end())
    it->second->push_back({window, object_id, child_id});
}

}  // namespace test
