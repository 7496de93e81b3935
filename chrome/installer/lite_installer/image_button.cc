#include "chrome/installer/lite_installer/image_button.h"

#include "chrome/installer/lite_installer/owner_drawing.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

constexpr int kCapWidth = 16;

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0)
    return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), length + 1));
  return text;
}

}  // namespace

int ButtonStateIndex(UINT item_state) {
  if (item_state & CDIS_SELECTED)
    return 2;
  if (item_state & CDIS_HOT)
    return 1;
  return 0;
}

ImageButton::ImageButton(HWND window,
                         int strip_id1,
                         int strip_id2,
                         COLORREF label_colour,
                         HFONT label_font,
                         const ResourceBitmap& background,
                         POINT background_offset)
    : label_colour_(label_colour),
      label_font_(label_font),
      background_(background),
      background_offset_(background_offset),
      strip_(strip_id1, strip_id2) {
  if (!Attach(window)) {
    LOG(ERROR) << "Failed to attach to the image button " << window;
    return;
  }
  accessible_.reset(AccessibleControl::Create(window));
}

ImageButton::~ImageButton() {
  accessible_.reset();
  Detach();
}

SIZE ImageButton::GetSize() const {
  return {strip_.Width() / 3, strip_.Height()};
}

void ImageButton::SetAccessibleProperties(LONG role, const std::wstring& name) {
  if (accessible_)
    accessible_->SetProperties(role, name, L"");
}

void ImageButton::NoteCustomDrawState(UINT item_state) {
  if ((item_state & CDIS_SHOWKEYBOARDCUES) && !(item_state & CDIS_FOCUS))
    keyboard_cues_ = 1;
}

LRESULT ImageButton::OnCustomDraw(const NMCUSTOMDRAW& draw, int focus_inset) {
  if (draw.dwDrawStage != CDDS_PREERASE)
    return CDRF_SKIPDEFAULT;
  const RECT item = draw.rc;
  const int state = ButtonStateIndex(draw.uItemState);
  OffscreenDC offscreen(draw.hdc, item);
  HDC dc = offscreen.dc();
  DrawBackground(dc, item);
  DrawState(dc, item, state);
  const std::wstring text = WindowText(hwnd_);
  if (!text.empty()) {
    RECT label = {item.left + label_insets_.left, item.top + label_insets_.top,
                  item.right - label_insets_.right, item.bottom - label_insets_.bottom};
    if (state == 2)
      ::OffsetRect(&label, pressed_offset_.x, pressed_offset_.y);
    base::ScopedSelectObject select_font(dc, label_font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, label_colour_);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label,
                DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  if ((draw.uItemState & CDIS_FOCUS) && keyboard_cues_) {
    RECT focus = item;
    ::InflateRect(&focus, -focus_inset, -focus_inset);
    ::DrawFocusRect(dc, &focus);
  }
  return CDRF_SKIPDEFAULT;
}

void ImageButton::DrawBackground(HDC dc, const RECT& item) {
  const POINT origin = PositionInParent(hwnd_);
  const int width = item.right - item.left;
  const int height = item.bottom - item.top;
  background_.Draw(dc, item.left, item.top, width, height, origin.x + background_offset_.x,
                   origin.y + background_offset_.y, width, height);
}

void ImageButton::DrawState(HDC dc, const RECT& item, int state) {
  const SIZE cell = GetSize();
  strip_.Draw(dc, item.left, item.top, cell.cx, cell.cy, state * strip_.Width() / 3, 0, cell.cx,
              cell.cy);
}

StretchImageButton::StretchImageButton(HWND window,
                                       int strip_id1,
                                       int strip_id2,
                                       COLORREF label_colour,
                                       HFONT label_font,
                                       const ResourceBitmap& background)
    : ImageButton(window, strip_id1, strip_id2, label_colour, label_font, background, {0, 0}),
      cap_width_(ScaleValue(kCapWidth)) {}

void StretchImageButton::DrawBackground(HDC dc, const RECT& item) {
  HWND parent = ::GetParent(hwnd_);
  RECT parent_rect = {};
  RECT own_rect = {};
  if (!parent || !::GetWindowRect(parent, &parent_rect) || !::GetWindowRect(hwnd_, &own_rect))
    return;
  // The whole picture stretched over the parent's window, shifted so that
  // the part under this button lands on the item.
  const int parent_width = parent_rect.right - parent_rect.left - background_insets_.left -
                           background_insets_.right;
  const int parent_height = parent_rect.bottom - parent_rect.top - background_insets_.top -
                            background_insets_.bottom;
  const int x = item.left - (own_rect.left - parent_rect.left - background_insets_.left);
  const int y = item.top - (own_rect.top - parent_rect.top - background_insets_.top);
  background_.Draw(dc, x, y, parent_width, parent_height, 0, 0, background_.Width(),
                   background_.Height());
}

void StretchImageButton::DrawState(HDC dc, const RECT& item, int state) {
  const int strip_height = strip_.Height();
  if (strip_height <= 0)
    return;
  const int cell_width = strip_.Width() / 3;
  const int cell_x = state * strip_.Width() / 3;
  const int item_width = item.right - item.left;
  const int item_height = item.bottom - item.top;
  const double ratio = static_cast<double>(item_height) / strip_height;
  const int c = cap_width_;
  const int cap = static_cast<int>(c * ratio);
  // The middle first, reaching one pixel under the left cap: where the
  // strip is scaled, a cap's soft edge would otherwise leave a light seam.
  // Then both caps whole over it, the right one over its own seam.
  strip_.Draw(dc, item.left + cap - 1, item.top, item_width - 2 * cap + 1, item_height,
              cell_x + c, 0, cell_width - 2 * c, strip_height);
  strip_.Draw(dc, item.left, item.top, cap, item_height, cell_x, 0, c, strip_height);
  strip_.Draw(dc, item.left + item_width - cap - 1, item.top, cap + 2, item_height,
              cell_x + cell_width - c, 0, c, strip_height);
}

}  // namespace lite_installer
