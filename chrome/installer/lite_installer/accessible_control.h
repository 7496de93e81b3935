#ifndef CHROME_INSTALLER_LITE_INSTALLER_ACCESSIBLE_CONTROL_H_
#define CHROME_INSTALLER_LITE_INSTALLER_ACCESSIBLE_CONTROL_H_

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace lite_installer {

// Gives an owner-drawn control its own accessible name, role, description
// and value; everything else comes from the control's standard proxy.
//
// The object counts its own references: the control holds one (through
// ScopedAccessibleControl), screen readers hold others for as long as they
// like. When the control goes (its window is destroyed or its holder lets
// go) the object leaves the control, cuts its remote clients off
// (CoDisconnectObject) and releases the proxy; calls after that answer
// RPC_E_DISCONNECTED, and the memory goes with the last reference.
class AccessibleControl final : public IAccessible {
 public:
  // Registers an object for `control`, takes the standard proxy of its
  // client area and subclasses it. The caller owns the one reference.
  static AccessibleControl* Create(HWND control);

  // Role 0 and empty strings leave the answer to the proxy.
  void SetProperties(LONG role, std::wstring name, std::wstring description);
  // The value becomes "<percent>%"; accessibility clients are told.
  void SetValuePercent(int percent);
  // The control is gone. Safe to call more than once.
  void Disconnect();

  HWND control() const { return control_; }
  bool has_proxy() const { return proxy_ != nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid,
                                          LPOLESTR* names,
                                          UINT count,
                                          LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                   REFIID riid,
                                   LCID lcid,
                                   WORD flags,
                                   DISPPARAMS* params,
                                   VARIANT* result,
                                   EXCEPINFO* exception,
                                   UINT* arg_error) override;
  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** result) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* left,
                                        long* top,
                                        long* width,
                                        long* height,
                                        VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

 private:
  explicit AccessibleControl(HWND control);
  ~AccessibleControl();

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  bool HasOwnNameOrRole() const { return role_ != 0 || !name_.empty(); }
  // The object's own string for CHILDID_SELF, or the proxy's answer.
  HRESULT OwnOrProxyString(const std::wstring& own,
                           HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, BSTR*),
                           VARIANT child,
                           BSTR* out);
  // Why a call cannot reach the proxy (disconnected, no proxy), or S_OK.
  HRESULT ProxyState() const;

  IAccessible* proxy_ = nullptr;
  WNDPROC previous_proc_ = nullptr;
  HWND control_ = nullptr;
  LONG role_ = 0;
  std::wstring name_;
  std::wstring description_;
  std::wstring value_;
  LONG references_ = 1;
  bool disconnected_ = false;
};

// The control's reference to its accessibility object.
class ScopedAccessibleControl {
 public:
  ScopedAccessibleControl() = default;
  explicit ScopedAccessibleControl(AccessibleControl* object) : object_(object) {}
  ScopedAccessibleControl(const ScopedAccessibleControl&) = delete;
  ScopedAccessibleControl& operator=(const ScopedAccessibleControl&) = delete;
  ~ScopedAccessibleControl() { reset(); }

  void reset(AccessibleControl* object = nullptr) {
    if (object_) {
      object_->Disconnect();
      object_->Release();
    }
    object_ = object;
  }
  AccessibleControl* get() const { return object_; }
  AccessibleControl* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  AccessibleControl* object_ = nullptr;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_ACCESSIBLE_CONTROL_H_
