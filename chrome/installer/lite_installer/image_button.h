#ifndef CHROME_INSTALLER_LITE_INSTALLER_IMAGE_BUTTON_H_
#define CHROME_INSTALLER_LITE_INSTALLER_IMAGE_BUTTON_H_

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "chrome/installer/lite_installer/accessible_control.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

namespace lite_installer {

// The strip cell a button in custom-draw `item_state` shows: pressed (2)
// when selected, else hot (1), else normal (0).
int ButtonStateIndex(UINT item_state);

// A push button drawn from a strip of three equal cells (normal, hot,
// pressed) over the part of the parent's picture that lies under it, with
// its window text as the label. The parent forwards NM_CUSTOMDRAW.
class ImageButton : public WindowObject {
 public:
  ImageButton(HWND window,
              int strip_id1,
              int strip_id2,
              COLORREF label_colour,
              HFONT label_font,
              const ResourceBitmap& background,
              POINT background_offset);
  ~ImageButton() override;

  // One strip cell: a third of the strip's width by its height.
  SIZE GetSize() const;

  // Draws at CDDS_PREERASE (other stages draw nothing); the focus
  // rectangle, `focus_inset` inside the item, only once keyboard cues are
  // on. Always CDRF_SKIPDEFAULT.
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw, int focus_inset);

  // The parent's half of the focus-rectangle rule: an item drawn with
  // keyboard cues but without the focus turns the cues on for good (until
  // the parent clears them when it is activated).
  void NoteCustomDrawState(UINT item_state);
  void set_keyboard_cues(bool on) { keyboard_cues_ = on ? 1 : 0; }
  bool keyboard_cues() const { return keyboard_cues_ != 0; }

  void set_label_insets(const RECT& insets) { label_insets_ = insets; }
  void set_pressed_offset(POINT offset) { pressed_offset_ = offset; }
  // The picture behind the button, whose transparent pixels show it.
  void set_background(const ResourceBitmap& background) { background_ = background; }
  // Own accessible name and role; without them the standard proxy answers.
  void SetAccessibleProperties(LONG role, const std::wstring& name);

 protected:
  virtual void DrawBackground(HDC dc, const RECT& item);
  virtual void DrawState(HDC dc, const RECT& item, int state);

  COLORREF label_colour_;
  HFONT label_font_;
  RECT label_insets_ = {};
  POINT pressed_offset_ = {};
  BYTE keyboard_cues_ = 0;
  ResourceBitmap background_;
  POINT background_offset_;
  ScopedAccessibleControl accessible_;
  ResourceBitmap strip_;
};

// An image button whose width follows its label: the cell is drawn as a
// left cap, a stretched middle and a right cap; its background is the
// parent's picture stretched over the parent's whole window.
class StretchImageButton : public ImageButton {
 public:
  StretchImageButton(HWND window,
                     int strip_id1,
                     int strip_id2,
                     COLORREF label_colour,
                     HFONT label_font,
                     const ResourceBitmap& background);

  // Cap width in the strip's logical units (16 scaled).
  int cap_width() const { return cap_width_; }

 protected:
  void DrawBackground(HDC dc, const RECT& item) override;
  void DrawState(HDC dc, const RECT& item, int state) override;

 private:
  RECT background_insets_ = {};
  int cap_width_;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_IMAGE_BUTTON_H_
