#ifndef TEST_SUPPORT_CONTROLS_DIALOG_H_
#define TEST_SUPPORT_CONTROLS_DIALOG_H_

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/scoped_gdi.h"
#include "chrome/installer/lite_installer/custom_progress_bar.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/startup.h"
#include "chrome/installer/lite_installer/text_link.h"
#include "test/support/memory_canvas.h"
#include "test/support/test_dialog.h"

namespace test {

// The measurement pictures of the control tests (test/data/art/controls).
inline constexpr int kButtonStrip1 = 7101;
inline constexpr int kButtonStrip2 = 7102;
inline constexpr int kCheckboxStrip1 = 7103;
inline constexpr int kCheckboxStrip2 = 7104;
inline constexpr int kStretchStrip1 = 7105;
inline constexpr int kStretchStrip2 = 7106;
inline constexpr int kProgressFill = 7107;
inline constexpr int kProgressTrack = 7108;
inline constexpr int kBackdrop = 7109;
// Their flat colours (0xRRGGBB).
inline constexpr uint32_t kButtonCellColours[3] = {0xC83232, 0x32C832, 0x3232C8};
inline constexpr uint32_t kCheckboxCellColours[6] = {0xC80000, 0x00C800, 0x0000C8,
                                                     0xC8C800, 0xC800C8, 0x00C8C8};
inline constexpr uint32_t kLeftCapColour = 0xFF8000;
inline constexpr uint32_t kRightCapColour = 0x0080FF;
inline constexpr uint32_t kFillColour = 0x00A000;
inline constexpr uint32_t kTrackColour = 0xA0A0FF;

// The controls' ids and places in the dialog's client area.
inline constexpr int kImageButtonId = 2001;
inline constexpr int kStretchButtonId = 2002;
inline constexpr int kCheckboxId = 2003;
inline constexpr int kLinkId = 2004;
inline constexpr int kProgressId = 2005;
inline constexpr POINT kImageButtonAt = {30, 20};
inline constexpr RECT kStretchButtonRect = {30, 60, 190, 80};
inline constexpr RECT kCheckboxRect = {30, 100, 330, 160};
inline constexpr RECT kProgressRect = {30, 260, 230, 268};
inline constexpr SIZE kDialogSize = {400, 300};
inline constexpr POINT kPressedOffset = {2, 2};
inline constexpr COLORREF kLabelColour = RGB(255, 255, 255);
inline constexpr BYTE kCheckboxLabelOpacity = 168;
inline constexpr wchar_t kCheckboxLabel[] =
    L"Send anonymous usage statistics and crash reports so that we can improve the "
    L"product. ((Privacy policy)) ((Surplus link))";

// The test dialog with one of each owner-drawn control over the patterned
// backdrop picture, wired the way the installer's windows wire them:
// custom draw and draw-item forwarded, clicks counted, the checkbox toggled
// on each click.
class ControlsDialog : public TestDialog {
 public:
  static constexpr UINT kRunMessage = WM_APP + 20;

  struct CustomDraw {
    int id;
    DWORD stage;
    UINT state;
  };

  explicit ControlsDialog(Script script) : TestDialog({100, 100}, std::move(script)) {}
  ~ControlsDialog() override = default;

  // Runs `work` on the dialog's thread and waits for it.
  void Run(const std::function<void()>& work) {
    ::SendMessageW(hwnd(), kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
  }

  HWND Control(int id) const { return ::GetDlgItem(hwnd(), id); }
  RECT ScreenRectOf(int id) const {
    RECT rect = {};
    ::GetWindowRect(Control(id), &rect);
    return rect;
  }
  int Clicks(int id) {
    std::lock_guard<std::mutex> lock(lock_);
    return clicks_[id];
  }
  std::vector<CustomDraw> CustomDraws() {
    std::lock_guard<std::mutex> lock(lock_);
    return custom_draws_;
  }

  lite_installer::ImageButton* button() { return button_.get(); }
  lite_installer::StretchImageButton* stretch_button() { return stretch_.get(); }
  lite_installer::LinkCheckbox* checkbox() { return checkbox_.get(); }
  lite_installer::TextLink* link() { return link_.get(); }
  lite_installer::CustomProgressBar* progress() { return progress_.get(); }
  const lite_installer::ResourceBitmap& backdrop() const { return backdrop_; }
  HFONT font() const { return font_.get(); }

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override {
    switch (message) {
      case kRunMessage:
        (*reinterpret_cast<const std::function<void()>*>(lparam))();
        *result = 0;
        return true;
      case WM_ERASEBKGND: {
        backdrop_.Draw(reinterpret_cast<HDC>(wparam), 0, 0, kDialogSize.cx, kDialogSize.cy, 0, 0,
                       kDialogSize.cx, kDialogSize.cy);
        *result = 1;
        return true;
      }
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->code != NM_CUSTOMDRAW)
          break;
        const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(lparam);
        const int id = static_cast<int>(header->idFrom);
        {
          std::lock_guard<std::mutex> lock(lock_);
          custom_draws_.push_back({id, draw->dwDrawStage, draw->uItemState});
        }
        if (id == kImageButtonId && button_) {
          button_->NoteCustomDrawState(draw->uItemState);
          *result = button_->OnCustomDraw(*draw, 2);
          return true;
        }
        if (id == kStretchButtonId && stretch_) {
          stretch_->NoteCustomDrawState(draw->uItemState);
          *result = stretch_->OnCustomDraw(*draw, 2);
          return true;
        }
        if (id == kCheckboxId && checkbox_) {
          *result = checkbox_->OnCustomDraw(*draw);
          return true;
        }
        break;
      }
      case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item->CtlID == kCheckboxId && checkbox_) {
          checkbox_->OnDrawItem(*item);
        } else if (item->CtlID == kLinkId && link_) {
          link_->OnDrawItem(*item);
        } else {
          break;
        }
        *result = TRUE;
        return true;
      }
      case WM_COMMAND: {
        const int id = LOWORD(wparam);
        if (HIWORD(wparam) != BN_CLICKED || id < kImageButtonId || id > kProgressId)
          break;
        if (id == kCheckboxId && checkbox_)
          checkbox_->Toggle();
        std::lock_guard<std::mutex> lock(lock_);
        ++clicks_[id];
        *result = 0;
        return true;
      }
    }
    return TestDialog::ProcessWindowMessage(window, message, wparam, lparam, result);
  }

 protected:
  void OnInit(HWND window) override {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&init);
    ::SetWindowPos(window, nullptr, 0, 0, kDialogSize.cx, kDialogSize.cy,
                   SWP_NOMOVE | SWP_NOZORDER);
    ::ShowWindow(::GetDlgItem(window, LITE_TEST_DIALOG_BUTTON), SW_HIDE);
    ::ShowWindow(::GetDlgItem(window, LITE_TEST_DIALOG_TEXT), SW_HIDE);
    backdrop_ = lite_installer::ResourceBitmap(kBackdrop, 0);
    font_.reset(CreateCrispFont(13));

    HWND button = Make(window, L"Button", L"Go", WS_TABSTOP | BS_PUSHBUTTON, kImageButtonId,
                       {kImageButtonAt.x, kImageButtonAt.y, kImageButtonAt.x + 10,
                        kImageButtonAt.y + 10});
    button_ = std::make_unique<lite_installer::ImageButton>(
        button, kButtonStrip1, kButtonStrip2, kLabelColour, font_.get(), backdrop_, POINT{0, 0});
    button_->set_pressed_offset(kPressedOffset);
    const SIZE size = button_->GetSize();
    ::SetWindowPos(button, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);

    HWND stretch = Make(window, L"Button", L"Stretched label", WS_TABSTOP | BS_PUSHBUTTON,
                        kStretchButtonId, kStretchButtonRect);
    stretch_ = std::make_unique<lite_installer::StretchImageButton>(
        stretch, kStretchStrip1, kStretchStrip2, kLabelColour, font_.get(), backdrop_);

    HWND checkbox = Make(window, L"Button", L"Statistics", WS_TABSTOP | BS_AUTOCHECKBOX,
                         kCheckboxId, kCheckboxRect);
    HWND link = Make(window, L"Button", L"Privacy policy", WS_TABSTOP | BS_OWNERDRAW, kLinkId,
                     {0, 0, 10, 10});
    lite_installer::ImageCheckbox::Look look;
    look.strip_id1 = kCheckboxStrip1;
    look.strip_id2 = kCheckboxStrip2;
    look.label_colour = RGB(0, 0, 0);
    look.label_opacity = kCheckboxLabelOpacity;
    look.label_font = font_.get();
    look.label_left = 4;
    checkbox_ = std::make_unique<lite_installer::LinkCheckbox>(
        checkbox, look, backdrop_, POINT{kCheckboxRect.left, kCheckboxRect.top}, true);
    checkbox_->LayoutLabel(kCheckboxRect, {kLinkId}, kCheckboxLabel, 5, 5, 1, false);
    ::SetWindowPos(checkbox, nullptr, 0, 0, kCheckboxRect.right - kCheckboxRect.left,
                   checkbox_->GetLabelHeight(), SWP_NOMOVE | SWP_NOZORDER);
    link_ = std::make_unique<lite_installer::TextLink>(link, RGB(0, 0, 200), 255, font_.get(),
                                                       backdrop_);
    link_->SetAccessibleProperties(ROLE_SYSTEM_LINK, L"Privacy policy");
    checkbox_->PlaceLinks();

    HWND progress = Make(window, PROGRESS_CLASSW, L"", 0, kProgressId, kProgressRect);
    progress_ = std::make_unique<lite_installer::CustomProgressBar>(progress);
    progress_->SetImages(kProgressFill, 0, kProgressTrack, 0, backdrop_);
    progress_->SetRange(0, 100);
  }

 private:
  static HWND Make(HWND parent, const wchar_t* class_name, const wchar_t* text, DWORD style,
                   int id, const RECT& rect) {
    return ::CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | style, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
  }

  // COM and GDI+ for the pictures, as the installer starts them.
  lite_installer::ScopedUiLibraries ui_;
  lite_installer::ResourceBitmap backdrop_;
  base::ScopedGeneric<base::GdiObjectTraits<HFONT>> font_;
  std::unique_ptr<lite_installer::ImageButton> button_;
  std::unique_ptr<lite_installer::StretchImageButton> stretch_;
  std::unique_ptr<lite_installer::LinkCheckbox> checkbox_;
  std::unique_ptr<lite_installer::TextLink> link_;
  std::unique_ptr<lite_installer::CustomProgressBar> progress_;
  std::mutex lock_;
  std::map<int, int> clicks_;
  std::vector<CustomDraw> custom_draws_;
};

}  // namespace test

#endif  // TEST_SUPPORT_CONTROLS_DIALOG_H_
