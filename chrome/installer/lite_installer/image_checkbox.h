#ifndef CHROME_INSTALLER_LITE_INSTALLER_IMAGE_CHECKBOX_H_
#define CHROME_INSTALLER_LITE_INSTALLER_IMAGE_CHECKBOX_H_

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "chrome/installer/lite_installer/accessible_control.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

namespace lite_installer {

// The strip cell of a checkbox: (pressed 2, hot 1, else 0) + 3 when
// checked; pressed is bit 0 and hot bit 6 of the custom-draw or draw-item
// state.
int CheckboxStateIndex(UINT item_state, bool checked);

// A checkbox drawn from a strip of six equal cells (unchecked normal, hot,
// pressed, then checked normal, hot, pressed) over the parent's picture.
// Themed, the parent forwards NM_CUSTOMDRAW and the control keeps the
// check state; unthemed, the control is made owner-drawn, the parent
// forwards WM_DRAWITEM, and this object remembers the state itself.
class ImageCheckbox : public WindowObject {
 public:
  struct Look {
    int strip_id1 = 0;
    int strip_id2 = 0;
    bool focus_rect = true;
    COLORREF label_colour = 0;
    std::optional<BYTE> label_opacity;
    HFONT label_font = nullptr;
    int label_left = 0;
  };

  ImageCheckbox(HWND window,
                const Look& look,
                const ResourceBitmap& background,
                POINT background_offset,
                bool checked);
  ~ImageCheckbox() override;

  bool IsChecked() const;
  // Called by the parent on every click.
  void Toggle();
  // Draws at CDDS_PREERASE; CDRF_SKIPDEFAULT.
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  virtual int GetLabelHeight() const { return 0; }

  bool unthemed() const { return unthemed_ != 0; }
  int state_width() const { return state_width_; }
  int image_inset() const { return image_inset_; }

 protected:
  void Draw(HDC dc, const RECT& item, UINT item_state, bool focused);
  virtual void DrawLabel(HDC dc, const RECT& item) {}

  BYTE focus_rect_;
  int image_inset_;
  COLORREF label_colour_;
  std::optional<BYTE> label_opacity_;
  HFONT label_font_;
  ResourceBitmap strip_;
  ResourceBitmap background_;
  int label_left_;
  POINT background_offset_;
  BYTE checked_;
  BYTE unthemed_;
  int state_width_;
  int state_height_;
  ScopedAccessibleControl accessible_;
};

// A checkbox whose label may hold links: the label is laid out in lines
// beside the box, plain pieces drawn by the checkbox, link pieces given to
// separate link controls that PlaceLinks moves onto them.
class LinkCheckbox : public ImageCheckbox {
 public:
  struct PlainPiece {
    RECT rect;  // in the parent's client area
    std::wstring text;
  };
  struct LinkPiece {
    int control_id;
    RECT rect;  // in the parent's client area
    std::wstring text;
  };

  using ImageCheckbox::ImageCheckbox;

  // Lays `text` out beside the box in `rect` (the checkbox's rectangle in
  // its parent). Link pieces take `link_ids` in order; a link piece with no
  // id left is dropped.
  void LayoutLabel(const RECT& rect,
                   const std::vector<int>& link_ids,
                   const std::wstring& text,
                   int top_margin,
                   int bottom_margin,
                   int line_gap,
                   bool center);
  // Moves each link control onto its piece.
  void PlaceLinks();
  int GetLabelHeight() const override { return label_height_; }

  const std::vector<PlainPiece>& plain_pieces() const { return plain_pieces_; }
  const std::vector<LinkPiece>& link_pieces() const { return link_pieces_; }

 protected:
  void DrawLabel(HDC dc, const RECT& item) override;

 private:
  std::vector<PlainPiece> plain_pieces_;
  std::vector<LinkPiece> link_pieces_;
  int label_height_ = 0;
  POINT layout_origin_ = {};
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_IMAGE_CHECKBOX_H_
