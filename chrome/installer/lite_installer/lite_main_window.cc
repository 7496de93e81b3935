#include "chrome/installer/lite_installer/lite_main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <utility>

#include "base/command_line.h"
#include "base/scoped_gdi.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/background_slides.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/installation_window_theme.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/owner_drawing.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/text_link.h"
#include "chrome/installer/lite_installer/window_geometry.h"
#include "chrome/installer/norvel/util/win10_default_browser.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// Accessible roles of the window's buttons and links.
constexpr LONG kPushButtonRole = 0x2B;
constexpr LONG kLinkRole = 0x1E;

POINT Origin(const RECT& rect) {
  return {rect.left, rect.top};
}

// Draws `image` at its own size with its top-left corner at `rect`'s; the
// part of `rect` beyond the image receives nothing.
void DrawAtOneToOne(const ResourceBitmap& image, HDC dc, const RECT& rect) {
  const int width = std::min(image.Width(), static_cast<int>(rect.right - rect.left));
  const int height = std::min(image.Height(), static_cast<int>(rect.bottom - rect.top));
  image.Draw(dc, rect.left, rect.top, width, height, 0, 0, width, height);
}

}  // namespace

LiteMainWindow::LiteMainWindow(BrandPackageInfo* brand,
                               DistribInfoParams* distrib_params,
                               bool interactive)
    : MainWindow(brand, distrib_params, interactive) {
  CreateThemeAndLayout();
  StartInstaller();
}

LiteMainWindow::~LiteMainWindow() {
  collapse_button_.reset();
}

LANGID LiteMainWindow::language_id() const {
  return static_cast<LANGID>(brand_ ? brand_->language_id_ : 0);
}

bool LiteMainWindow::welcome_skipped() const {
  return distrib_params_ && IsWelcomeScreenSkipped(brand_, *distrib_params_);
}

void LiteMainWindow::CreateThemeAndLayout() {
  const uint32_t kind = distrib_params_ ? ComputeLayoutKind(*distrib_params_) : 3;
  layout_.reset();
  layout_ = CreateInstallationWindowLayout(brand_, distrib_params_, kind);
  theme_.reset();
  theme_ = CreateInstallationWindowTheme(brand_, distrib_params_, layout_, GetDeviceScaleFactor());
}

std::wstring LiteMainWindow::StatisticsLabel() const {
  std::wstring label = LoadLocalizedString(427, language_id());
  if (label.empty() || label.back() != L'.')
    label += L'.';
  return label + L" ((" + LoadLocalizedString(431, language_id()) + L"))";
}

void LiteMainWindow::LoadTextsAndImages() {
  const LANGID language = language_id();
  ::SetWindowTextW(hwnd_, LoadLocalizedString(400, language).c_str());
  SetItemTextFromResource(kInstallButtonId, 415, language);
  SetItemTextFromResource(kDefaultBrowserCheckboxId, theme_->GetDefaultBrowserStringId(), language);
  SetItemText(kStatisticsCheckboxId, StatisticsLabel().c_str());
  SetItemTextFromResource(kPrivacyLinkId, 431, language);
  SetItemTextFromResource(kTitleId, theme_->GetTitleStringId(), language);
  if (shortcut_trial_state_ == 2 || shortcut_trial_state_ == 3)
    SetItemTextFromResource(kShortcutCheckboxId, 429, language);
  const auto welcome = theme_->GetWelcomeBackgroundImages();
  welcome_background_.Load(welcome.scale1, welcome.scale2);
  const auto logo = theme_->GetLogoImages();
  logo_.Load(logo.scale1, logo.scale2);
  const auto glyph = theme_->GetCollapseGlyphImages();
  collapse_glyph_.Load(glyph.scale1, glyph.scale2);
  downloading_prefix_ = LoadLocalizedString(412, language);
  installing_prefix_ = LoadLocalizedString(413, language);
  almost_done_prefix_ = LoadLocalizedString(414, language);
}

void LiteMainWindow::FitWindowToBackground() {
  ::SetWindowPos(hwnd_, nullptr, 0, 0, welcome_background_.Width(), welcome_background_.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (const int radius = layout_->GetCornerRadius()) {
    const int r = ScaleValue(radius);
    // The rounded-up size, so that a fractional last column is inside.
    HRGN region = ::CreateRoundRectRgn(0, 0, welcome_background_.CeilWidth(),
                                       welcome_background_.CeilHeight(), 2 * r, 2 * r);
    // On success the region is the system's.
    if (!region) {
      PLOG(ERROR) << "Failed to create the window's rounded region";
    } else if (!::SetWindowRgn(hwnd_, region, FALSE)) {
      PLOG(ERROR) << "Failed to give the window its rounded region";
      ::DeleteObject(region);
    }
  }
  CenterWindow();
}

void LiteMainWindow::CreateExtraFonts() {
  checkbox_font_.reset(theme_->CreateCheckboxFont());
  privacy_link_font_.reset(theme_->CreatePrivacyLinkFont());
}

std::unique_ptr<LinkCheckbox> LiteMainWindow::MakeCheckbox(int id, bool checked) {
  HWND control = ::GetDlgItem(hwnd_, id);
  if (!control)
    return nullptr;
  const RECT place = ScaledRect(id == kStatisticsCheckboxId ? layout_->GetStatisticsCheckboxRect()
                                                             : layout_->GetDefaultBrowserCheckboxRect());
  ImageCheckbox::Look look;
  const auto images = theme_->GetCheckboxImages();
  look.strip_id1 = images.scale1;
  look.strip_id2 = images.scale2;
  look.label_colour = theme_->GetCheckboxTextColor();
  look.label_opacity = theme_->GetCheckboxTextOpacity();
  look.label_font = checkbox_font_.get();
  look.label_left = ScaleValue(layout_->GetCheckboxSpacing());
  return std::make_unique<LinkCheckbox>(control, look, welcome_background_, Origin(place), checked);
}

void LiteMainWindow::CreateControls() {
  const LANGID language = language_id();
  const auto install_images = theme_->GetInstallButtonImages();
  install_button_ = std::make_unique<ImageButton>(
      ::GetDlgItem(hwnd_, kInstallButtonId), install_images.scale1, install_images.scale2,
      theme_->GetInstallButtonTextColor(), button_font_.get(), welcome_background_, POINT{0, 0});
  const auto close_images = theme_->GetCloseButtonImages();
  close_button_ = std::make_unique<ImageButton>(
      ::GetDlgItem(hwnd_, kCloseButtonId), close_images.scale1, close_images.scale2, 0, nullptr,
      welcome_background_, POINT{0, 0});
  close_button_->SetAccessibleProperties(kPushButtonRole, LoadLocalizedString(416, language));
  const auto collapse_images = theme_->GetCollapseButtonImages();
  collapse_button_ = std::make_unique<ImageButton>(
      ::GetDlgItem(hwnd_, kCollapseButtonId), collapse_images.scale1, collapse_images.scale2, 0,
      nullptr, welcome_background_, POINT{0, 0});
  collapse_button_->SetAccessibleProperties(kPushButtonRole, LoadLocalizedString(417, language));
  if (HWND link = ::GetDlgItem(hwnd_, kLicenseLinkId)) {
    license_link_ = std::make_unique<TextLink>(link, theme_->GetLinkTextColor(),
                                               theme_->GetLinkTextOpacity(), link_font_.get(),
                                               welcome_background_);
    std::wstring name = LoadLocalizedString(462, language);
    name.erase(std::remove_if(name.begin(), name.end(),
                              [](wchar_t c) { return c == L'(' || c == L')'; }),
               name.end());
    license_link_->SetAccessibleProperties(kLinkRole, name);
  }

  // The default-browser choice is offered only where setup can make it.
  const bool can_set_default =
      !interactive_ || (installer_ && installer::win10_default_browser::CanSetDefaultBrowser());
  if (can_set_default) {
    default_checkbox_ =
        MakeCheckbox(kDefaultBrowserCheckboxId, brand_ && brand_->make_browser_default());
  }
  stats_checkbox_ = MakeCheckbox(kStatisticsCheckboxId, brand_ && brand_->send_statistics());
  bool fixed = false;
  const bool statistics_fixed = distrib_params_ && GetStatisticsOverride(*distrib_params_, &fixed);
  if (!statistics_fixed) {
    privacy_link_ = std::make_unique<TextLink>(::GetDlgItem(hwnd_, kPrivacyLinkId),
                                               theme_->GetLinkTextColor(),
                                               theme_->GetPrivacyLinkOpacity(),
                                               privacy_link_font_.get(), welcome_background_);
    privacy_link_->SetAccessibleProperties(kLinkRole, LoadLocalizedString(431, language));
  } else {
    ::ShowWindow(::GetDlgItem(hwnd_, kPrivacyLinkId), SW_HIDE);
  }
  if (shortcut_trial_state_ == 2 || shortcut_trial_state_ == 3)
    shortcut_checkbox_ = MakeCheckbox(kShortcutCheckboxId, shortcut_trial_state_ == 2);
}

std::wstring LiteMainWindow::GetLicenseText() {
  std::wstring text = LoadLocalizedString(463, language_id());
  if (!text.empty() && text.back() == L'.')
    text.pop_back();
  return text;
}

void LiteMainWindow::RefreshStatisticsCheckbox() {
  if (stats_checkbox_)
    stats_checkbox_->PlaceLinks();
}

void LiteMainWindow::AllowExtraMessages() {
  for (UINT message : {move_window_registered_message_, corp_higher_version_exist_message_,
                       corp_browser_exists_message_}) {
    AllowMessageThroughFilter(hwnd_, message, windows_version_);
  }
}

void LiteMainWindow::SetTabOrder() {
  // Install first, then each control after its predecessor. Where the
  // welcome controls are gone, Close has no predecessor and goes first.
  const int order[] = {kInstallButtonId,      kLicenseLinkId,      kPrivacyLinkId, kStatisticsCheckboxId,
                       kShortcutCheckboxId, kDefaultBrowserCheckboxId, kCloseButtonId};
  HWND previous = HWND_TOP;
  for (int id : order) {
    HWND control = ::GetDlgItem(hwnd_, id);
    if (control) {
      ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    previous = control;
  }
  SetArrowKeyHook(hwnd_);
  // The user starts on Install (or on the progress bar, where the welcome
  // screen is skipped).
  HWND first = ::GetDlgItem(hwnd_, kInstallButtonId);
  ::SetFocus(first ? first : ::GetDlgItem(hwnd_, kProgressBarId));
}

LRESULT LiteMainWindow::OnExtraCustomDraw(const NMCUSTOMDRAW& draw) {
  ImageButton* button = draw.hdr.idFrom == kCollapseButtonId ? collapse_button_.get()
                        : draw.hdr.idFrom == kCloseButtonId  ? close_button_.get()
                                                             : nullptr;
  if (!button)
    return CDRF_DODEFAULT;
  button->NoteCustomDrawState(draw.uItemState);
  return button->OnCustomDraw(draw, 0);
}

std::vector<int> LiteMainWindow::GetWelcomeControlIds() {
  if (welcome_skipped()) {
    return {kInstallButtonId, kLicenseLinkId, kDefaultBrowserCheckboxId, kStatisticsCheckboxId,
            kShortcutCheckboxId, kPrivacyLinkId, kLicensePieceId};
  }
  return {kInstallButtonId, kTitleId, kLicenseLinkId, kDefaultBrowserCheckboxId,
          kStatisticsCheckboxId, kShortcutCheckboxId, kPrivacyLinkId, kLicensePieceId};
}

void LiteMainWindow::OnCloseCommand(int command) {
  if (!ConfirmClose(command))
    return;
  HideShadow();
  EndOnce(kCloseButtonId);
}

void LiteMainWindow::OnTimer() {
  // The title kept on a progress screen without a welcome screen goes with
  // the first slide.
  if (slide_show_ && slide_show_->HasAdvanced() && progress_title_shown_) {
    if (HWND title = ::GetDlgItem(hwnd_, kTitleId))
      ::DestroyWindow(title);
    progress_title_shown_ = 0;
  }
  if (slide_show_)
    slide_show_->Tick();
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

std::unique_ptr<BackgroundSlidesPack> LiteMainWindow::CreateSlidesPack() {
  // Without a welcome screen its background opens the show, once.
  std::vector<ResourceBitmap> builtin;
  if (welcome_skipped())
    builtin.push_back(welcome_background_);
  builtin.push_back(progress_background_);
  return std::make_unique<BackgroundSlidesPack>(
      std::move(builtin), GetSlidesBaseUrl(brand_, theme_->GetSlideFolder()), true);
}

void LiteMainWindow::OnPaint() {
  // A minimised window shows nothing, and its shadow stays hidden.
  if (::IsIconic(hwnd_))
    return;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  if (!dc)
    return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  if (progress_active_) {
    PaintBuffered(dc, client, [this](HDC buffer, const RECT&) { PaintProgressScreen(buffer); });
  } else {
    PaintWelcomeScreen(dc, client);
  }
  ShowShadow();
  ::EndPaint(hwnd_, &paint);
}

void LiteMainWindow::PaintWelcomeScreen(HDC dc, const RECT& client) {
  welcome_background_.Draw(dc, client.left, client.top, client.right - client.left,
                           client.bottom - client.top, client.left, client.top,
                           client.right - client.left, client.bottom - client.top);
  DrawAtOneToOne(logo_, dc, ScaledRect(layout_->GetLogoRect()));
  // The glyph stands where Collapse will be.
  DrawAtOneToOne(collapse_glyph_, dc, ScaledRect(layout_->GetCollapseButtonRect()));
}

void LiteMainWindow::PaintProgressScreen(HDC dc) {
  if (!slide_show_)
    return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  slide_show_->Paint(dc, client);
  if (slide_show_->IsShowingFirstBuiltin())
    DrawAtOneToOne(logo_, dc, ScaledRect(layout_->GetLogoRect()));
  const ResourceBitmap image = slide_show_->CurrentImage();
  if (image.IsEmpty())
    return;
  // Their transparent pixels show the slide.
  if (close_button_)
    close_button_->set_background(image);
  if (collapse_button_)
    collapse_button_->set_background(image);
  RefreshShadow(image);
}

int LiteMainWindow::LayoutCheckboxLabel(int id, const RECT& rect) {
  LinkCheckbox* checkbox =
      id == kStatisticsCheckboxId ? stats_checkbox_.get() : default_checkbox_.get();
  if (!checkbox)
    return 0;
  const SIZE margins = layout_->GetCheckboxMargins();
  const std::wstring text =
      id == kStatisticsCheckboxId
          ? StatisticsLabel()
          : LoadLocalizedString(theme_->GetDefaultBrowserStringId(), language_id());
  const std::vector<int> links =
      id == kStatisticsCheckboxId ? std::vector<int>{kPrivacyLinkId} : std::vector<int>{};
  checkbox->LayoutLabel(rect, links, text, margins.cx, margins.cy, theme_->GetTextLineGap(),
                        false);
  return checkbox->GetLabelHeight();
}

void LiteMainWindow::LayoutCheckboxes() {
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  bool fixed = false;
  const bool statistics_offered =
      stats_checkbox_ && !(distrib_params_ && GetStatisticsOverride(*distrib_params_, &fixed));
  const bool default_offered =
      default_checkbox_ && distrib_params_ && !GetMakeDefaultOverride(*distrib_params_, &fixed) &&
      GetElevationMode(brand_, *distrib_params_, options.command_line) != 2;
  const CheckboxPlacement placement = PlaceCheckboxes(
      statistics_offered, ScaledRect(layout_->GetStatisticsCheckboxRect()), default_offered,
      ScaledRect(layout_->GetDefaultBrowserCheckboxRect()), GetDeviceScaleFactor(),
      [this](int id, const RECT& rect) { return LayoutCheckboxLabel(id, rect); });
  auto place = [this](int id, const RECT& rect, bool offered) {
    HWND control = ::GetDlgItem(hwnd_, id);
    if (!control)
      return;
    ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | (offered ? SWP_SHOWWINDOW : 0));
  };
  place(kStatisticsCheckboxId, placement.statistics, statistics_offered);
  place(kDefaultBrowserCheckboxId, placement.default_browser, default_offered);
  if (statistics_offered)
    RefreshStatisticsCheckbox();
}

void LiteMainWindow::LayoutProgressControls() {
  if (collapse_button_)
    PlaceControlAt(kCollapseButtonId, layout_->GetCollapseButtonRect(), collapse_button_->GetSize());
  if (!welcome_skipped())
    return;
  PlaceControl(kTitleId, layout_->GetTitleRect());
  if (close_button_)
    PlaceControlAt(kCloseButtonId, layout_->GetCloseButtonRect(), close_button_->GetSize());
  progress_title_shown_ = 1;
  SetItemTextFromResource(kTitleId, 411, language_id());
}

void LiteMainWindow::ShowShadow() {
  if (shadow_window_ && ::IsWindow(shadow_window_) && !::IsWindowVisible(shadow_window_))
    ::ShowWindow(shadow_window_, SW_SHOWNOACTIVATE);
}

void LiteMainWindow::HideShadow() {
  if (!shadow_window_ || !::IsWindow(shadow_window_))
    return;
  // The install thread hides the window before an error dialog; it must not
  // wait for the window's thread, which may be waiting for it.
  if (::GetWindowThreadProcessId(shadow_window_, nullptr) == ::GetCurrentThreadId())
    ::ShowWindow(shadow_window_, SW_HIDE);
  else
    ::ShowWindowAsync(shadow_window_, SW_HIDE);
}

void LiteMainWindow::RefreshShadow(const ResourceBitmap& background) {
  // Before Windows 8 the shadow carries no band of the picture and stays
  // as it was first composed.
  if (windows_version_ >= 5)
    UpdateShadow(background);
}

void LiteMainWindow::UpdateShadow(const ResourceBitmap& background) {
  RECT window;
  if (!::GetWindowRect(hwnd_, &window))
    return;
  const int m = ShadowMargin(GetDeviceScaleFactor());
  const int a = ScaleValue(layout_->GetShadowInset());
  const int w = window.right - window.left;
  const int h = window.bottom - window.top;
  SIZE size = {w + 2 * m, h + 2 * m};
  if (!shadow_window_) {
    // Owned, so it lies above the window it surrounds: WS_EX_TRANSPARENT
    // lets every click through to the window (Wine hit-tests a layered
    // window by its rectangle, not by its pixels' alpha).
    shadow_window_ = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, L"STATIC", nullptr,
                                       WS_POPUPWINDOW,
                                       window.left - m, window.top - m, size.cx, size.cy, hwnd_,
                                       nullptr, nullptr, nullptr);
    if (!shadow_window_) {
      PLOG(ERROR) << "Failed to create the drop-shadow window";
      return;
    }
  }
  base::ScopedGetDC screen(nullptr);
  base::ScopedMemoryDC memory(::CreateCompatibleDC(screen.get()));
  base::ScopedBitmap picture(::CreateCompatibleBitmap(screen.get(), size.cx, size.cy));
  if (!memory.is_valid() || !picture.is_valid()) {
    PLOG(ERROR) << "Failed to make the drop shadow's " << size.cx << "x" << size.cy << " picture";
    return;
  }
  base::ScopedSelectObject select(memory.get(), picture.get());
  if (!shadow_pieces_loaded_) {
    const ImagePair pieces[] = {
        theme_->GetShadowTopLeftImages(),     theme_->GetShadowTopImages(),
        theme_->GetShadowTopRightImages(),    theme_->GetShadowRightImages(),
        theme_->GetShadowBottomRightImages(), theme_->GetShadowBottomImages(),
        theme_->GetShadowBottomLeftImages(),  theme_->GetShadowLeftImages(),
    };
    // One that cannot be loaded stays empty and draws nothing.
    for (size_t i = 0; i < shadow_pieces_.size(); ++i)
      shadow_pieces_[i].Load(pieces[i].scale1, pieces[i].scale2);
    shadow_pieces_loaded_ = true;
  }
  const std::array<RECT, 8> rects = ShadowPieceRects(w, h, m, a);
  for (size_t i = 0; i < rects.size(); ++i) {
    const ResourceBitmap& piece = shadow_pieces_[i];
    const RECT& rect = rects[i];
    piece.Draw(memory.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               0, 0, piece.Width(), piece.Height());
  }
  if (windows_version_ >= 5) {
    const BackgroundSize background_size = {background.Width(), background.Height(),
                                            background.CeilWidth(), background.CeilHeight()};
    const std::array<BandCopy, 4> bands = ShadowBandCopies(w, h, m, background_size);
    for (const BandCopy& band : bands) {
      const RECT& to = band.destination;
      background.Draw(memory.get(), to.left, to.top, to.right - to.left, to.bottom - to.top,
                      band.source_x, band.source_y, band.source_width, band.source_height);
    }
    if (::IsWindowVisible(shadow_window_)) {
      for (const BandCopy& band : bands)
        ::InvalidateRect(shadow_window_, &band.destination, FALSE);
    }
  }
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!::UpdateLayeredWindow(shadow_window_, nullptr, nullptr, &size, memory.get(), &source, 0,
                             &blend, ULW_ALPHA)) {
    PLOG(ERROR) << "Failed to show the drop shadow's picture";
  }
}

std::wstring LiteMainWindow::FormatProgressText(int percent) {
  return FormatProgressStatus(percent, downloading_prefix_, installing_prefix_,
                              almost_done_prefix_);
}

void LiteMainWindow::ShowCollapseButton() {
  ::ShowWindow(::GetDlgItem(hwnd_, kCollapseButtonId), SW_SHOW);
}

}  // namespace lite_installer
