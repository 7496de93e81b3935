#include "chrome/installer/lite_installer/image_checkbox.h"

#include <uxtheme.h>

#include <algorithm>

#include "chrome/installer/lite_installer/owner_drawing.h"
#include "chrome/installer/lite_installer/text_layout.h"
#include "logging/file_logger.h"

namespace lite_installer {

int CheckboxStateIndex(UINT item_state, bool checked) {
  const int base = (item_state & 0x1) ? 2 : (item_state & 0x40) ? 1 : 0;
  return base + (checked ? 3 : 0);
}

ImageCheckbox::ImageCheckbox(HWND window,
                             const Look& look,
                             const ResourceBitmap& background,
                             POINT background_offset,
                             bool checked)
    : focus_rect_(look.focus_rect ? 1 : 0),
      image_inset_(4 * focus_rect_),
      label_colour_(look.label_colour),
      label_opacity_(look.label_opacity),
      label_font_(look.label_font),
      strip_(look.strip_id1, look.strip_id2),
      background_(background),
      label_left_(look.label_left),
      background_offset_(background_offset),
      checked_(checked ? 1 : 0),
      unthemed_(::IsAppThemed() ? 0 : 1),
      state_width_(strip_.Width() / 6),
      state_height_(strip_.Height()) {
  if (!Attach(window)) {
    LOG(ERROR) << "Failed to attach to the checkbox " << window;
    return;
  }
  accessible_.reset(AccessibleControl::Create(window));
  if (checked_)
    ::SendMessageW(window, BM_SETCHECK, BST_CHECKED, 0);
  if (unthemed_) {
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    ::SetWindowLongPtrW(window, GWL_STYLE, style | BS_OWNERDRAW);
  }
}

ImageCheckbox::~ImageCheckbox() {
  accessible_.reset();
  Detach();
}

bool ImageCheckbox::IsChecked() const {
  if (unthemed_)
    return checked_ != 0;
  return ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ImageCheckbox::Toggle() {
  if (unthemed_)
    checked_ = checked_ ? 0 : 1;
}

LRESULT ImageCheckbox::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  if (draw.dwDrawStage == CDDS_PREERASE)
    Draw(draw.hdc, draw.rc, draw.uItemState, (draw.uItemState & CDIS_FOCUS) != 0);
  return CDRF_SKIPDEFAULT;
}

void ImageCheckbox::OnDrawItem(const DRAWITEMSTRUCT& item) {
  Draw(item.hDC, item.rcItem, item.itemState, (item.itemState & ODS_FOCUS) != 0);
}

void ImageCheckbox::Draw(HDC target, const RECT& item, UINT item_state, bool focused) {
  OffscreenDC offscreen(target, item);
  HDC dc = offscreen.dc();
  const int width = item.right - item.left;
  const int height = item.bottom - item.top;
  background_.Draw(dc, item.left, item.top, width, height, background_offset_.x,
                   background_offset_.y, width, height);
  const int state = CheckboxStateIndex(item_state, IsChecked());
  strip_.Draw(dc, item.left + image_inset_, item.top + image_inset_, state_width_, state_height_,
              state * state_width_, 0, state_width_, state_height_);
  if (label_opacity_)
    DrawLabel(dc, item);
  if (focused && focus_rect_)
    ::DrawFocusRect(dc, &item);
}

void LinkCheckbox::LayoutLabel(const RECT& rect,
                               const std::vector<int>& link_ids,
                               const std::wstring& text,
                               int top_margin,
                               int bottom_margin,
                               int line_gap,
                               bool center) {
  plain_pieces_.clear();
  link_pieces_.clear();
  layout_origin_ = {rect.left, rect.top};
  const POINT origin = {rect.left + image_inset_ + state_width_ + label_left_,
                        rect.top + top_margin};
  const int width = rect.right - origin.x;
  std::vector<LaidOutPiece> pieces;
  {
    base::ScopedGetDC dc(hwnd_);
    pieces = WrapSegments(SplitMarkup(text), label_font_, dc.get(), width);
  }
  const std::vector<int> offsets = center ? CenterLines(pieces, width) : std::vector<int>();
  const int line_height = LineHeight(label_font_);
  int last_line = 0;
  size_t next_id = 0;
  for (const LaidOutPiece& piece : pieces) {
    last_line = std::max(last_line, piece.line);
    const RECT place = PieceRect(piece, origin, offsets, line_height, line_gap);
    if (!piece.link) {
      plain_pieces_.push_back({place, piece.text});
    } else if (next_id < link_ids.size()) {
      link_pieces_.push_back({link_ids[next_id++], place, piece.text});
    }
  }
  label_height_ = top_margin + bottom_margin + line_height + last_line * (line_height + line_gap);
}

void LinkCheckbox::PlaceLinks() {
  HWND parent = ::GetParent(hwnd_);
  // The links lie inside the checkbox: they go above it, and the checkbox
  // no longer paints over them.
  if (!link_pieces_.empty()) {
    ::SetWindowLongPtrW(hwnd_, GWL_STYLE, ::GetWindowLongPtrW(hwnd_, GWL_STYLE) | WS_CLIPSIBLINGS);
  }
  for (const LinkPiece& piece : link_pieces_) {
    HWND link = ::GetDlgItem(parent, piece.control_id);
    if (!link) {
      LOG(ERROR) << "Failed to find the link control " << piece.control_id
                 << " of a checkbox label";
      continue;
    }
    ::SetWindowPos(link, HWND_TOP, piece.rect.left, piece.rect.top,
                   piece.rect.right - piece.rect.left, piece.rect.bottom - piece.rect.top, 0);
  }
}

void LinkCheckbox::DrawLabel(HDC dc, const RECT& item) {
  for (const PlainPiece& piece : plain_pieces_) {
    RECT rect = piece.rect;
    ::OffsetRect(&rect, item.left - layout_origin_.x, item.top - layout_origin_.y);
    DrawAlphaText(dc, rect, piece.text, label_font_, label_colour_, *label_opacity_, 0);
  }
}

}  // namespace lite_installer
