#ifndef CHROME_INSTALLER_LITE_INSTALLER_WINDOW_OBJECT_H_
#define CHROME_INSTALLER_LITE_INSTALLER_WINDOW_OBJECT_H_

#include <windows.h>

#include <stdint.h>

namespace lite_installer {

// Name of the message a dragged window delivers to itself after each move,
// so that shadow windows follow it; other processes may send it too.
inline constexpr wchar_t kMoveWindowMessageName[] = L"norvel.lite.move_window";

// Base of every installer window and subclassed control: receives its
// window's messages through one common window procedure that looks the
// object up by window handle in a process-wide registry. Messages the
// object does not handle go to the window's previous procedure.
//
// Each object is used on the thread that created its window; the registry
// itself is shared (error dialogs run on the installer's thread while the
// user-interface thread dispatches) and guarded by a lock.
class WindowObject {
 public:
  WindowObject();
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;
  // Detaches: the previous procedure comes back while the window exists.
  virtual ~WindowObject();

  // Handles one message of the attached window; true when handled, with
  // the answer in `result`.
  virtual bool ProcessWindowMessage(HWND window,
                                    UINT message,
                                    WPARAM wparam,
                                    LPARAM lparam,
                                    LRESULT* result);
  // The dialog template that RunModal shows (0: none).
  virtual int GetDialogTemplateId();

  // Registers the object for `window` (a stale entry of a destroyed window
  // whose handle value came back is overwritten) and subclasses the window.
  bool Attach(HWND window);
  // Puts the previous procedure back when the window still exists and is
  // still this object's, and forgets the window.
  void Detach();
  // CreateWindowExW (class "Static" when `class_name` is null), then Attach.
  HWND Create(HWND parent,
              const RECT& rect,
              const wchar_t* name,
              DWORD style,
              DWORD ex_style,
              const wchar_t* class_name = nullptr,
              void* create_param = nullptr);
  // Shows the dialog of GetDialogTemplateId() from this module, owned by
  // `owner` or, when none, the active window; the dialog's result, -1 when
  // it could not be shown.
  INT_PTR RunModal(HWND owner = nullptr);
  // Centres the window on `reference` (none: the owner of a top-level
  // window, the parent of a child), kept inside the work area or the
  // parent's client area.
  bool CenterWindow(HWND reference = nullptr);
  bool SetItemText(int control_id, const wchar_t* text);
  bool SetItemTextFromResource(int control_id, UINT string_id, LANGID language_id);

  HWND hwnd() const { return hwnd_; }
  UINT move_window_message() const { return move_window_message_; }
  bool dragging() const { return dragging_ != 0; }

  // The object registered for `window`, or null.
  static WindowObject* FromHandle(HWND window);

 protected:
  HWND hwnd_ = nullptr;
  WNDPROC previous_proc_ = nullptr;
  uint8_t dragging_ = 0;
  // Last cursor position of a drag, in screen coordinates.
  POINT drag_point_ = {};
  UINT move_window_message_ = 0;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  void BeginDrag(HWND window, LPARAM lparam);
  void ContinueDrag(HWND window, WPARAM wparam, LPARAM lparam);
  void EndDrag(bool release_capture);
};

// Where CenterWindow puts a window of `size`: centred on `reference`, then
// pulled left/up so it ends inside `clamp`, then pushed right/down so it
// starts inside it (so an oversized window sits at clamp's left and top).
POINT CenteredPosition(const RECT& reference, const RECT& clamp, SIZE size);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_WINDOW_OBJECT_H_
