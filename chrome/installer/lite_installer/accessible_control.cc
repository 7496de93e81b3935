#include "chrome/installer/lite_installer/accessible_control.h"

#include <unordered_map>
#include <utility>

#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// Control window to its accessibility object, for the window procedure.
class AccessibilityMap {
 public:
  static AccessibilityMap& Get() {
    static AccessibilityMap map;  // thread-safe first use
    return map;
  }
  void Insert(HWND window, AccessibleControl* object) {
    ::AcquireSRWLockExclusive(&lock_);
    objects_[window] = object;
    ::ReleaseSRWLockExclusive(&lock_);
  }
  void EraseIfOwned(HWND window, AccessibleControl* object) {
    ::AcquireSRWLockExclusive(&lock_);
    auto it = objects_.find(window);
    if (it != objects_.end() && it->second == object)
      objects_.erase(it);
    ::ReleaseSRWLockExclusive(&lock_);
  }
  AccessibleControl* Find(HWND window) {
    ::AcquireSRWLockShared(&lock_);
    auto it = objects_.find(window);
    AccessibleControl* object = it == objects_.end() ? nullptr : it->second;
    ::ReleaseSRWLockShared(&lock_);
    return object;
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::unordered_map<HWND, AccessibleControl*> objects_;
};

// Interface ids come from __uuidof: oleacc's import library exports
// IID_IAccessible as a function thunk, and linked from there the "GUID"
// is the thunk's code, which no object answers.

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

}  // namespace

AccessibleControl* AccessibleControl::Create(HWND control) {
  return new AccessibleControl(control);
}

AccessibleControl::AccessibleControl(HWND control) : control_(control) {
  AccessibilityMap::Get().Insert(control, this);
  // Asked before subclassing, so the control's own procedure answers.
  const HRESULT hr = ::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                                  __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&proxy_));
  if (FAILED(hr)) {
    PLOG_CODE(WARNING, static_cast<DWORD>(hr))
        << "No standard accessibility object for control " << ::GetDlgCtrlID(control)
        << ": only its own properties are answered";
    proxy_ = nullptr;
  }
  previous_proc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AccessibleControl::WindowProc)));
  if (!previous_proc_)
    PLOG(ERROR) << "Failed to subclass control " << ::GetDlgCtrlID(control)
                << " for accessibility";
}

AccessibleControl::~AccessibleControl() {
  Disconnect();
}

void AccessibleControl::SetProperties(LONG role, std::wstring name, std::wstring description) {
  role_ = role;
  name_ = std::move(name);
  description_ = std::move(description);
}

void AccessibleControl::SetValuePercent(int percent) {
  value_ = std::to_wstring(percent) + L"%";
  if (control_)
    ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
}

void AccessibleControl::Disconnect() {
  if (disconnected_)
    return;
  disconnected_ = true;
  // Disconnecting may drop the remote clients' references, the last of
  // which would delete this object: hold one until done.
  AddRef();
  if (control_) {
    AccessibilityMap::Get().EraseIfOwned(control_, this);
    if (previous_proc_ && ::IsWindow(control_) &&
        ::GetWindowLongPtrW(control_, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(&AccessibleControl::WindowProc)) {
      ::SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
    }
    control_ = nullptr;
  }
  ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
  if (proxy_) {
    proxy_->Release();
    proxy_ = nullptr;
  }
  Release();
}

LRESULT CALLBACK AccessibleControl::WindowProc(HWND window,
                                               UINT message,
                                               WPARAM wparam,
                                               LPARAM lparam) {
  AccessibleControl* object = AccessibilityMap::Get().Find(window);
  if (!object)
    return ::DefWindowProcW(window, message, wparam, lparam);
  const WNDPROC previous = object->previous_proc_;
  // The object id travels as a 32-bit value, sign-extended or not.
  if (message == WM_GETOBJECT &&
      static_cast<LONG>(static_cast<DWORD>(lparam)) == OBJID_CLIENT && object->HasOwnNameOrRole()) {
    return ::LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(object));
  }
  if (message == WM_NCDESTROY)
    object->Disconnect();
  if (!previous)
    return ::DefWindowProcW(window, message, wparam, lparam);
  return ::CallWindowProcW(previous, window, message, wparam, lparam);
}

HRESULT AccessibleControl::ProxyState() const {
  if (disconnected_)
    return RPC_E_DISCONNECTED;
  return proxy_ ? S_OK : E_NOTIMPL;
}

HRESULT AccessibleControl::OwnOrProxyString(
    const std::wstring& own,
    HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, BSTR*),
    VARIANT child,
    BSTR* out) {
  if (!out)
    return E_INVALIDARG;
  *out = nullptr;
  if (disconnected_)
    return RPC_E_DISCONNECTED;
  if (IsSelf(child) && !own.empty()) {
    *out = ::SysAllocString(own.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  const HRESULT state = ProxyState();
  return FAILED(state) ? state : (proxy_->*ask)(child, out);
}

// Forwards a call to the proxy when it can be reached.
#define LITE_FORWARD(call)              \
  do {                                  \
    const HRESULT reach = ProxyState(); \
    if (FAILED(reach))                  \
      return reach;                     \
    return proxy_->call;                \
  } while (0)

// The same once the output pointer is known to be valid.
#define LITE_FORWARD_TO_PROXY(out, call) \
  do {                                   \
    if (!(out))                          \
      return E_INVALIDARG;               \
    LITE_FORWARD(call);                  \
  } while (0)

HRESULT AccessibleControl::QueryInterface(REFIID riid, void** object) {
  if (!object)
    return E_INVALIDARG;
  *object = nullptr;
  if (riid == __uuidof(IAccessible) || riid == __uuidof(IDispatch) || riid == __uuidof(IUnknown)) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  // COM asks for these to decide how to marshal this object: answered by
  // the proxy, the proxy would be marshalled in this object's place.
  if (riid == __uuidof(IMarshal) || riid == __uuidof(IStdMarshalInfo) || disconnected_ || !proxy_)
    return E_NOINTERFACE;
  return proxy_->QueryInterface(riid, object);
}

ULONG AccessibleControl::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG AccessibleControl::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0)
    delete this;
  return static_cast<ULONG>(left);
}

HRESULT AccessibleControl::GetTypeInfoCount(UINT* count) {
  LITE_FORWARD_TO_PROXY(count, GetTypeInfoCount(count));
}

HRESULT AccessibleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  LITE_FORWARD_TO_PROXY(info, GetTypeInfo(index, lcid, info));
}

HRESULT AccessibleControl::GetIDsOfNames(REFIID riid,
                                         LPOLESTR* names,
                                         UINT count,
                                         LCID lcid,
                                         DISPID* ids) {
  LITE_FORWARD_TO_PROXY(ids, GetIDsOfNames(riid, names, count, lcid, ids));
}

HRESULT AccessibleControl::Invoke(DISPID id,
                                  REFIID riid,
                                  LCID lcid,
                                  WORD flags,
                                  DISPPARAMS* params,
                                  VARIANT* result,
                                  EXCEPINFO* exception,
                                  UINT* arg_error) {
  LITE_FORWARD_TO_PROXY(params, Invoke(id, riid, lcid, flags, params, result, exception, arg_error));
}

HRESULT AccessibleControl::get_accParent(IDispatch** parent) {
  LITE_FORWARD_TO_PROXY(parent, get_accParent(parent));
}

HRESULT AccessibleControl::get_accChildCount(long* count) {
  LITE_FORWARD_TO_PROXY(count, get_accChildCount(count));
}

HRESULT AccessibleControl::get_accChild(VARIANT child, IDispatch** result) {
  if (!result)
    return E_INVALIDARG;
  *result = nullptr;
  if (disconnected_)
    return RPC_E_DISCONNECTED;
  if (IsSelf(child)) {
    AddRef();
    *result = static_cast<IAccessible*>(this);
    return S_OK;
  }
  LITE_FORWARD_TO_PROXY(result, get_accChild(child, result));
}

HRESULT AccessibleControl::get_accName(VARIANT child, BSTR* name) {
  return OwnOrProxyString(name_, &IAccessible::get_accName, child, name);
}

HRESULT AccessibleControl::get_accValue(VARIANT child, BSTR* value) {
  return OwnOrProxyString(value_, &IAccessible::get_accValue, child, value);
}

HRESULT AccessibleControl::get_accDescription(VARIANT child, BSTR* description) {
  return OwnOrProxyString(description_, &IAccessible::get_accDescription, child, description);
}

HRESULT AccessibleControl::get_accRole(VARIANT child, VARIANT* role) {
  if (!role)
    return E_INVALIDARG;
  ::VariantInit(role);
  if (disconnected_)
    return RPC_E_DISCONNECTED;
  if (IsSelf(child) && role_ != 0) {
    role->vt = VT_I4;
    role->lVal = role_;
    return S_OK;
  }
  LITE_FORWARD_TO_PROXY(role, get_accRole(child, role));
}

HRESULT AccessibleControl::get_accState(VARIANT child, VARIANT* state) {
  LITE_FORWARD_TO_PROXY(state, get_accState(child, state));
}

HRESULT AccessibleControl::get_accHelp(VARIANT child, BSTR* help) {
  LITE_FORWARD_TO_PROXY(help, get_accHelp(child, help));
}

HRESULT AccessibleControl::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
  if (!file)
    return E_INVALIDARG;
  LITE_FORWARD_TO_PROXY(topic, get_accHelpTopic(file, child, topic));
}

HRESULT AccessibleControl::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  LITE_FORWARD_TO_PROXY(shortcut, get_accKeyboardShortcut(child, shortcut));
}

HRESULT AccessibleControl::get_accFocus(VARIANT* focus) {
  LITE_FORWARD_TO_PROXY(focus, get_accFocus(focus));
}

HRESULT AccessibleControl::get_accSelection(VARIANT* selection) {
  LITE_FORWARD_TO_PROXY(selection, get_accSelection(selection));
}

HRESULT AccessibleControl::get_accDefaultAction(VARIANT child, BSTR* action) {
  LITE_FORWARD_TO_PROXY(action, get_accDefaultAction(child, action));
}

HRESULT AccessibleControl::accSelect(long flags, VARIANT child) {
  LITE_FORWARD(accSelect(flags, child));
}

HRESULT AccessibleControl::accLocation(long* left,
                                       long* top,
                                       long* width,
                                       long* height,
                                       VARIANT child) {
  if (!left || !top || !width)
    return E_INVALIDARG;
  LITE_FORWARD_TO_PROXY(height, accLocation(left, top, width, height, child));
}

HRESULT AccessibleControl::accNavigate(long direction, VARIANT start, VARIANT* end) {
  LITE_FORWARD_TO_PROXY(end, accNavigate(direction, start, end));
}

HRESULT AccessibleControl::accHitTest(long left, long top, VARIANT* child) {
  LITE_FORWARD_TO_PROXY(child, accHitTest(left, top, child));
}

HRESULT AccessibleControl::accDoDefaultAction(VARIANT child) {
  LITE_FORWARD(accDoDefaultAction(child));
}

HRESULT AccessibleControl::put_accName(VARIANT child, BSTR name) {
  LITE_FORWARD(put_accName(child, name));
}

HRESULT AccessibleControl::put_accValue(VARIANT child, BSTR value) {
  LITE_FORWARD(put_accValue(child, value));
}

#undef LITE_FORWARD_TO_PROXY
#undef LITE_FORWARD

}  // namespace lite_installer
