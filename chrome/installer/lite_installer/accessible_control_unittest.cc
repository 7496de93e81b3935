#include "chrome/installer/lite_installer/accessible_control.h"

#include <windows.h>

#include <oleacc.h>

#include <map>
#include <memory>
#include <vector>

#include "gtest/gtest.h"
#include "test/support/test_support.h"
#include "test/support/ui_accessibility.h"
#include "test/support/ui_input.h"

namespace lite_installer {
namespace {

constexpr wchar_t kHostClass[] = L"LiteTestAccessibilityHost";
constexpr wchar_t kControlClass[] = L"LiteTestAccessibleControl";

// Host commands, posted to the host's top-level window.
constexpr UINT kDestroyControl = WM_APP + 1;   // wParam: control id
constexpr UINT kSetPercent = WM_APP + 2;       // wParam: percent

// The host's controls.
enum ControlId {
  kCloseButton = 11,
  kLicenceLink = 12,
  kProgressBar = 13,
  kInstallButton = 14,
  kRefusingControl = 15,
};

// A control class whose procedure records the WM_GETOBJECT requests it
// gets and, when asked, refuses them with E_FAIL.
struct ControlClassState {
  std::vector<LONG> object_ids;
  bool refuse = false;
};
ControlClassState& ClassState() {
  static ControlClassState state;
  return state;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETOBJECT) {
    const LONG id = static_cast<LONG>(static_cast<DWORD>(lparam));
    ClassState().object_ids.push_back(id);
    const bool refuse =
        ClassState().refuse || ::GetDlgCtrlID(window) == kRefusingControl;
    if (refuse)
      return E_FAIL;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSEXW control = {sizeof(control)};
    control.lpfnWndProc = &ControlProc;
    control.hInstance = ::GetModuleHandleW(nullptr);
    control.lpszClassName = kControlClass;
    WNDCLASSEXW host = control;
    host.lpfnWndProc = &::DefWindowProcW;
    host.lpszClassName = kHostClass;
    return ::RegisterClassExW(&control) && ::RegisterClassExW(&host);
  }();
  (void)registered;
}

HWND CreateControl(HWND parent, const wchar_t* class_name, const wchar_t* text, int id, int y) {
  return ::CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE, 10, y, 120, 24, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

VARIANT Self() {
  VARIANT self;
  ::VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

// The process whose controls a screen reader (the test) reads: the
// installer's kinds of controls with their properties, taking commands
// by posted messages until WM_CLOSE.
class HostWindowProc {
 public:
  static std::map<int, ScopedAccessibleControl>& Controls() {
    static std::map<int, ScopedAccessibleControl> controls;
    return controls;
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kDestroyControl) {
      ::DestroyWindow(::GetDlgItem(window, static_cast<int>(wparam)));
      return 0;
    }
    if (message == kSetPercent) {
      Controls()[kProgressBar]->SetValuePercent(static_cast<int>(wparam));
      return 0;
    }
    if (message == WM_CLOSE) {
      ::PostQuitMessage(0);
      return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
};

LITE_CHILD_MAIN(accessibility_host) {
  test::ScopedComApartment com;
  RegisterClasses();
  // Shown once every control has its object: the reader waits for that.
  HWND host = ::CreateWindowExW(0, kHostClass, L"host", WS_POPUP, 600, 100, 200, 220,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!com.ok() || !host)
    return 2;
  ::SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostWindowProc::Proc));
  auto& controls = HostWindowProc::Controls();
  auto add = [&](const wchar_t* class_name, const wchar_t* text, int id, int y) {
    controls[id].reset(AccessibleControl::Create(CreateControl(host, class_name, text, id, y)));
    return controls[id].get();
  };
  add(L"Button", L"x", kCloseButton, 10)->SetProperties(ROLE_SYSTEM_PUSHBUTTON, L"Close", L"");
  add(kControlClass, L"", kLicenceLink, 40)->SetProperties(ROLE_SYSTEM_LINK, L"Licence terms", L"");
  add(kControlClass, L"", kProgressBar, 70)->SetProperties(ROLE_SYSTEM_PROGRESSBAR, L"", L"");
  add(L"Button", L"Install", kInstallButton, 100);
  add(kControlClass, L"", kRefusingControl, 130)->SetProperties(0, L"Own name", L"described");
  ::ShowWindow(host, SW_SHOWNOACTIVATE);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  controls.clear();
  ::DestroyWindow(host);
  return 0;
}

// A screen reader in this process, the host in a child process.
class CrossProcessAccessibilityTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.ok());
    host_ = test::StartChild("accessibility_host");
    ASSERT_TRUE(host_.IsRunning());
    host_window_ = test::WaitForProcessWindow(host_.pid(), kHostClass);
    ASSERT_TRUE(host_window_);
  }
  void TearDown() override {
    if (host_window_)
      ::PostMessageW(host_window_, WM_CLOSE, 0, 0);
    if (!host_.WaitPumpingMessages(10000))
      host_.Terminate();
  }
  HWND Control(int id) { return test::FindProcessControl(host_.pid(), id); }

  test::ScopedComApartment com_;
  test::ChildProcess host_;
  HWND host_window_ = nullptr;
};

TEST_F(CrossProcessAccessibilityTest, OwnRolesNamesAndValuesReachAnotherProcess) {
  const test::AccessibleReading close = test::ReadWindowAccessible(Control(kCloseButton));
  ASSERT_EQ(close.object_result, S_OK);
  EXPECT_EQ(close.role, 0x2B);
  EXPECT_EQ(close.name, L"Close");

  const test::AccessibleReading link = test::ReadWindowAccessible(Control(kLicenceLink));
  EXPECT_EQ(link.role, 0x1E);
  EXPECT_EQ(link.name, L"Licence terms");

  // Without own properties the standard proxy answers: the window text.
  const test::AccessibleReading install = test::ReadWindowAccessible(Control(kInstallButton));
  ASSERT_EQ(install.object_result, S_OK);
  EXPECT_EQ(install.name, L"Install");

  // Everything not its own goes to the proxy: the location is the control's.
  RECT on_screen;
  ::GetWindowRect(Control(kCloseButton), &on_screen);
  EXPECT_EQ(close.location_result, S_OK);
  EXPECT_TRUE(close.location.left == on_screen.left && close.location.top == on_screen.top);
}

TEST_F(CrossProcessAccessibilityTest, ValueChangesAreAnnouncedAndRead) {
  HWND progress = Control(kProgressBar);
  test::WinEventRecorder events(EVENT_OBJECT_VALUECHANGE, host_.pid());
  ASSERT_TRUE(events.ok());
  ::PostMessageW(host_window_, kSetPercent, 42, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return !events.events().empty(); }));
  EXPECT_EQ(events.events()[0].window, progress);
  EXPECT_EQ(events.events()[0].object_id, OBJID_CLIENT);
  EXPECT_EQ(events.events()[0].child_id, CHILDID_SELF);

  const test::AccessibleReading reading = test::ReadWindowAccessible(progress);
  EXPECT_EQ(reading.role, 0x30);
  EXPECT_EQ(reading.value, L"42%");
}

// The control's own procedure refused WM_GETOBJECT when the object was
// made: no proxy, so the object answers only what it has.
TEST_F(CrossProcessAccessibilityTest, WithoutAProxyOwnPropertiesAnswerAndTheRestIsNotImplemented) {
  const test::AccessibleReading reading = test::ReadWindowAccessible(Control(kRefusingControl));
  ASSERT_EQ(reading.object_result, S_OK);
  EXPECT_EQ(reading.name, L"Own name");
  EXPECT_EQ(reading.state_result, E_NOTIMPL);
  EXPECT_EQ(reading.location_result, E_NOTIMPL);
}

// A screen reader keeps the object while the host destroys the control
// (the welcome controls go when Install is pressed).
TEST_F(CrossProcessAccessibilityTest, AKeptObjectFailsCleanlyAfterItsControlIsGone) {
  HWND close = Control(kCloseButton);
  IAccessible* kept = nullptr;
  ASSERT_EQ(::AccessibleObjectFromWindow(close, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&kept)),
            S_OK);
  ::PostMessageW(host_window_, kDestroyControl, kCloseButton, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return !::IsWindow(close); }));

  BSTR name = nullptr;
  EXPECT_TRUE(FAILED(kept->get_accName(Self(), &name)));
  EXPECT_EQ(name, nullptr);
  VARIANT role;
  ::VariantInit(&role);
  EXPECT_TRUE(FAILED(kept->get_accRole(Self(), &role)));
  kept->Release();

  // The host lives on and still answers for its other controls.
  EXPECT_TRUE(host_.IsRunning());
  EXPECT_EQ(test::ReadWindowAccessible(Control(kLicenceLink)).role, 0x1E);
}

// In-process rules of the object and its window procedure.
class AccessibleControlTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.ok());
    RegisterClasses();
    ClassState() = {};
    parent_ = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
    control_ = CreateControl(parent_, kControlClass, L"text", 1, 0);
    ASSERT_TRUE(control_);
  }
  void TearDown() override { ::DestroyWindow(parent_); }

  LRESULT GetObject(LONG object_id) {
    return ::SendMessageW(control_, WM_GETOBJECT, 0, static_cast<LPARAM>(object_id));
  }

  test::ScopedComApartment com_;
  HWND parent_ = nullptr;
  HWND control_ = nullptr;
};

TEST_F(AccessibleControlTest, OnlyClientRequestsOfAControlWithANameOrRoleAreAnswered) {
  ScopedAccessibleControl object(AccessibleControl::Create(control_));
  ClassState().object_ids.clear();

  // Without a name or role the previous procedure answers everything.
  GetObject(OBJID_CLIENT);
  ASSERT_EQ(ClassState().object_ids, std::vector<LONG>{OBJID_CLIENT});

  object->SetProperties(0, L"", L"a description only");
  GetObject(OBJID_CLIENT);
  EXPECT_EQ(ClassState().object_ids.size(), 2u);

  object->SetProperties(ROLE_SYSTEM_LINK, L"", L"");
  ClassState().object_ids.clear();
  EXPECT_GT(GetObject(OBJID_CLIENT), 0);
  GetObject(OBJID_WINDOW);
  EXPECT_EQ(ClassState().object_ids, std::vector<LONG>{OBJID_WINDOW});
}

TEST_F(AccessibleControlTest, NullOutputsAreInvalidAndTheSelfChildIsTheObject) {
  ScopedAccessibleControl object(AccessibleControl::Create(control_));
  object->SetProperties(ROLE_SYSTEM_PUSHBUTTON, L"Close", L"");
  EXPECT_EQ(object->get_accName(Self(), nullptr), E_INVALIDARG);
  EXPECT_EQ(object->get_accRole(Self(), nullptr), E_INVALIDARG);
  EXPECT_EQ(object->get_accValue(Self(), nullptr), E_INVALIDARG);
  EXPECT_EQ(object->get_accChild(Self(), nullptr), E_INVALIDARG);
  EXPECT_EQ(object->get_accState(Self(), nullptr), E_INVALIDARG);
  long x = 0;
  EXPECT_EQ(object->accLocation(&x, &x, &x, nullptr, Self()), E_INVALIDARG);

  IDispatch* child = nullptr;
  ASSERT_EQ(object->get_accChild(Self(), &child), S_OK);
  EXPECT_EQ(child, static_cast<IDispatch*>(object.get()));
  child->Release();

  IUnknown* unknown = nullptr;
  ASSERT_EQ(object->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(object.get()));
  unknown->Release();
}

TEST_F(AccessibleControlTest, OwnStringsWinOverTheProxyOnlyWhenSet) {
  ScopedAccessibleControl object(AccessibleControl::Create(control_));
  ASSERT_TRUE(object->has_proxy());
  const test::AccessibleReading before = test::ReadAccessible(object.get());
  EXPECT_EQ(before.name, L"text");  // the proxy's: the window text

  object->SetProperties(ROLE_SYSTEM_PROGRESSBAR, L"Progress", L"");
  object->SetValuePercent(7);
  const test::AccessibleReading after = test::ReadAccessible(object.get());
  EXPECT_EQ(after.name, L"Progress");
  EXPECT_EQ(after.role, ROLE_SYSTEM_PROGRESSBAR);
  EXPECT_EQ(after.value, L"7%");
  // Not its own: still the proxy's.
  EXPECT_EQ(after.state_result, before.state_result);
  EXPECT_EQ(after.state, before.state);
}

TEST_F(AccessibleControlTest, AReferenceKeptPastTheControlAnswersDisconnected) {
  ScopedAccessibleControl object(AccessibleControl::Create(control_));
  object->SetProperties(ROLE_SYSTEM_PUSHBUTTON, L"Close", L"");
  AccessibleControl* kept = object.get();
  kept->AddRef();

  ::DestroyWindow(control_);
  BSTR name = nullptr;
  EXPECT_EQ(kept->get_accName(Self(), &name), RPC_E_DISCONNECTED);
  VARIANT role;
  EXPECT_EQ(kept->get_accRole(Self(), &role), RPC_E_DISCONNECTED);
  IDispatch* parent = nullptr;
  EXPECT_EQ(kept->get_accParent(&parent), RPC_E_DISCONNECTED);

  // The control's reference goes first; the reader's keeps the memory.
  object.reset();
  EXPECT_EQ(kept->get_accName(Self(), &name), RPC_E_DISCONNECTED);
  EXPECT_EQ(kept->Release(), 0u);
}

TEST_F(AccessibleControlTest, ARefusedProxyLeavesOwnPropertiesOnly) {
  ClassState().refuse = true;
  ScopedAccessibleControl object(AccessibleControl::Create(control_));
  ClassState().refuse = false;
  EXPECT_FALSE(object->has_proxy());
  object->SetProperties(ROLE_SYSTEM_LINK, L"Privacy", L"");
  const test::AccessibleReading reading = test::ReadAccessible(object.get());
  EXPECT_EQ(reading.name, L"Privacy");
  EXPECT_EQ(reading.role, ROLE_SYSTEM_LINK);
  EXPECT_EQ(reading.value_result, E_NOTIMPL);
  EXPECT_EQ(reading.state_result, E_NOTIMPL);
}

}  // namespace
}  // namespace lite_installer
