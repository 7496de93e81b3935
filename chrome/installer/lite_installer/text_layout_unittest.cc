#include "chrome/installer/lite_installer/text_layout.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_gdi.h"
#include "gtest/gtest.h"
#include "test/support/memory_canvas.h"

namespace lite_installer {
namespace {

using ScopedFont = base::ScopedGeneric<base::GdiObjectTraits<HFONT>>;

std::vector<std::wstring> Texts(const std::vector<TextSegment>& segments) {
  std::vector<std::wstring> texts;
  for (const TextSegment& segment : segments)
    texts.push_back((segment.link ? L"link:" : L"") + segment.text);
  return texts;
}

TEST(SplitMarkupTest, WordsWithTheirBlanksAndLinksWithoutMarkers) {
  EXPECT_EQ(Texts(SplitMarkup(L"one two  three four five six ((the link)).")),
            (std::vector<std::wstring>{L"one ", L"two  ", L"three ", L"four ", L"five ", L"six ",
                                       L"link:the link", L"."}));
  // A line end closes its word; markers right after a word cut it off.
  EXPECT_EQ(Texts(SplitMarkup(L"first\nsecond((go)) on")),
            (std::vector<std::wstring>{L"first\n", L"second", L"link:go", L" ", L"on"}));
  // An unclosed link runs to the end; an empty text has no segments.
  EXPECT_EQ(Texts(SplitMarkup(L"see ((here and on")),
            (std::vector<std::wstring>{L"see ", L"link:here and on"}));
  EXPECT_TRUE(SplitMarkup(L"").empty());
}

class WrapTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.is_valid());
    ASSERT_TRUE(font_.is_valid());
  }
  int Width(const std::wstring& text) {
    base::ScopedSelectObject select(canvas_.dc(), font_.get());
    SIZE size = {};
    ::GetTextExtentPoint32W(canvas_.dc(), text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }
  std::vector<LaidOutPiece> Wrap(const std::wstring& text, int width) {
    return WrapSegments(SplitMarkup(text), font_.get(), canvas_.dc(), width);
  }

  test::MemoryCanvas canvas_{8, 8};
  ScopedFont font_{test::CreateCrispFont(13)};
};

TEST_F(WrapTest, BreaksBeforeTheWordThatDoesNotFitAndKeepsPunctuationWithTheLink) {
  const std::wstring text = L"one two three four five six ((the link)).";
  // Room for "one two three " and not for "four ".
  const int width = Width(L"one two three ") + Width(L"four ") - 1;
  std::vector<LaidOutPiece> pieces = Wrap(text, width);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].text, L"one two three ");
  EXPECT_EQ(pieces[0].line, 0);
  EXPECT_EQ(pieces[1].text, L"four five six ");
  EXPECT_EQ(pieces[1].line, 1);
  EXPECT_EQ(pieces[1].x, 0);
  EXPECT_EQ(pieces[2].text, L"the link");
  EXPECT_TRUE(pieces[2].link);
  EXPECT_EQ(pieces[2].line, 2);
  EXPECT_EQ(pieces[3].text, L".");
  EXPECT_EQ(pieces[3].line, 2);
  EXPECT_EQ(pieces[3].x, pieces[2].width);

  // A period that does not fit after the link still stays on its line.
  pieces = Wrap(L"go ((the link)).", Width(L"the link"));
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1].line, 1);
  EXPECT_EQ(pieces[2].text, L".");
  EXPECT_EQ(pieces[2].line, 1);
  EXPECT_EQ(pieces[2].x, Width(L"the link"));
  EXPECT_EQ(pieces[2].width, Width(L"."));
}

TEST_F(WrapTest, LineEndsOverWideWordsAndCentring) {
  // "\n" breaks although everything fits.
  std::vector<LaidOutPiece> pieces = Wrap(L"a\nb c", 1000);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].line, 0);
  EXPECT_EQ(pieces[1].text, L"b c");
  EXPECT_EQ(pieces[1].line, 1);

  // A word wider than the line takes line 0 itself, the next word line 1.
  pieces = Wrap(L"extraordinarily wide", Width(L"wide"));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].text, L"extraordinarily ");
  EXPECT_EQ(pieces[0].line, 0);
  EXPECT_EQ(pieces[1].line, 1);

  // Each line centred on its own: the short line gets the bigger offset.
  const int width = Width(L"longer words here ") + 3;
  pieces = Wrap(L"longer words here ((go))", width);
  ASSERT_EQ(pieces.size(), 2u);
  const std::vector<int> offsets = CenterLines(pieces, width);
  ASSERT_EQ(offsets.size(), 2u);
  EXPECT_EQ(offsets[0], (width - pieces[0].width) / 2);
  EXPECT_EQ(offsets[1], (width - pieces[1].width) / 2);
  EXPECT_GT(offsets[1], offsets[0]);
}

TEST_F(WrapTest, LineHeightIsTheFontsHeight) {
  base::ScopedSelectObject select(canvas_.dc(), font_.get());
  TEXTMETRICW metrics = {};
  ASSERT_TRUE(::GetTextMetricsW(canvas_.dc(), &metrics));
  EXPECT_EQ(LineHeight(font_.get()), metrics.tmHeight);
}

TEST_F(WrapTest, PieceControlsAreStaticsAndLinkButtonsAtTheirPieces) {
  HWND parent = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                  nullptr, nullptr);
  ASSERT_TRUE(parent);
  const RECT rect = {20, 30, 20 + Width(L"By using it you ") + 2, 200};
  const std::wstring text = L"By using it you accept the ((Licence)).";
  const std::vector<HWND> windows =
      CreatePieceControls(parent, rect, font_.get(), true, 222, 223, text, 1);
  const std::vector<LaidOutPiece> pieces = Wrap(text, rect.right - rect.left);
  const std::vector<int> offsets = CenterLines(pieces, rect.right - rect.left);
  const int line_height = LineHeight(font_.get());
  ASSERT_EQ(windows.size(), pieces.size());
  int links = 0;
  for (size_t i = 0; i < windows.size(); ++i) {
    wchar_t class_name[32] = {};
    ::GetClassNameW(windows[i], class_name, 32);
    const LONG_PTR style = ::GetWindowLongPtrW(windows[i], GWL_STYLE);
    if (pieces[i].link) {
      ++links;
      EXPECT_EQ(_wcsicmp(class_name, L"Button"), 0) << class_name;
      EXPECT_EQ(::GetDlgCtrlID(windows[i]), 223);
      EXPECT_EQ(style & (WS_TABSTOP | 0xF), WS_TABSTOP | BS_OWNERDRAW);
    } else {
      EXPECT_EQ(_wcsicmp(class_name, L"Static"), 0) << class_name;
      EXPECT_EQ(::GetDlgCtrlID(windows[i]), 222);
      EXPECT_EQ(style & SS_TYPEMASK, SS_OWNERDRAW);
    }
    RECT place = {};
    ::GetWindowRect(windows[i], &place);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, rect.left + offsets[pieces[i].line] + pieces[i].x) << i;
    EXPECT_EQ(place.top, rect.top + pieces[i].line * (line_height + 1)) << i;
    EXPECT_EQ(place.bottom - place.top, line_height);
  }
  EXPECT_EQ(links, 1);
  ::DestroyWindow(parent);
}

}  // namespace
}  // namespace lite_installer
