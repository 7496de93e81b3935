#ifndef CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_

// Provisional pieces of the installation window, kept together so that
// each is replaced in one place when its subsystem is built: a plain
// error and notice dialog.
// Each logs once per process that it is provisional.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

class BrandPackageInfo;
class DistribInfoParams;
class Installer;

namespace lite_installer {

class MainWindow;

// Logs "<what> is provisional" once per process for each `what`.
void LogProvisionalOnce(const char* what);

// A plain modal dialog standing in for the error and notice dialogs: title,
// text, a primary button (1), and for some a secondary one (212); the
// close cross or Esc end it with 213.
class NoticeDialog : public WindowObject {
 public:
  // Error kinds of the installer and notice kinds from setup.
  enum class Family { kError, kNotice, kCancelConfirmation };

  NoticeDialog(Family family, int kind, LANGID language_id);
  ~NoticeDialog() override;

  int GetDialogTemplateId() override;
  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;
  // Shows the dialog modally: 1, 212 or 213 (-1 when it could not be shown).
  INT_PTR Show(HWND owner);
  // Ends the dialog with `result` when it is open.
  void End(INT_PTR result);

 private:
  Family family_;
  int kind_;
  LANGID language_id_;
};

// The dialog for error `kind` of the installer (null for none).
std::unique_ptr<NoticeDialog> CreateErrorDialog(int kind, LANGID language_id);
// The dialog for notice `kind` from setup (0, 3 or 4).
std::unique_ptr<NoticeDialog> CreateNoticeDialog(int kind, LANGID language_id);
std::unique_ptr<NoticeDialog> CreateCancelConfirmation(LANGID language_id);

// The dialog template of the stand-in dialogs.
inline constexpr int kNoticeDialogTemplateId = 100;

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_
