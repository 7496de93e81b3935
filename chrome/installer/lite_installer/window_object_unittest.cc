#include "chrome/installer/lite_installer/window_object.h"

#include <windows.h>

#include <atomic>
#include <thread>

#include "gtest/gtest.h"
#include "test/support/backdrop_window.h"
#include "test/support/screen_capture.h"
#include "test/support/test_dialog.h"
#include "test/support/ui_input.h"

namespace lite_installer {
namespace {

constexpr UINT kHandled = WM_APP + 10;
constexpr UINT kNotHandled = WM_APP + 11;

// A window class whose procedure stands for "the previous procedure".
class RecordingClass {
 public:
  static const wchar_t* Name() {
    static const ATOM atom = [] {
      WNDCLASSEXW window_class = {sizeof(window_class)};
      window_class.lpfnWndProc = &Proc;
      window_class.hInstance = ::GetModuleHandleW(nullptr);
      window_class.lpszClassName = L"LiteTestRecordingClass";
      return ::RegisterClassExW(&window_class);
    }();
    return atom ? L"LiteTestRecordingClass" : nullptr;
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kHandled || message == kNotHandled) {
      ++Received();
      return 7;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  static std::atomic<int>& Received() {
    static std::atomic<int> received{0};
    return received;
  }
};

// Answers kHandled with its own tag; counts what it saw.
class TaggedObject : public WindowObject {
 public:
  explicit TaggedObject(LRESULT tag) : tag_(tag) {}
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT* result) override {
    if (message != kHandled)
      return false;
    if (window != hwnd())
      ++misrouted_;
    ++handled_;
    *result = tag_;
    return true;
  }
  int handled_ = 0;
  int misrouted_ = 0;

 private:
  LRESULT tag_;
};

HWND CreateRecordingWindow() {
  return ::CreateWindowExW(0, RecordingClass::Name(), L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                           nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

WNDPROC CurrentProc(HWND window) {
  return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
}

TEST(WindowObjectRoutingTest, HandledStopsUnhandledReachesPreviousAndDetachRestores) {
  HWND window = CreateRecordingWindow();
  ASSERT_TRUE(window);
  TaggedObject object(42);
  ASSERT_TRUE(object.Attach(window));
  EXPECT_EQ(WindowObject::FromHandle(window), &object);

  RecordingClass::Received() = 0;
  EXPECT_EQ(::SendMessageW(window, kHandled, 0, 0), 42);
  EXPECT_EQ(RecordingClass::Received(), 0);
  EXPECT_EQ(::SendMessageW(window, kNotHandled, 0, 0), 7);
  EXPECT_EQ(RecordingClass::Received(), 1);

  object.Detach();
  EXPECT_EQ(CurrentProc(window), &RecordingClass::Proc);
  EXPECT_EQ(WindowObject::FromHandle(window), nullptr);
  EXPECT_EQ(::SendMessageW(window, kHandled, 0, 0), 7);
  ::DestroyWindow(window);
}

TEST(WindowObjectRoutingTest, DetachAfterTheWindowIsGoneOnlyForgetsIt) {
  HWND window = CreateRecordingWindow();
  TaggedObject object(1);
  ASSERT_TRUE(object.Attach(window));
  ::DestroyWindow(window);
  // The stale entry stays until the object goes or the handle comes back.
  EXPECT_EQ(WindowObject::FromHandle(window), &object);
  object.Detach();
  EXPECT_EQ(WindowObject::FromHandle(window), nullptr);
  EXPECT_EQ(object.hwnd(), nullptr);
}

TEST(WindowObjectRoutingTest, ANewAttachOverwritesTheEntryAndTheOldObjectLeavesItAlone) {
  HWND window = CreateRecordingWindow();
  auto old_object = std::make_unique<TaggedObject>(1);
  ASSERT_TRUE(old_object->Attach(window));
  TaggedObject new_object(2);
  ASSERT_TRUE(new_object.Attach(window));
  EXPECT_EQ(WindowObject::FromHandle(window), &new_object);
  EXPECT_EQ(::SendMessageW(window, kHandled, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(window, kNotHandled, 0, 0), 7);

  // The old object's end must not take the window from the new one.
  old_object.reset();
  EXPECT_EQ(WindowObject::FromHandle(window), &new_object);
  EXPECT_EQ(::SendMessageW(window, kHandled, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(window, kNotHandled, 0, 0), 7);
  new_object.Detach();
  EXPECT_EQ(CurrentProc(window), &RecordingClass::Proc);
  ::DestroyWindow(window);
}

TEST(WindowObjectRoutingTest, CreateMakesAStaticWindowAndAttaches) {
  TaggedObject object(5);
  HWND window = object.Create(nullptr, {10, 20, 110, 70}, L"name", WS_POPUP, 0);
  ASSERT_TRUE(window);
  wchar_t class_name[32] = {};
  ::GetClassNameW(window, class_name, 32);
  EXPECT_STREQ(class_name, L"Static");
  RECT rect;
  ::GetWindowRect(window, &rect);
  EXPECT_TRUE(test::SameRect(rect, {10, 20, 110, 70}));
  EXPECT_EQ(::SendMessageW(window, kHandled, 0, 0), 5);
  // Static's own procedure still answers the rest.
  wchar_t text[16] = {};
  ::GetWindowTextW(window, text, 16);
  EXPECT_STREQ(text, L"name");
  ::DestroyWindow(window);
}

// Two threads create, route and destroy windows at once; half of the
// windows die before their object detaches, half after.
TEST(WindowObjectRoutingTest, TwoThreadsCreateRouteAndDestroyWithoutLossOrMisrouting) {
  constexpr int kRounds = 1000;
  std::atomic<int> failures{0};
  auto run = [&](LRESULT tag) {
    for (int i = 0; i < kRounds; ++i) {
      TaggedObject object(tag + i);
      HWND window = object.Create(HWND_MESSAGE, {0, 0, 1, 1}, L"", 0, 0);
      if (!window || WindowObject::FromHandle(window) != &object ||
          ::SendMessageW(window, kHandled, 0, 0) != tag + i || object.misrouted_ != 0 ||
          object.handled_ != 1) {
        ++failures;
      }
      if (i % 2) {
        ::DestroyWindow(window);
        object.Detach();
      } else {
        object.Detach();
        ::DestroyWindow(window);
      }
      if (WindowObject::FromHandle(window) != nullptr)
        ++failures;
    }
  };
  std::thread first(run, 100000);
  std::thread second(run, 200000);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
}

TEST(WindowObjectModalTest, InitDialogReachesTheObjectAndEndDialogsResultReturns) {
  test::TestDialog dialog({200, 200}, [](test::TestDialog* d) -> INT_PTR {
    // The dialog texts are set through the object.
    return d->SetItemText(LITE_TEST_DIALOG_TEXT, L"set by the object") ? 1234 : 99;
  });
  EXPECT_EQ(dialog.RunModal(nullptr), 1234);
  EXPECT_EQ(dialog.init_lparam(), reinterpret_cast<LPARAM>(&dialog));
  EXPECT_TRUE(dialog.registered_at_init());
  EXPECT_EQ(dialog.CountSeen(WM_INITDIALOG), 1u);
}

TEST(WindowObjectModalTest, ItemTextsComeFromTheStringTableOfTheGivenLanguage) {
  std::wstring german, english;
  test::TestDialog dialog({200, 200}, [&](test::TestDialog* d) -> INT_PTR {
    wchar_t text[64] = {};
    d->SetItemTextFromResource(LITE_TEST_DIALOG_TEXT, LITE_TEST_STRING,
                               MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    ::GetDlgItemTextW(d->hwnd(), LITE_TEST_DIALOG_TEXT, text, 64);
    german = text;
    d->SetItemTextFromResource(LITE_TEST_DIALOG_TEXT, LITE_TEST_STRING,
                               MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ::GetDlgItemTextW(d->hwnd(), LITE_TEST_DIALOG_TEXT, text, 64);
    english = text;
    return 0;
  });
  dialog.RunModal(nullptr);
  EXPECT_EQ(german, L"Schlie\u00dfen");
  EXPECT_EQ(english, L"");
}

TEST(WindowObjectModalTest, MissingTemplateFailsWithMinusOne) {
  WindowObject object;  // template 0
  EXPECT_EQ(object.RunModal(nullptr), -1);
}

// Results of a drag script, read after the dialog ended.
struct DragOutcome {
  bool input_ok = false;
  bool steps_followed = false;
  RECT before = {};
  RECT after = {};
  test::Pixels screen;
};

TEST(WindowObjectDragTest, DragOnTheBackgroundMovesByExactlyTheCursorsMovement) {
  constexpr RECT kScreen = {150, 150, 700, 500};
  DragOutcome outcome;
  test::BackdropWindow backdrop(kScreen, RGB(0, 160, 0));
  test::TestDialog dialog({200, 200}, [&](test::TestDialog* d) -> INT_PTR {
    outcome.before = d->WindowRect();
    const POINT from = d->BackgroundPoint();
    outcome.steps_followed = true;
    outcome.input_ok = test::Drag(from, {60, 40}, 6, [&](int step) {
      const RECT expected = test::Offset(outcome.before, 60 * step / 6, 40 * step / 6);
      if (!test::WaitFor([&] { return test::SameRect(d->WindowRect(), expected); }))
        outcome.steps_followed = false;
      return true;
    });
    test::WaitFor([&] { return !d->dragging(); });
    outcome.after = d->WindowRect();
    // The moved dialog as the screen shows it, over the backdrop.
    outcome.screen = test::CaptureScreenForCurrentTest(kScreen, "moved");
    return 0;
  });
  dialog.RunModal(nullptr);
  ASSERT_TRUE(outcome.input_ok);
  EXPECT_TRUE(outcome.steps_followed);
  EXPECT_TRUE(test::SameRect(outcome.after, test::Offset(outcome.before, 60, 40)));
  // On screen: the backdrop where the dialog was, the dialog where it is.
  ASSERT_FALSE(outcome.screen.empty());
  auto screen_pixel = [&](LONG x, LONG y) {
    return test::ToColorRef(outcome.screen.At(x - kScreen.left, y - kScreen.top));
  };
  EXPECT_EQ(screen_pixel(outcome.before.left + 2, outcome.before.top + 2), backdrop.colour());
  EXPECT_NE(screen_pixel(outcome.after.left + 2, outcome.after.top + 2), backdrop.colour());
  EXPECT_EQ(screen_pixel(outcome.after.right + 2, outcome.after.bottom + 2), backdrop.colour());

  // Each move delivered move_window once, with the parameters of the mouse
  // message that moved the window (MoveWindow's own WM_MOVE and WM_SIZE
  // come in between).
  const auto seen = dialog.seen();
  int moves = 0;
  const test::TestDialog::Seen* mouse = nullptr;
  for (const auto& message : seen) {
    if (message.message == WM_MOUSEMOVE) {
      mouse = &message;
    } else if (message.message == dialog.move_window_message()) {
      ++moves;
      ASSERT_NE(mouse, nullptr);
      EXPECT_EQ(mouse->wparam, message.wparam);
      EXPECT_EQ(mouse->lparam, message.lparam);
      EXPECT_TRUE(message.wparam & MK_LBUTTON);
      mouse = nullptr;
    }
  }
  EXPECT_EQ(moves, 6);
}

TEST(WindowObjectDragTest, APressOnAChildControlClicksItAndDragsNothing) {
  DragOutcome outcome;
  test::TestDialog dialog({200, 200}, [&](test::TestDialog* d) -> INT_PTR {
    outcome.before = d->WindowRect();
    outcome.input_ok = test::Click(d->ButtonPoint()) &&
                       test::WaitFor([&] { return d->button_clicks() == 1; }) &&
                       test::Drag(d->ButtonPoint(), {60, 40}, 4);
    ::Sleep(100);
    outcome.after = d->WindowRect();
    return 0;
  });
  dialog.RunModal(nullptr);
  ASSERT_TRUE(outcome.input_ok);
  EXPECT_GE(dialog.button_clicks(), 1);
  EXPECT_TRUE(test::SameRect(outcome.after, outcome.before));
  EXPECT_EQ(dialog.CountSeen(dialog.move_window_message()), 0u);
}

// The input helpers' other gestures reach the dialog's controls: a held
// press clicks on release, a key goes to the focused control of the
// foreground window.
TEST(WindowObjectDragTest, HeldPressesAndKeysReachTheControls) {
  bool input_ok = false;
  test::TestDialog dialog({200, 200}, [&](test::TestDialog* d) -> INT_PTR {
    input_ok = test::Hold(d->ButtonPoint(), 300) &&
               test::WaitFor([&] { return d->button_clicks() == 1; }) &&
               test::BringToForeground(d->hwnd()) && test::KeyPress(VK_SPACE) &&
               test::WaitFor([&] { return d->button_clicks() == 2; });
    return 0;
  });
  dialog.RunModal(nullptr);
  EXPECT_TRUE(input_ok);
  EXPECT_EQ(dialog.button_clicks(), 2);
}

// The capture goes elsewhere mid-drag, so the button-up never reaches the
// dialog: a later move without the button must not move it.
TEST(WindowObjectDragTest, AfterALostCaptureABareMoveMovesNothing) {
  DragOutcome outcome;
  RECT moved = {};
  test::BackdropWindow backdrop({900, 600, 1100, 800}, RGB(0, 0, 160));
  test::TestDialog dialog({200, 200}, [&](test::TestDialog* d) -> INT_PTR {
    outcome.before = d->WindowRect();
    const POINT from = d->BackgroundPoint();
    outcome.input_ok = test::MoveCursor(from) && test::PressLeftButton(from) &&
                       test::MoveCursor({from.x + 20, from.y + 10}) &&
                       test::WaitFor([&] {
                         return test::SameRect(d->WindowRect(), test::Offset(outcome.before, 20, 10));
                       });
    moved = d->WindowRect();
    ::PostMessageW(d->hwnd(), test::TestDialog::kReleaseCaptureMessage, 0, 0);
    outcome.input_ok = outcome.input_ok && test::WaitFor([&] { return d->capture_released(); }) &&
                       test::ReleaseLeftButton({1000, 700});
    // The bare move must reach the dialog for the test to mean anything.
    const size_t moves_seen = d->CountSeen(WM_MOUSEMOVE);
    outcome.input_ok = outcome.input_ok && test::MoveCursor({from.x + 60, from.y + 40}) &&
                       test::WaitFor([&] { return d->CountSeen(WM_MOUSEMOVE) > moves_seen; });
    outcome.after = d->WindowRect();
    return 0;
  });
  dialog.RunModal(nullptr);
  ASSERT_TRUE(outcome.input_ok);
  EXPECT_TRUE(test::SameRect(moved, test::Offset(outcome.before, 20, 10)));
  EXPECT_TRUE(test::SameRect(outcome.after, moved));
}

// CenterWindow's expectations come from the monitor the system reports.
class CenterWindowTest : public testing::Test {
 protected:
  static RECT WorkAreaOf(HWND window) {
    MONITORINFO info = {sizeof(info)};
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
  }
  static POINT CentreOf(const RECT& rect, SIZE size) {
    return {(rect.left + rect.right) / 2 - size.cx / 2, (rect.top + rect.bottom) / 2 - size.cy / 2};
  }
  static POINT TopLeft(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return {rect.left, rect.top};
  }
  static POINT TopLeftInParent(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top};
  }
  void TearDown() override {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      ::DestroyWindow(*it);
  }
  HWND Popup(HWND owner, const RECT& rect, DWORD style) {
    HWND window = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                                    nullptr, nullptr);
    windows_.push_back(window);
    return window;
  }
  std::vector<HWND> windows_;
};

#define EXPECT_POINT_EQ(expected, actual) \
  do {                                     \
    const POINT e = (expected);            \
    const POINT a = (actual);              \
    EXPECT_EQ(e.x, a.x);                   \
    EXPECT_EQ(e.y, a.y);                   \
  } while (0)

TEST_F(CenterWindowTest, TopLevelWindowsCentreOnAVisibleOwnerElseTheWorkArea) {
  HWND owner = Popup(nullptr, {100, 120, 701, 503}, WS_VISIBLE);
  WindowObject object;
  ASSERT_TRUE(object.Attach(Popup(owner, {0, 0, 201, 99}, 0)));
  ASSERT_TRUE(object.CenterWindow());
  RECT owner_rect;
  ::GetWindowRect(owner, &owner_rect);
  EXPECT_POINT_EQ(CentreOf(owner_rect, {201, 99}), TopLeft(object.hwnd()));

  // A minimised owner is no reference: the window's own work area is.
  ::ShowWindow(owner, SW_MINIMIZE);
  if (!(::GetWindowLongW(owner, GWL_STYLE) & WS_MINIMIZE))
    GTEST_SKIP() << "the owner did not minimise on this display";
  ASSERT_TRUE(object.CenterWindow());
  EXPECT_POINT_EQ(CentreOf(WorkAreaOf(object.hwnd()), {201, 99}), TopLeft(object.hwnd()));
}

TEST_F(CenterWindowTest, AHiddenOwnerAndAnOversizedWindowUseTheWorkAreaEdges) {
  HWND owner = Popup(nullptr, {100, 100, 300, 300}, 0);
  WindowObject object;
  ASSERT_TRUE(object.Attach(Popup(owner, {0, 0, 120, 80}, 0)));
  ASSERT_TRUE(object.CenterWindow());
  const RECT work = WorkAreaOf(object.hwnd());
  EXPECT_POINT_EQ(CentreOf(work, {120, 80}), TopLeft(object.hwnd()));

  ::SetWindowPos(object.hwnd(), nullptr, 0, 0, work.right - work.left + 100,
                 work.bottom - work.top + 60, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(object.CenterWindow());
  EXPECT_POINT_EQ((POINT{work.left, work.top}), TopLeft(object.hwnd()));
}

TEST_F(CenterWindowTest, ChildrenStayInTheirParentsClientArea) {
  HWND parent = Popup(nullptr, {50, 50, 450, 350}, WS_VISIBLE);
  RECT client;
  ::GetClientRect(parent, &client);
  HWND child = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, parent,
                                 nullptr, nullptr, nullptr);
  // A sibling in the bottom-right corner: centring on it would cross the
  // parent's right and bottom edges.
  HWND corner = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, client.right - 40,
                                  client.bottom - 20, 40, 20, parent, nullptr, nullptr, nullptr);
  WindowObject object;
  ASSERT_TRUE(object.Attach(child));
  ASSERT_TRUE(object.CenterWindow());
  EXPECT_POINT_EQ(CentreOf(client, {100, 50}), TopLeftInParent(child));

  ASSERT_TRUE(object.CenterWindow(corner));
  EXPECT_POINT_EQ((POINT{client.right - 100, client.bottom - 50}), TopLeftInParent(child));
}

}  // namespace
}  // namespace lite_installer
