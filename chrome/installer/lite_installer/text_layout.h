#ifndef CHROME_INSTALLER_LITE_INSTALLER_TEXT_LAYOUT_H_
#define CHROME_INSTALLER_LITE_INSTALLER_TEXT_LAYOUT_H_

#include <windows.h>

#include <string>
#include <vector>

namespace lite_installer {

// A run of label text; `link` when it stood between "((" and "))".
struct TextSegment {
  std::wstring text;
  bool link = false;
};

// A segment run placed on a line: x is its offset within the line.
struct LaidOutPiece {
  std::wstring text;
  bool link = false;
  int line = 0;
  int x = 0;
  int width = 0;
};

// Splits label text into segments: plain text one word a segment (each
// with its trailing blanks; a newline ends its segment), a link
// "((like this))" one segment without its markers. An unclosed "((" makes
// the rest of the text a link.
std::vector<TextSegment> SplitMarkup(const std::wstring& text);

// Lays the segments out in lines of at most `width` device pixels, measured
// in `font` on `dc`. Neighbouring segments of the same kind merge into one
// piece; a line breaks after a newline and before a word that does not
// fit; punctuation stays on the line of what it follows. A word wider than
// the width gets a line of its own rather than an empty line before it.
std::vector<LaidOutPiece> WrapSegments(const std::vector<TextSegment>& segments,
                                       HFONT font,
                                       HDC dc,
                                       int width);

// Per line index, the offset that centres that line's pieces in `width`.
std::vector<int> CenterLines(const std::vector<LaidOutPiece>& pieces, int width);

// Height of one line of `font`, as DrawTextW measures it.
int LineHeight(HFONT font);

// Where piece `piece` goes: (origin + line offset + piece x,
// origin.y + line × (line height + gap)), the piece's width by the line
// height. `line_offsets` may be empty (no centring).
RECT PieceRect(const LaidOutPiece& piece,
               POINT origin,
               const std::vector<int>& line_offsets,
               int line_height,
               int line_gap);

// Lays `text` (with link markup) out in `rect` of `parent` (device pixels,
// already scaled) and creates one owner-drawn child per piece: a "Static"
// with `static_id` for plain pieces, a tab-stop "Button" with `link_id` for
// links, each holding its piece's text. Lines are centred when `center`.
// The created windows, in piece order.
std::vector<HWND> CreatePieceControls(HWND parent,
                                      const RECT& rect,
                                      HFONT font,
                                      bool center,
                                      int static_id,
                                      int link_id,
                                      const std::wstring& text,
                                      int line_gap);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_TEXT_LAYOUT_H_
