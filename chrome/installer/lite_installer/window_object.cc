#include "chrome/installer/lite_installer/window_object.h"

#include <windowsx.h>

#include <algorithm>
#include <map>

#include "chrome/installer/lite_installer/localized_strings.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// Window handle to object, for every attached window of the process.
class WindowRegistry {
 public:
  static WindowRegistry& Get() {
    static WindowRegistry registry;  // thread-safe first use
    return registry;
  }

  void Insert(HWND window, WindowObject* object) {
    Locked lock(&lock_);
    objects_[window] = object;
  }
  // Erases the entry of `window` only while it is `object`'s: a destroyed
  // window's handle value may already belong to another object.
  bool EraseIfOwned(HWND window, WindowObject* object) {
    Locked lock(&lock_);
    auto it = objects_.find(window);
    if (it == objects_.end() || it->second != object)
      return false;
    objects_.erase(it);
    return true;
  }
  WindowObject* Find(HWND window) {
    Locked lock(&lock_);
    auto it = objects_.find(window);
    return it == objects_.end() ? nullptr : it->second;
  }

 private:
  class Locked {
   public:
    explicit Locked(SRWLOCK* lock) : lock_(lock) { ::AcquireSRWLockExclusive(lock_); }
    ~Locked() { ::ReleaseSRWLockExclusive(lock_); }

   private:
    SRWLOCK* lock_;
  };

  SRWLOCK lock_ = SRWLOCK_INIT;
  std::map<HWND, WindowObject*> objects_;
};

HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const wchar_t*>(&ThisModule), &module);
  return module;
}

}  // namespace

POINT CenteredPosition(const RECT& reference, const RECT& clamp, SIZE size) {
  auto place = [](LONG low, LONG high, LONG clamp_low, LONG clamp_high, LONG extent) {
    LONG position = (low + high) / 2 - extent / 2;
    if (position + extent > clamp_high)
      position = clamp_high - extent;
    return std::max(position, clamp_low);
  };
  return {place(reference.left, reference.right, clamp.left, clamp.right, size.cx),
          place(reference.top, reference.bottom, clamp.top, clamp.bottom, size.cy)};
}

WindowObject::WindowObject()
    : move_window_message_(::RegisterWindowMessageW(kMoveWindowMessageName)) {}

WindowObject::~WindowObject() {
  Detach();
}

bool WindowObject::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) {
  return false;
}

int WindowObject::GetDialogTemplateId() {
  return 0;
}

WindowObject* WindowObject::FromHandle(HWND window) {
  return WindowRegistry::Get().Find(window);
}

bool WindowObject::Attach(HWND window) {
  WindowObject* earlier = WindowRegistry::Get().Find(window);
  WindowRegistry::Get().Insert(window, this);
  hwnd_ = window;
  ::SetLastError(ERROR_SUCCESS);
  const LONG_PTR previous = ::SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowObject::WindowProc));
  if (!previous && ::GetLastError() != ERROR_SUCCESS) {
    PLOG(ERROR) << "Failed to subclass window " << reinterpret_cast<uintptr_t>(window);
    WindowRegistry::Get().EraseIfOwned(window, this);
    hwnd_ = nullptr;
    return false;
  }
  previous_proc_ = reinterpret_cast<WNDPROC>(previous);
  // Taking over a window another object still holds: chaining to the
  // common procedure would loop, so continue with that object's previous.
  if (previous_proc_ == &WindowObject::WindowProc)
    previous_proc_ = earlier && earlier != this ? earlier->previous_proc_ : nullptr;
  return true;
}

void WindowObject::Detach() {
  if (!hwnd_)
    return;
  // A window destroyed earlier may have given its handle value to another
  // object's window: that window is not ours to touch.
  if (WindowRegistry::Get().EraseIfOwned(hwnd_, this) && previous_proc_ && ::IsWindow(hwnd_)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
  }
  hwnd_ = nullptr;
  previous_proc_ = nullptr;
  dragging_ = 0;
}

HWND WindowObject::Create(HWND parent,
                          const RECT& rect,
                          const wchar_t* name,
                          DWORD style,
                          DWORD ex_style,
                          const wchar_t* class_name,
                          void* create_param) {
  const wchar_t* window_class = class_name ? class_name : L"Static";
  HWND window = ::CreateWindowExW(ex_style, window_class, name, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  nullptr, ThisModule(), create_param);
  if (!window) {
    PLOG(ERROR) << "Failed to create a window of class " << window_class;
    return nullptr;
  }
  if (!Attach(window)) {
    ::DestroyWindow(window);
    return nullptr;
  }
  return window;
}

INT_PTR WindowObject::RunModal(HWND owner) {
  if (!owner)
    owner = ::GetActiveWindow();
  const int template_id = GetDialogTemplateId();
  const INT_PTR result =
      ::DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(template_id), owner,
                        &WindowObject::DialogProc, reinterpret_cast<LPARAM>(this));
  if (result == -1)
    PLOG(ERROR) << "Failed to show dialog template " << template_id;
  return result;
}

bool WindowObject::CenterWindow(HWND reference) {
  RECT own;
  if (!::GetWindowRect(hwnd_, &own))
    return false;
  const SIZE size = {own.right - own.left, own.bottom - own.top};
  const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  RECT reference_rect;
  RECT clamp;
  if (!(style & WS_CHILD)) {
    if (!reference)
      reference = ::GetWindow(hwnd_, GW_OWNER);
    const bool use_reference =
        reference && (::GetWindowLongW(reference, GWL_STYLE) & (WS_VISIBLE | WS_MINIMIZE)) ==
                         WS_VISIBLE;
    HMONITOR monitor =
        ::MonitorFromWindow(use_reference ? reference : hwnd_, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {sizeof(info)};
    if (!::GetMonitorInfoW(monitor, &info))
      return false;
    clamp = info.rcWork;
    if (!use_reference || !::GetWindowRect(reference, &reference_rect))
      reference_rect = info.rcWork;
  } else {
    HWND parent = ::GetParent(hwnd_);
    if (!reference)
      reference = parent;
    if (!::GetClientRect(parent, &clamp) || !::GetClientRect(reference, &reference_rect))
      return false;
    ::MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&reference_rect), 2);
  }
  const POINT position = CenteredPosition(reference_rect, clamp, size);
  return ::SetWindowPos(hwnd_, nullptr, position.x, position.y, 0, 0,
                        SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE) != FALSE;
}

bool WindowObject::SetItemText(int control_id, const wchar_t* text) {
  return ::SetDlgItemTextW(hwnd_, control_id, text) != FALSE;
}

bool WindowObject::SetItemTextFromResource(int control_id, UINT string_id, LANGID language_id) {
  return SetItemText(control_id, LoadLocalizedString(string_id, language_id).c_str());
}

LRESULT CALLBACK WindowObject::WindowProc(HWND window,
                                          UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam) {
  WindowObject* object = FromHandle(window);
  if (!object)
    return ::DefWindowProcW(window, message, wparam, lparam);
  // The handler may detach or delete the object.
  const WNDPROC previous = object->previous_proc_;
  LRESULT result = 0;
  if (object->ProcessWindowMessage(window, message, wparam, lparam, &result))
    return result;
  if (!previous)
    return ::DefWindowProcW(window, message, wparam, lparam);
  return ::CallWindowProcW(previous, window, message, wparam, lparam);
}

INT_PTR CALLBACK WindowObject::DialogProc(HWND window,
                                          UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* object = reinterpret_cast<WindowObject*>(lparam);
    // From here on every message passes the common window procedure first.
    if (object->Attach(window)) {
      LRESULT ignored = 0;
      object->ProcessWindowMessage(window, message, wparam, lparam, &ignored);
    }
    return 0;
  }
  WindowObject* object = FromHandle(window);
  if (!object)
    return 0;
  switch (message) {
    case WM_LBUTTONDOWN:
      object->BeginDrag(window, lparam);
      break;
    case WM_MOUSEMOVE:
      object->ContinueDrag(window, wparam, lparam);
      break;
    case WM_LBUTTONUP:
      object->EndDrag(true);
      break;
    case WM_CAPTURECHANGED:
      // Capture taken by someone else: no button-up will come.
      object->EndDrag(false);
      break;
  }
  return 0;
}

void WindowObject::BeginDrag(HWND window, LPARAM lparam) {
  POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ClientToScreen(window, &point);
  drag_point_ = point;
  dragging_ = 1;
  ::SetCapture(window);
}

void WindowObject::ContinueDrag(HWND window, WPARAM wparam, LPARAM lparam) {
  if (!dragging_)
    return;
  // A move without the button held means the release went elsewhere.
  if (!(wparam & MK_LBUTTON)) {
    EndDrag(true);
    return;
  }
  POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ClientToScreen(window, &point);
  const LONG dx = point.x - drag_point_.x;
  const LONG dy = point.y - drag_point_.y;
  drag_point_ = point;
  if (dx == 0 && dy == 0)
    return;
  RECT rect;
  if (!::GetWindowRect(window, &rect))
    return;
  ::MoveWindow(window, rect.left + dx, rect.top + dy, rect.right - rect.left,
               rect.bottom - rect.top, TRUE);
  if (move_window_message_) {
    LRESULT ignored = 0;
    ProcessWindowMessage(window, move_window_message_, wparam, lparam, &ignored);
  }
}

void WindowObject::EndDrag(bool release_capture) {
  if (!dragging_)
    return;
  dragging_ = 0;
  if (release_capture && ::GetCapture() == hwnd_)
    ::ReleaseCapture();
}

}  // namespace lite_installer
