#ifndef CHROME_INSTALLER_LITE_INSTALLER_LITE_MAIN_WINDOW_H_
#define CHROME_INSTALLER_LITE_INSTALLER_LITE_MAIN_WINDOW_H_

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "chrome/installer/lite_installer/main_window.h"

namespace lite_installer {

// The installation window of the lite installer: the welcome screen (title,
// Install, the default-browser and statistics checkboxes, the licence line)
// and the progress screen (background, progress bar and status line,
// Collapse and Close).
class LiteMainWindow : public MainWindow {
 public:
  // Creates the theme and layout and, when `interactive`, the Installer,
  // whose thread starts obtaining the archive at once.
  LiteMainWindow(BrandPackageInfo* brand, DistribInfoParams* distrib_params, bool interactive);
  ~LiteMainWindow() override;

  void CreateThemeAndLayout() override;
  void LoadTextsAndImages() override;
  void FitWindowToBackground() override;
  void CreateExtraFonts() override;
  void CreateControls() override;
  std::wstring GetLicenseText() override;
  void RefreshStatisticsCheckbox() override;
  void AllowExtraMessages() override;
  void SetTabOrder() override;
  LRESULT OnExtraCustomDraw(const NMCUSTOMDRAW& draw) override;
  std::vector<int> GetWelcomeControlIds() override;
  void OnCloseCommand(int command) override;
  void OnTimer() override;
  void OnPaint() override;
  void PaintProgressScreen(HDC dc) override;
  void LayoutCheckboxes() override;
  void LayoutProgressControls() override;
  std::wstring FormatProgressText(int percent) override;
  void ShowCollapseButton() override;
  void ShowShadow() override;
  void HideShadow() override;
  void RefreshShadow(const ResourceBitmap& background) override;
  void UpdateShadow(const ResourceBitmap& background) override;
  std::unique_ptr<BackgroundSlidesPack> CreateSlidesPack() override;

 private:
  bool welcome_skipped() const;
  // The statistics label: string 427 ending in ".", then the privacy link.
  std::wstring StatisticsLabel() const;
  std::unique_ptr<LinkCheckbox> MakeCheckbox(int id, bool checked);
  // Lays out the label of checkbox `id` at `rect`; the height it needs.
  int LayoutCheckboxLabel(int id, const RECT& rect);
  void PaintWelcomeScreen(HDC dc, const RECT& client);
  LANGID language_id() const;

  base::ScopedFont checkbox_font_;
  base::ScopedFont privacy_link_font_;
  std::unique_ptr<ImageButton> collapse_button_;
  ResourceBitmap collapse_glyph_;
  std::wstring downloading_prefix_;
  std::wstring installing_prefix_;
  std::wstring almost_done_prefix_;
  uint8_t progress_title_shown_ = 0;
  // The eight drop-shadow pictures in drawing order, decoded once: the
  // progress screen recomposes the shadow with every paint.
  std::array<ResourceBitmap, 8> shadow_pieces_;
  bool shadow_pieces_loaded_ = false;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_LITE_MAIN_WINDOW_H_
