#include "chrome/installer/lite_installer/lite_main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "base/command_line.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/background_slides.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/installation_window_theme.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/main_window_stand_ins.h"
#include "chrome/installer/lite_installer/owner_drawing.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/text_link.h"
#include "chrome/installer/norvel/util/win10_default_browser.h"

namespace lite_installer {

namespace {

// Accessible roles of the window's buttons and links.
constexpr LONG kPushButtonRole = 0x2B;
constexpr LONG kLinkRole = 0x1E;

POINT Origin(const RECT& rect) {
  return {rect.left, rect.top};
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
  const int width = welcome_background_.CeilWidth();
  const int height = welcome_background_.CeilHeight();
  ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int radius = ScaleValue(layout_->GetCornerRadius());
  if (radius > 0) {
    // The region is the system's from here on.
    HRGN region = ::CreateRoundRectRgn(0, 0, width + 1, height + 1, 2 * radius, 2 * radius);
    if (region && !::SetWindowRgn(hwnd_, region, FALSE))
      ::DeleteObject(region);
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
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  if (!dc)
    return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  PaintBuffered(dc, client, [&](HDC buffer, const RECT& area) {
    if (progress_active_) {
      PaintProgressScreen(buffer);
      return;
    }
    const int width = welcome_background_.Width();
    const int height = welcome_background_.Height();
    welcome_background_.Draw(buffer, 0, 0, width, height, 0, 0, width, height);
    const RECT logo = ScaledRect(layout_->GetLogoRect());
    logo_.Draw(buffer, logo.left, logo.top, logo_.Width(), logo_.Height(), 0, 0, logo_.Width(),
               logo_.Height());
    const RECT glyph = ScaledRect(layout_->GetCollapseButtonRect());
    collapse_glyph_.Draw(buffer, glyph.left, glyph.top, collapse_glyph_.Width(),
                         collapse_glyph_.Height(), 0, 0, collapse_glyph_.Width(),
                         collapse_glyph_.Height());
  });
  ::EndPaint(hwnd_, &paint);
}

void LiteMainWindow::PaintProgressScreen(HDC dc) {
  if (!slide_show_)
    return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  slide_show_->Paint(dc, client);
  // The welcome background carries no logo of its own.
  if (slide_show_->pack() && slide_show_->pack()->IsShowingFirstBuiltin()) {
    const RECT logo = ScaledRect(layout_->GetLogoRect());
    logo_.Draw(dc, logo.left, logo.top, logo_.Width(), logo_.Height(), 0, 0, logo_.Width(),
               logo_.Height());
  }
}

void LiteMainWindow::LayoutCheckboxes() {
  LogProvisionalOnce("The checkboxes' placement");
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  bool fixed = false;
  const bool default_fixed = distrib_params_ && GetMakeDefaultOverride(*distrib_params_, &fixed);
  const bool statistics_fixed = distrib_params_ && GetStatisticsOverride(*distrib_params_, &fixed);
  const SIZE margins = layout_->GetCheckboxMargins();
  const int line_gap = theme_->GetTextLineGap();
  int next_top = -1;
  if (!statistics_fixed && stats_checkbox_) {
    RECT rect = ScaledRect(layout_->GetStatisticsCheckboxRect());
    stats_checkbox_->LayoutLabel(rect, {kPrivacyLinkId}, StatisticsLabel(), margins.cx, margins.cy,
                                 line_gap, false);
    rect.bottom = rect.top + std::max(stats_checkbox_->GetLabelHeight(),
                                      stats_checkbox_->state_width());
    ::SetWindowPos(stats_checkbox_->hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    RefreshStatisticsCheckbox();
    next_top = rect.bottom + ScaleValue(layout_->GetCheckboxSpacing());
  }
  if (!default_fixed && default_checkbox_ && distrib_params_ &&
      GetElevationMode(brand_, *distrib_params_, options.command_line) != 2) {
    RECT rect = ScaledRect(layout_->GetDefaultBrowserCheckboxRect());
    if (next_top >= 0)
      rect.top = next_top;
    default_checkbox_->LayoutLabel(rect, {}, LoadLocalizedString(theme_->GetDefaultBrowserStringId(),
                                                                 language_id()),
                                   margins.cx, margins.cy, line_gap, false);
    rect.bottom = rect.top + std::max(default_checkbox_->GetLabelHeight(),
                                      default_checkbox_->state_width());
    ::SetWindowPos(default_checkbox_->hwnd(), nullptr, rect.left, rect.top,
                   rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
}

void LiteMainWindow::LayoutProgressControls() {
  LogProvisionalOnce("The progress screen's placement");
  if (collapse_button_)
    PlaceControlAt(kCollapseButtonId, layout_->GetCollapseButtonRect(), collapse_button_->GetSize());
  if (welcome_skipped()) {
    SetItemTextFromResource(kTitleId, 411, language_id());
    PlaceControl(kTitleId, layout_->GetTitleRect());
    progress_title_shown_ = 1;
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
