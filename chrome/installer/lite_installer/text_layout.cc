#include "chrome/installer/lite_installer/text_layout.h"

#include <algorithm>

#include "base/scoped_gdi.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

bool IsBlankOrNul(wchar_t c) {
  return c == L' ' || c == L'\0';
}

// Text that never starts a line: nothing but blanks, line ends and marks.
bool IsPunctuationOnly(const std::wstring& text) {
  return std::all_of(text.begin(), text.end(), [](wchar_t c) {
    return c == L' ' || c == L'\n' || c == L'\0' || c == L'.' || c == L'?' || c == L'!' ||
           c == L':' || c == L';' || c == L',';
  });
}

int MeasureWidth(HDC dc, const std::wstring& text) {
  if (text.empty())
    return 0;
  SIZE size = {};
  if (!::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size)) {
    PLOG(ERROR) << "Failed to measure a label piece of " << text.size() << " characters";
    return 0;
  }
  POINT points[2] = {{0, 0}, {size.cx, size.cy}};
  ::LPtoDP(dc, points, 2);
  return points[1].x - points[0].x;
}

}  // namespace

std::vector<TextSegment> SplitMarkup(const std::wstring& text) {
  std::vector<TextSegment> segments;
  bool link = false;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (link) {
      if (text.compare(i, 2, L"))") == 0) {
        segments.push_back({text.substr(start, i - start), true});
        i += 2;
        start = i;
        link = false;
      } else {
        ++i;
      }
      continue;
    }
    const wchar_t c = text[i];
    if (c == L'\n' || c == L'\0') {
      segments.push_back({text.substr(start, i + 1 - start), false});
      start = ++i;
    } else if (text.compare(i, 2, L"((") == 0) {
      if (i > start)
        segments.push_back({text.substr(start, i - start), false});
      i += 2;
      start = i;
      link = true;
    } else {
      if (i > start && IsBlankOrNul(text[i - 1]) && !IsBlankOrNul(c)) {
        segments.push_back({text.substr(start, i - start), false});
        start = i;
      }
      ++i;
    }
  }
  if (start < text.size())
    segments.push_back({text.substr(start), link});
  return segments;
}

std::vector<LaidOutPiece> WrapSegments(const std::vector<TextSegment>& segments,
                                       HFONT font,
                                       HDC dc,
                                       int width) {
  std::vector<LaidOutPiece> pieces;
  base::ScopedSelectObject select_font(dc, font);
  LaidOutPiece current;
  int line = 0;
  int line_width = 0;
  auto close_current = [&](bool add_to_line) {
    if (!current.text.empty()) {
      current.line = line;
      current.x = line_width;
      pieces.push_back(current);
    }
    if (add_to_line)
      line_width += current.width;
    current = LaidOutPiece();
  };
  for (const TextSegment& segment : segments) {
    const int segment_width = MeasureWidth(dc, segment.text);
    if (!segment.link && IsPunctuationOnly(segment.text)) {
      close_current(true);
      current = {segment.text, false, 0, 0, segment_width};
      continue;
    }
    const bool line_has_content = line_width > 0 || !current.text.empty();
    if (line_has_content && (current.text.find(L'\n') != std::wstring::npos ||
                             line_width + current.width + segment_width > width)) {
      close_current(false);
      ++line;
      line_width = 0;
    }
    if (current.text.empty()) {
      current = {segment.text, segment.link, 0, 0, segment_width};
    } else if (current.link == segment.link) {
      current.text += segment.text;
      current.width += segment_width;
    } else {
      close_current(true);
      current = {segment.text, segment.link, 0, 0, segment_width};
    }
  }
  close_current(true);
  return pieces;
}

std::vector<int> CenterLines(const std::vector<LaidOutPiece>& pieces, int width) {
  int lines = 0;
  for (const LaidOutPiece& piece : pieces)
    lines = std::max(lines, piece.line + 1);
  std::vector<int> used(lines, 0);
  for (const LaidOutPiece& piece : pieces)
    used[piece.line] += piece.width;
  std::vector<int> offsets(lines, 0);
  for (int i = 0; i < lines; ++i)
    offsets[i] = (width - used[i]) / 2;
  return offsets;
}

int LineHeight(HFONT font) {
  base::ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!dc.is_valid()) {
    PLOG(ERROR) << "Failed to create a device context to measure a line height";
    return 0;
  }
  base::ScopedSelectObject select_font(dc.get(), font);
  RECT rect = {0, 0, 0, 0};
  ::DrawTextW(dc.get(), L"anything", -1, &rect, DT_CALCRECT);
  return rect.bottom - rect.top;
}

RECT PieceRect(const LaidOutPiece& piece,
               POINT origin,
               const std::vector<int>& line_offsets,
               int line_height,
               int line_gap) {
  const int offset =
      piece.line < static_cast<int>(line_offsets.size()) ? line_offsets[piece.line] : 0;
  const int x = origin.x + offset + piece.x;
  const int y = origin.y + piece.line * (line_height + line_gap);
  return {x, y, x + piece.width, y + line_height};
}

std::vector<HWND> CreatePieceControls(HWND parent,
                                      const RECT& rect,
                                      HFONT font,
                                      bool center,
                                      int static_id,
                                      int link_id,
                                      const std::wstring& text,
                                      int line_gap) {
  std::vector<LaidOutPiece> pieces;
  {
    base::ScopedGetDC dc(parent);
    pieces = WrapSegments(SplitMarkup(text), font, dc.get(), rect.right - rect.left);
  }
  const std::vector<int> offsets =
      center ? CenterLines(pieces, rect.right - rect.left) : std::vector<int>();
  const int line_height = LineHeight(font);
  std::vector<HWND> windows;
  for (const LaidOutPiece& piece : pieces) {
    const RECT place = PieceRect(piece, {rect.left, rect.top}, offsets, line_height, line_gap);
    const int id = piece.link ? link_id : static_id;
    HWND window = ::CreateWindowExW(
        0, piece.link ? L"Button" : L"Static", piece.text.c_str(),
        piece.link ? WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW
                   : WS_CHILD | WS_VISIBLE | WS_GROUP | SS_OWNERDRAW,
        place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (!window) {
      PLOG(ERROR) << "Failed to create the label piece control " << id << " at " << place.left
                  << "," << place.top;
      continue;
    }
    windows.push_back(window);
  }
  return windows;
}

}  // namespace lite_installer
