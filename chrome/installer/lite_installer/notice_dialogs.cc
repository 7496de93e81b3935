#include "chrome/installer/lite_installer/notice_dialogs.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/dialog_addresses.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/layered_shadow.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "deployment_config.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// Pictures of the classic family: the background with its shadow border
// and the two button strips.
constexpr int kClassicBackgroundId = 104;
constexpr int kClassicPrimaryStripId = 105;
constexpr int kClassicSecondaryStripId = 106;
constexpr COLORREF kClassicColour = RGB(70, 70, 70);
// The border of the classic background that lies outside the window.
constexpr RECT kClassicBorder = {7, 4, 6, 8};

// Pictures of the redesigned family (scale 1 and 2).
constexpr int kRedesignedBackgroundId = 2233;
constexpr int kYellowStripIds[2] = {2234, 2235};
constexpr int kGreyStripIds[2] = {2236, 2237};
constexpr int kCrossStripIds[2] = {2238, 2239};
constexpr COLORREF kRedesignedTitleColour = RGB(0, 0, 0);
constexpr COLORREF kRedesignedTextColour = RGB(87, 87, 87);
constexpr COLORREF kRedesignedButtonColour = RGB(0, 0, 0);
// The close cross's distance from the top and right edges, not scaled.
constexpr int kCrossMargin = 10;
constexpr wchar_t kRedesignedFontFace[] = L"NS Text";

// Shadow pieces of the redesigned family, from Windows 8 on and before, in
// the order top-left, top, top-right, right, bottom-right, bottom,
// bottom-left, left.
constexpr int kShadowPiecesWin8[8] = {2240, 2245, 2241, 2246, 2242, 2247, 2243, 2244};
constexpr int kShadowPiecesWin7[8] = {2248, 2253, 2249, 2254, 2250, 2255, 2251, 2252};

constexpr UINT kProcessorCaptionId = 481;
constexpr UINT kProcessorTextId = 482;

int Scaled(int value, double scale) {
  return static_cast<int>(value * scale);
}

HFONT CreateDialogFont(const wchar_t* face, int size, int weight) {
  HFONT font = ::CreateFontW(-ScaleValue(size), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, face);
  if (!font)
    PLOG(ERROR) << "Failed to create the dialog font of size " << size;
  return font;
}

int WindowsVersion() {
  return base::GetWindowsVersionClass();
}

// The close cross: its strip over the dialog's background, which is
// stretched over the whole dialog.
class CrossButton : public ImageButton {
 public:
  CrossButton(HWND window, const ResourceBitmap& background)
      : ImageButton(window, kCrossStripIds[0], kCrossStripIds[1], kRedesignedButtonColour,
                    nullptr, background, {0, 0}) {}

 protected:
  void DrawBackground(HDC dc, const RECT& item) override {
    HWND parent = ::GetParent(hwnd_);
    RECT parent_rect = {};
    RECT own_rect = {};
    if (!parent || !::GetWindowRect(parent, &parent_rect) || !::GetWindowRect(hwnd_, &own_rect))
      return;
    background_.Draw(dc, item.left - (own_rect.left - parent_rect.left),
                     item.top - (own_rect.top - parent_rect.top),
                     parent_rect.right - parent_rect.left, parent_rect.bottom - parent_rect.top,
                     0, 0, background_.Width(), background_.Height());
  }
};

class ClassicNoticeDialog : public NoticeDialog {
 public:
  ClassicNoticeDialog(DialogContent content, LANGID language_id)
      : NoticeDialog(std::move(content), language_id, nullptr) {
    background_.Load(kClassicBackgroundId, 0);
    text_font_.reset(CreateDialogFont(L"Arial", 13, FW_NORMAL));
    title_font_.reset(CreateDialogFont(L"Arial", 16, FW_NORMAL));
    button_font_.reset(CreateDialogFont(L"Arial", 14, FW_NORMAL));
  }

  HWND shadow_window() const override { return shadow_ ? shadow_->window() : nullptr; }

 protected:
  void OnMoveWindow() override {
    if (shadow_)
      shadow_->FollowDialog();
  }

  void SizeWindow() override {
    int width;
    int height;
    if (content_.xp_layout) {
      width = background_.Width() - 13;
      height = background_.Height() - 52;
    } else {
      const RECT border = ScaleRect(kClassicBorder);
      width = background_.Width() - border.left - border.right;
      height = background_.Height() - border.top - border.bottom;
    }
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
  }

  void CreateButtons() override {
    const RECT border = ScaleRect(kClassicBorder);
    const POINT offset = {border.left, border.top};
    primary_button_ = std::make_unique<ImageButton>(
        ::GetDlgItem(hwnd_, kDialogPrimaryId), kClassicPrimaryStripId, 0, kClassicColour,
        button_font_.get(), background_, offset);
    secondary_button_ = std::make_unique<ImageButton>(
        ::GetDlgItem(hwnd_, kDialogSecondaryId), kClassicSecondaryStripId, 0, kClassicColour,
        button_font_.get(), background_, offset);
  }

  void LayoutButtons() override {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    const SIZE first = primary_button_->GetSize();
    const SIZE second = secondary_button_->GetSize();
    const int bottom = client.bottom - ScaleValue(20);
    int x;
    int gap;
    if (right_aligned_buttons_) {
      x = client.right - first.cx - second.cx - ScaleValue(30) - 10;
      gap = 10;
    } else {
      x = ScaleValue(40);
      gap = ScaleValue(10);
    }
    PlaceItem(primary_button_->hwnd(), {x, bottom - first.cy, x + first.cx, bottom});
    x += first.cx + gap;
    PlaceItem(secondary_button_->hwnd(), {x, bottom - second.cy, x + second.cx, bottom});
    if (!content_.secondary)
      ::ShowWindow(secondary_button_->hwnd(), SW_HIDE);
    // No cross in this family: not even Tab and Space may reach it.
    ::ShowWindow(::GetDlgItem(hwnd_, kDialogCrossId), SW_HIDE);
  }

  void LayoutTexts() override {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    const int button_height = primary_button_->GetSize().cy;
    HWND title = ::GetDlgItem(hwnd_, kDialogTitleId);
    if (content_.xp_layout) {
      PlaceItem(title, {40, 30, client.right - 30, client.bottom - button_height - 30});
      PlaceItem(body(), {0, 0, 0, 0});
      return;
    }
    const int left = ScaleValue(40);
    const int right = client.right - ScaleValue(30);
    const int body_bottom = client.bottom - ScaleValue(20) - button_height;
    const int body_top = body_bottom - ScaleValue(50);
    PlaceItem(title, {left, ScaleValue(30), right, body_top});
    PlaceItem(body(), {left, body_top, right, body_bottom});
  }

  void PaintBackground(HDC dc) override {
    const RECT border = ScaleRect(kClassicBorder);
    background_.Draw(dc, -border.left, -border.top, background_.Width(), background_.Height(), 0,
                     0, background_.Width(), background_.Height());
  }

  void CreateShadow() override {
    AlphaCanvas picture(background_.Width(), background_.Height());
    if (!picture.ok())
      return;
    picture.DrawPicture(background_, {0, 0, background_.Width(), background_.Height()});
    shadow_ = std::make_unique<LayeredShadow>(hwnd_, picture.bitmap());
  }

  void DestroyShadow() override { shadow_.reset(); }

  COLORREF GetTitleColor() const override { return kClassicColour; }
  COLORREF GetTextColor() const override { return kClassicColour; }

 private:
  std::unique_ptr<LayeredShadow> shadow_;
};

class RedesignedNoticeDialog : public NoticeDialog {
 public:
  RedesignedNoticeDialog(DialogContent content, LANGID language_id, TextCallback callback)
      : NoticeDialog(std::move(content), language_id, std::move(callback)) {
    background_.Load(kRedesignedBackgroundId, 0);
    text_font_.reset(CreateDialogFont(kRedesignedFontFace, 13, FW_NORMAL));
    title_font_.reset(CreateDialogFont(kRedesignedFontFace, 18, FW_MEDIUM));
    button_font_.reset(CreateDialogFont(kRedesignedFontFace, 13, FW_NORMAL));
  }

  ~RedesignedNoticeDialog() override { DestroyShadow(); }

  HWND shadow_window() const override { return shadow_; }

 protected:
  void OnMoveWindow() override {
    RECT rect;
    if (!shadow_ || !::GetWindowRect(hwnd_, &rect))
      return;
    const int m = ComputeRedesignedShadowMetrics(GetDeviceScaleFactor(), WindowsVersion()).m;
    ::SetWindowPos(shadow_, nullptr, rect.left - m, rect.top - m, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void SizeWindow() override {
    base::ScopedGetDC screen(hwnd_);
    const SIZE title = Measure(screen.get(), ::GetDlgItem(hwnd_, kDialogTitleId), title_font_.get());
    const SIZE text = Measure(screen.get(), body(), text_font_.get());
    const SIZE primary =
        Measure(screen.get(), ::GetDlgItem(hwnd_, kDialogPrimaryId), button_font_.get());
    const SIZE secondary =
        Measure(screen.get(), ::GetDlgItem(hwnd_, kDialogSecondaryId), button_font_.get());
    layout_ = ComputeRedesignedLayout(GetDeviceScaleFactor(), title, text, primary, secondary,
                                      !ItemText(body()).empty(), content_.secondary != 0);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, layout_.window.cx, layout_.window.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (WindowsVersion() > base::kWin7) {
      const int corner = ScaleValue(32);
      HRGN region =
          ::CreateRoundRectRgn(0, 0, layout_.window.cx + 1, layout_.window.cy + 1, corner, corner);
      // The window owns the region from here.
      if (!region || !::SetWindowRgn(hwnd_, region, TRUE)) {
        PLOG(ERROR) << "Failed to round the corners of the " << layout_.window.cx << "x"
                    << layout_.window.cy << " dialog";
        if (region)
          ::DeleteObject(region);
      }
    }
  }

  void CreateButtons() override {
    const bool yellow = content_.primary_yellow;
    const int* primary_ids = yellow ? kYellowStripIds : kGreyStripIds;
    primary_button_ = std::make_unique<StretchImageButton>(
        ::GetDlgItem(hwnd_, kDialogPrimaryId), primary_ids[0], primary_ids[1],
        kRedesignedButtonColour, button_font_.get(), background_);
    secondary_button_ = std::make_unique<StretchImageButton>(
        ::GetDlgItem(hwnd_, kDialogSecondaryId), kGreyStripIds[0], kGreyStripIds[1],
        kRedesignedButtonColour, button_font_.get(), background_);
    close_button_ = std::make_unique<CrossButton>(::GetDlgItem(hwnd_, kDialogCrossId), background_);
  }

  void LayoutButtons() override {
    PlaceItem(primary_button_->hwnd(), layout_.primary);
    PlaceItem(secondary_button_->hwnd(), layout_.secondary);
    const SIZE cross = close_button_->GetSize();
    const int right = layout_.window.cx - kCrossMargin;
    PlaceItem(close_button_->hwnd(),
              {right - cross.cx, kCrossMargin, right, kCrossMargin + cross.cy});
    if (!content_.secondary)
      ::ShowWindow(secondary_button_->hwnd(), SW_HIDE);
    CenterWindow();
  }

  void LayoutTexts() override {
    PlaceItem(::GetDlgItem(hwnd_, kDialogTitleId), layout_.title);
    PlaceItem(body(), layout_.body);
  }

  void PaintBackground(HDC dc) override {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    background_.Draw(dc, 0, 0, client.right, client.bottom, 0, 0, background_.Width(),
                     background_.Height());
  }

  void CreateShadow() override {
    RECT rect;
    if (!::GetWindowRect(hwnd_, &rect)) {
      PLOG(ERROR) << "Failed to read the dialog's rectangle for its shadow";
      return;
    }
    const int version = WindowsVersion();
    const RedesignedShadowMetrics s = ComputeRedesignedShadowMetrics(GetDeviceScaleFactor(), version);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    SIZE size = {w + 2 * s.m, h + 2 * s.m};
    // Clicks pass through to the dialog under it (see the window's shadow).
    shadow_ = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, L"STATIC", nullptr,
                                WS_POPUPWINDOW | WS_VISIBLE,
                                rect.left - s.m, rect.top - s.m, size.cx, size.cy, hwnd_, nullptr,
                                nullptr, nullptr);
    if (!shadow_) {
      PLOG(ERROR) << "Failed to create the " << size.cx << "x" << size.cy << " dialog shadow";
      return;
    }
    base::ScopedGetDC screen(nullptr);
    base::ScopedMemoryDC memory(::CreateCompatibleDC(screen.get()));
    AlphaCanvas picture(size.cx, size.cy);
    if (!memory || !picture.ok())
      return;
    const int* pieces = version >= base::kWin8 ? kShadowPiecesWin8 : kShadowPiecesWin7;
    const RECT rects[8] = {
        {0, 0, s.c, s.c},
        {s.c, 0, s.m + w - s.g, s.m + s.e},
        {s.m + w - s.g, 0, w + 2 * s.m, s.c},
        {s.m + w - s.e, s.c, w + 2 * s.m, s.m + h - s.g},
        {s.m + w - s.g, s.m + h - s.g, w + 2 * s.m, h + 2 * s.m},
        {s.c, s.m + h - s.e, s.m + w - s.g, h + 2 * s.m},
        {0, s.m + h - s.g, s.c, h + 2 * s.m},
        {0, s.c, s.m + s.e, s.m + h - s.g},
    };
    for (int i = 0; i < 8; ++i) {
      ResourceBitmap piece;
      // One resource at its own pixel size: stretched whole.
      if (piece.Load(pieces[i], 0))
        picture.DrawPicture(piece, rects[i]);
    }
    base::ScopedSelectObject select(memory.get(), picture.bitmap());
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(shadow_, nullptr, nullptr, &size, memory.get(), &source, 0, &blend,
                               ULW_ALPHA)) {
      PLOG(ERROR) << "Failed to show the " << size.cx << "x" << size.cy << " dialog shadow";
    }
  }

  void DestroyShadow() override {
    if (shadow_ && ::IsWindow(shadow_))
      ::DestroyWindow(shadow_);
    shadow_ = nullptr;
  }

  COLORREF GetTitleColor() const override { return kRedesignedTitleColour; }
  COLORREF GetTextColor() const override { return kRedesignedTextColour; }

 private:
  SIZE Measure(HDC dc, HWND control, HFONT font) const {
    const std::wstring text = ItemText(control);
    if (text.empty())
      return {0, 0};
    base::ScopedSelectObject select(dc, font);
    RECT rect = {0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_NOPREFIX);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  RedesignedLayout layout_ = {};
  HWND shadow_ = nullptr;
};

std::string BrandId(const BrandPackageInfo* brand) {
  return brand ? brand->brand_id_ : std::string();
}

LANGID LanguageOf(const BrandPackageInfo* brand) {
  return brand ? static_cast<LANGID>(brand->language_id_) : 0;
}

bool Redesigned(const BrandPackageInfo* brand) {
  return brand && brand->new_identity_dialogs_redesign_;
}

void AddAddress(int kind, const BrandPackageInfo* brand, const DistribInfoParams* params,
                DialogContent* content) {
  const std::string brand_id = BrandId(brand);
  switch (kind) {
    case kRedesignedUnsupportedWindows:
      content->address = SupportAddress(deployment::kPortalHostStem, brand_id);
      break;
    case kRedesignedDownload: {
      std::map<std::string, std::string> forwarded;
      std::string value;
      for (const std::string& key : FailurePageKeys()) {
        if (params && params->Get(key, &value))
          forwarded[key] = value;
      }
      content->address =
          FailureDownloadAddress(deployment::kBrowserSiteHostStem, brand_id, forwarded);
      break;
    }
    case kRedesignedMachineTypeMismatch:
      content->address = BrowserSiteAddress(deployment::kBrowserSiteHostStem, brand_id);
      break;
    case kRedesignedFolderLocked:
    case kRedesignedAnotherInstaller:
    case kRedesignedSeeTheLog:
      content->address = FeedbackAddress(deployment::kBrowserSiteHostStem, brand_id);
      break;
  }
}

std::unique_ptr<NoticeDialog> MakeRedesigned(int kind,
                                             const BrandPackageInfo* brand,
                                             const DistribInfoParams* params,
                                             NoticeDialog::TextCallback callback) {
  DialogContent content;
  if (!RedesignedDialogContent(kind, &content)) {
    LOG(ERROR) << "No redesigned dialog of kind " << kind;
    return nullptr;
  }
  AddAddress(kind, brand, params, &content);
  return CreateRedesignedDialog(std::move(content), LanguageOf(brand), std::move(callback));
}

}  // namespace

DialogContent ClassicDialogContent(ClassicDialog dialog) {
  DialogContent c;
  switch (dialog) {
    case ClassicDialog::kNewerVersion:
      c.title = 454, c.text = 455, c.primary = 461;
      break;
    case ClassicDialog::kNotEnoughDiskSpace:
      c.title = 471, c.text = 472, c.primary = 461;
      break;
    case ClassicDialog::kCorporateNewerVersion:
      c.title = 497, c.text = 498, c.primary = 461;
      break;
    case ClassicDialog::kCorporateBrowserExists:
      c.title = 491, c.text = 492, c.primary = 495, c.secondary = 496;
      break;
    case ClassicDialog::kUnsupportedWindows:
      c.title = 475, c.text = 476, c.primary = 479, c.secondary = 480;
      c.xp_layout = true;
      c.action = DialogAction::kOpenAddress;
      break;
    case ClassicDialog::kCancelConfirmation:
      c.title = 419, c.primary = 420, c.secondary = 421;
      c.right_aligned = true;
      break;
  }
  return c;
}

bool RedesignedDialogContent(int kind, DialogContent* content) {
  struct Row {
    int kind;
    UINT title, text, primary, secondary;
    bool yellow;
    DialogAction action;
  };
  using A = DialogAction;
  static constexpr Row kRows[] = {
      {0, 456, 457, 501, 0, false, A::kClose},
      {2, 477, 478, 502, 0, true, A::kOpenAddress},
      {3, 499, 500, 501, 0, false, A::kClose},
      {4, 493, 494, 509, 510, true, A::kClose},
      {5, 442, 443, 501, 0, false, A::kClose},
      {6, 433, 453, 508, 504, true, A::kOpenAddress},
      {7, 422, 423, 503, 504, true, A::kClose},
      {8, 445, 446, 505, 0, true, A::kOpenAddress},
      {9, 448, 0, 506, 0, true, A::kStartBrowser},
      {10, 450, 451, 507, 0, true, A::kOpenAddress},
      {11, 438, 439, 507, 0, true, A::kOpenAddress},
      {12, 435, 436, 507, 0, true, A::kOpenAddress},
  };
  for (const Row& row : kRows) {
    if (row.kind != kind)
      continue;
    *content = DialogContent();
    content->title = row.title;
    content->text = row.text;
    content->primary = row.primary;
    content->secondary = row.secondary;
    content->primary_yellow = row.yellow;
    content->action = row.action;
    return true;
  }
  return false;
}

RedesignedLayout ComputeRedesignedLayout(double scale,
                                         SIZE title,
                                         SIZE body,
                                         SIZE primary_label,
                                         SIZE secondary_label,
                                         bool has_body,
                                         bool has_secondary) {
  auto s = [scale](int value) { return Scaled(value, scale); };
  RedesignedLayout layout = {};
  layout.title = {s(30), s(30), s(30) + title.cx, s(30) + title.cy};
  int row_top = s(30) + title.cy + s(24);
  if (has_body) {
    layout.body = {s(30), layout.title.bottom + s(16), s(30) + body.cx,
                   layout.title.bottom + s(16) + body.cy};
    row_top += body.cy + s(16);
  }
  const int primary_width = primary_label.cx + 2 * s(16);
  const int secondary_width = secondary_label.cx + 2 * s(16);
  const int button_height = primary_label.cy + 2 * s(10);
  int buttons_width = s(40) + primary_width;
  if (has_secondary)
    buttons_width += s(10) + secondary_width;
  const int texts_width = s(50) + std::max(title.cx, has_body ? body.cx : 0);
  layout.window.cx = s(30) + std::max(buttons_width, texts_width);
  layout.window.cy = row_top + button_height + s(30);
  int right = layout.window.cx - s(40);
  if (has_secondary) {
    layout.secondary = {right - secondary_width, row_top, right, row_top + button_height};
    right = layout.secondary.left - s(10);
  }
  layout.primary = {right - primary_width, row_top, right, row_top + button_height};
  return layout;
}

RedesignedShadowMetrics ComputeRedesignedShadowMetrics(double scale, int windows_version) {
  RedesignedShadowMetrics metrics;
  metrics.m = Scaled(8, scale);
  metrics.e = Scaled(1, scale);
  metrics.r = windows_version >= base::kWin8 ? Scaled(16, scale) : 0;
  metrics.g = metrics.r + metrics.e;
  metrics.c = metrics.g + metrics.m;
  return metrics;
}

NoticeDialog::NoticeDialog(DialogContent content, LANGID language_id, TextCallback text_callback)
    : language_id_(language_id),
      content_(std::move(content)),
      text_callback_(std::move(text_callback)) {}

NoticeDialog::~NoticeDialog() {
  primary_button_.reset();
  secondary_button_.reset();
  close_button_.reset();
  Detach();
}

int NoticeDialog::GetDialogTemplateId() {
  return kNoticeDialogTemplateId;
}

INT_PTR NoticeDialog::Run(HWND owner) {
  const INT_PTR result = RunModal(owner);
  // The ended window's controls and handle are not this object's any more.
  primary_button_.reset();
  secondary_button_.reset();
  close_button_.reset();
  body_ = nullptr;
  Detach();
  return result;
}

void NoticeDialog::End(INT_PTR result) {
  if (hwnd_ && ::IsWindow(hwnd_))
    ::EndDialog(hwnd_, result);
}

std::wstring NoticeDialog::ItemText(HWND control) const {
  const int length = control ? ::GetWindowTextLengthW(control) : 0;
  if (length <= 0)
    return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(::GetWindowTextW(control, text.data(), length + 1));
  return text;
}

void NoticeDialog::PlaceItem(HWND control, const RECT& rect) {
  if (control) {
    ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool NoticeDialog::ProcessWindowMessage(HWND window,
                                        UINT message,
                                        WPARAM wparam,
                                        LPARAM lparam,
                                        LRESULT* result) {
  if (message == move_window_message_ && message != 0) {
    OnMoveWindow();
    *result = 0;
    return true;
  }
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      *result = 1;
      return true;
    case WM_ERASEBKGND:
      OnEraseBackground(reinterpret_cast<HDC>(wparam));
      *result = 1;
      return true;
    case WM_CTLCOLORSTATIC:
      *result = reinterpret_cast<LRESULT>(
          OnCtlColorStatic(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
      return true;
    case WM_PAINT:
      OnPaint();
      *result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code != static_cast<UINT>(NM_CUSTOMDRAW))
        return false;
      *result = OnCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lparam));
      // A dialog procedure's answer travels in DWLP_MSGRESULT.
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, *result);
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED)
        return false;
      switch (LOWORD(wparam)) {
        case kDialogPrimaryId:
          OnPrimaryButton();
          break;
        case kDialogSecondaryId:
          OnSecondaryButton();
          break;
        case kDialogCrossId:
          ::EndDialog(window, kDialogCrossId);
          break;
        default:
          // Esc and the system menu's Close (IDCANCEL) change nothing.
          break;
      }
      *result = 0;
      return true;
    case WM_DESTROY:
      DestroyShadow();
      return false;
  }
  return false;
}

void NoticeDialog::OnPrimaryButton() {
  switch (content_.action) {
    case DialogAction::kClose:
      break;
    case DialogAction::kOpenAddress:
      LOG(INFO) << "Opening " << content_.address;
      // Not checked: the dialog closes whatever the shell answers.
      ::ShellExecuteA(nullptr, "open", content_.address.c_str(), nullptr, nullptr, SW_SHOW);
      break;
    case DialogAction::kStartBrowser: {
      std::wstring program = GetInstalledApplicationDir();
      if (!program.empty() && program.back() != L'\\')
        program += L'\\';
      program += L"browser.exe";
      std::wstring command_line = L"\"" + program + L"\"";
      STARTUPINFOW startup = {sizeof(startup)};
      PROCESS_INFORMATION process = {};
      if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                           nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
      } else {
        PLOG(INFO) << "Failed to start " << program;
      }
      break;
    }
  }
  ::EndDialog(hwnd_, kDialogPrimaryId);
}

void NoticeDialog::OnSecondaryButton() {
  ::EndDialog(hwnd_, kDialogSecondaryId);
}

void NoticeDialog::OnInitDialog() {
  InitDialogSteps();
  ::SetForegroundWindow(hwnd_);
}

void NoticeDialog::InitDialogSteps() {
  AllowMessageThroughFilter(hwnd_, move_window_message_, WindowsVersion());
  // The body is the one static without an id of its own.
  body_ = nullptr;
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::GetDlgCtrlID(child) == -1 || ::GetDlgCtrlID(child) == 0xFFFF) {
      body_ = child;
      break;
    }
  }
  SetButtonFlag();
  SetTexts();
  SizeWindow();
  CreateButtons();
  LayoutButtons();
  LayoutTexts();
  CreateShadow();
}

void NoticeDialog::SetTexts() {
  const std::wstring title = LoadLocalizedString(content_.title, language_id_);
  ::SetWindowTextW(hwnd_, title.c_str());
  SetItemText(kDialogTitleId, title.c_str());
  std::wstring text = content_.text ? LoadLocalizedString(content_.text, language_id_) : L"";
  if (text_callback_)
    text += text_callback_();
  if (body_)
    ::SetWindowTextW(body_, text.c_str());
  // The statics draw with their own font; WM_CTLCOLORSTATIC gives the same.
  ::SendDlgItemMessageW(hwnd_, kDialogTitleId, WM_SETFONT,
                        reinterpret_cast<WPARAM>(title_font_.get()), FALSE);
  if (body_)
    ::SendMessageW(body_, WM_SETFONT, reinterpret_cast<WPARAM>(text_font_.get()), FALSE);
  SetItemTextFromResource(kDialogPrimaryId, content_.primary, language_id_);
  if (content_.secondary)
    SetItemTextFromResource(kDialogSecondaryId, content_.secondary, language_id_);
}

void NoticeDialog::SetButtonFlag() {
  right_aligned_buttons_ = content_.right_aligned ? 1 : 0;
}

void NoticeDialog::OnEraseBackground(HDC dc) {
  PaintBackground(dc);
}

HBRUSH NoticeDialog::OnCtlColorStatic(HDC dc, HWND control) {
  const bool title = ::GetDlgCtrlID(control) == kDialogTitleId;
  ::SelectObject(dc, title ? title_font_.get() : text_font_.get());
  ::SetTextColor(dc, title ? GetTitleColor() : GetTextColor());
  ::SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void NoticeDialog::OnPaint() {
  PAINTSTRUCT paint;
  if (::BeginPaint(hwnd_, &paint))
    ::EndPaint(hwnd_, &paint);
}

LRESULT NoticeDialog::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  for (ImageButton* button :
       {primary_button_.get(), secondary_button_.get(), close_button_.get()}) {
    if (button && button->hwnd() == draw.hdr.hwndFrom) {
      button->NoteCustomDrawState(draw.uItemState);
      return button->OnCustomDraw(draw, 2);
    }
  }
  return CDRF_DODEFAULT;
}

std::unique_ptr<NoticeDialog> CreateClassicDialog(DialogContent content, LANGID language_id) {
  return std::make_unique<ClassicNoticeDialog>(std::move(content), language_id);
}

std::unique_ptr<NoticeDialog> CreateRedesignedDialog(DialogContent content,
                                                     LANGID language_id,
                                                     NoticeDialog::TextCallback text_callback) {
  return std::make_unique<RedesignedNoticeDialog>(std::move(content), language_id,
                                                  std::move(text_callback));
}

ErrorDialogFactory::ErrorDialogFactory(const BrandPackageInfo* brand,
                                       const DistribInfoParams* params)
    : brand_(brand), params_(params) {}

ErrorDialogFactory::~ErrorDialogFactory() = default;

std::unique_ptr<NoticeDialog> ErrorDialogFactory::CreateErrorDialog(
    int kind,
    NoticeDialog::TextCallback callback) {
  return MakeRedesigned(kind, brand_, params_, std::move(callback));
}

std::unique_ptr<NoticeDialog> ErrorDialogFactory::CreateCryptoProDialog() {
  return CreateErrorDialog(kRedesignedCryptoPro, nullptr);
}

std::unique_ptr<NoticeDialog> ErrorDialogFactory::CreateDownloadDialog() {
  return CreateErrorDialog(kRedesignedDownload, nullptr);
}

int RedesignedKindForError(int kind, bool without_download) {
  switch (kind) {
    case kInstallErrorNone:
      return -1;
    case kInstallErrorCryptoPro:
      return kRedesignedCryptoPro;
    case kInstallErrorMachineTypeMismatch:
      return kRedesignedMachineTypeMismatch;
    case kInstallErrorSetupExit7:
      return kRedesignedAlreadyInstalled;
    case kInstallErrorSetupExit8:
      return kRedesignedFolderLocked;
    case kInstallErrorElevatedAnotherInstance:
      return kRedesignedAnotherInstaller;
  }
  return without_download ? kRedesignedSeeTheLog : kRedesignedDownload;
}

std::unique_ptr<NoticeDialog> ErrorDialogFactory::CreateForErrorKind(int kind) {
  const bool without_download =
      InstallerOptions::ForCurrentProcess().disable_error_dialog_download_button;
  const int dialog = RedesignedKindForError(kind, without_download);
  switch (dialog) {
    case -1:
      return nullptr;
    case kRedesignedCryptoPro:
      return CreateCryptoProDialog();
    case kRedesignedDownload:
      return CreateDownloadDialog();
    case kRedesignedSeeTheLog:
      return CreateErrorDialog(dialog, [] { return L"\r\n" + broupdater::GetLogFilePath(); });
  }
  return CreateErrorDialog(dialog, nullptr);
}

DialogFactory::~DialogFactory() = default;

std::unique_ptr<NoticeDialog> DialogFactory::CreateSetupNotice(int type,
                                                               const BrandPackageInfo* brand,
                                                               const DistribInfoParams* params) {
  if (Redesigned(brand))
    return MakeRedesigned(type, brand, params, nullptr);
  ClassicDialog dialog = ClassicDialog::kNewerVersion;
  if (type == kRedesignedCorporateNewerVersion)
    dialog = ClassicDialog::kCorporateNewerVersion;
  else if (type == kRedesignedCorporateBrowserExists)
    dialog = ClassicDialog::kCorporateBrowserExists;
  return CreateClassicDialog(ClassicDialogContent(dialog), LanguageOf(brand));
}

std::unique_ptr<NoticeDialog> DialogFactory::CreateCancelConfirmation(
    const BrandPackageInfo* brand,
    const DistribInfoParams* params) {
  if (Redesigned(brand))
    return MakeRedesigned(kRedesignedCancelConfirmation, brand, params, nullptr);
  return CreateClassicDialog(ClassicDialogContent(ClassicDialog::kCancelConfirmation),
                             LanguageOf(brand));
}

std::unique_ptr<NoticeDialog> DialogFactory::CreateUnsupportedSystemNotice(
    const BrandPackageInfo* brand) {
  if (Redesigned(brand))
    return MakeRedesigned(kRedesignedUnsupportedWindows, brand, nullptr, nullptr);
  DialogContent content = ClassicDialogContent(ClassicDialog::kUnsupportedWindows);
  content.address = SupportAddress(deployment::kPortalHostStem, BrandId(brand));
  return CreateClassicDialog(std::move(content), LanguageOf(brand));
}

std::unique_ptr<ErrorDialogFactory> DialogFactory::CreateErrorDialogFactory(
    const BrandPackageInfo* brand,
    const DistribInfoParams* params) {
  return std::make_unique<ErrorDialogFactory>(brand, params);
}

std::unique_ptr<DialogFactory> CreateDialogFactory() {
  return std::make_unique<DialogFactory>();
}

INT_PTR ShowNotEnoughDiskSpace(LANGID language_id) {
  return CreateClassicDialog(ClassicDialogContent(ClassicDialog::kNotEnoughDiskSpace), language_id)
      ->Run();
}

void ShowProcessorUnsupported(LANGID language_id, int message_id) {
  const std::wstring text = LoadLocalizedString(kProcessorTextId, language_id) + L"\n" +
                            LoadLocalizedString(static_cast<UINT>(message_id), language_id);
  const std::wstring caption = LoadLocalizedString(kProcessorCaptionId, language_id);
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace lite_installer
