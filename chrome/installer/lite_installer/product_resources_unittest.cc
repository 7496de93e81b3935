// The resources of the built lite_installer.exe itself: the window icon
// rendered from the SVG art, the manifest's dpi awareness and the private
// font faces.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace {

constexpr int kWindowIconId = 900;

class ProductResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    product_ = ::LoadLibraryExW(
        (test::ExecutableDir() + L"\\lite_installer.exe").c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(product_) << "cannot open lite_installer.exe: "
                          << ::GetLastError();
  }
  void TearDown() override {
    if (product_)
      ::FreeLibrary(product_);
  }

  HMODULE product_ = nullptr;
};

TEST_F(ProductResourcesTest, WindowIconHasEverySize) {
  for (int size : {16, 32, 48, 256}) {
    SCOPED_TRACE(size);
    // LR_DEFAULTCOLOR with an exact size: the group's entry of that size.
    HICON icon = static_cast<HICON>(
        ::LoadImageW(product_, MAKEINTRESOURCEW(kWindowIconId), IMAGE_ICON,
                     size, size, LR_DEFAULTCOLOR));
    ASSERT_TRUE(icon) << ::GetLastError();
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP color = {};
    ::GetObjectW(info.hbmColor, sizeof(color), &color);
    EXPECT_EQ(color.bmWidth, size);
    EXPECT_EQ(color.bmHeight, size);
    // The art is opaque blue-green in its middle, not an empty picture.
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, info.hbmColor);
    const COLORREF middle = ::GetPixel(dc, size / 8, size / 2);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    EXPECT_GT(GetBValue(middle), GetRValue(middle)) << std::hex << middle;
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
  }
}

TEST_F(ProductResourcesTest, ManifestDeclaresSystemDpiAwareness) {
  HRSRC resource = ::FindResourceW(product_, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_TRUE(resource);
  HGLOBAL loaded = ::LoadResource(product_, resource);
  const char* text = static_cast<const char*>(::LockResource(loaded));
  ASSERT_TRUE(text);
  const std::string manifest(text, ::SizeofResource(product_, resource));
  const size_t element = manifest.find("<dpiAware");
  ASSERT_NE(element, std::string::npos) << manifest;
  const size_t value = manifest.find('>', element);
  EXPECT_EQ(manifest.substr(value + 1, manifest.find('<', value) - value - 1),
            "true");
  EXPECT_NE(manifest.find("http://schemas.microsoft.com/SMI/2005/"
                          "WindowsSettings",
                          element),
            std::string::npos);
}

// Each face resource adds exactly its face, with the weight the windows ask
// for, and that face has a glyph for every character of every string of
// every language (Wine draws a box for a missing one even when a host font
// has it: private faces get no fallback).
TEST_F(ProductResourcesTest, PrivateFacesShowEveryCharacterOfEveryString) {
  std::optional<base::Json> texts =
      base::ParseJson(test::ReadFile(test::WinePath(LITE_STRINGS_JSON)));
  ASSERT_TRUE(texts && texts->is_object()) << "cannot read " << LITE_STRINGS_JSON;
  const struct {
    int id;
    const wchar_t* face;
    LONG weight;
  } kFaces[] = {{2087, L"NS Geo Regular", 400},
                {2088, L"NS Geo Medium", 500},
                {2090, L"NS Text", 400}};
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (const auto& face : kFaces) {
    SCOPED_TRACE(testing::Message() << "font id=" << face.id);
    HRSRC resource = ::FindResourceW(product_, MAKEINTRESOURCEW(face.id), RT_FONT);
    ASSERT_TRUE(resource);
    DWORD count = 0;
    HANDLE added = ::AddFontMemResourceEx(::LockResource(::LoadResource(product_, resource)),
                                          ::SizeofResource(product_, resource), nullptr, &count);
    ASSERT_TRUE(added) << ::GetLastError();
    EXPECT_EQ(1u, count);
    HFONT font = ::CreateFontW(-13, 0, 0, 0, face.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               0, 0, 0, 0, face.face);
    HGDIOBJ old = ::SelectObject(dc, font);
    wchar_t selected[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, selected);
    EXPECT_STREQ(face.face, selected);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    EXPECT_EQ(face.weight, metrics.tmWeight);
    int checked = 0;
    for (const auto& [language, table] : texts->items()) {
      for (const auto& [id, value] : table["strings"].items()) {
        std::wstring text = base::UTF8ToWide(value.get<std::string>());
        std::erase(text, L'\n');
        std::vector<WORD> glyphs(text.size() + 1);
        ASSERT_NE(GDI_ERROR, ::GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()),
                                                glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS));
        for (size_t i = 0; i < text.size(); ++i) {
          EXPECT_NE(0xFFFF, glyphs[i])
              << "language " << language << ", id " << id << ": no glyph for U+" << std::hex
              << static_cast<unsigned>(text[i]);
        }
        ++checked;
      }
    }
    EXPECT_GT(checked, 16 * 100);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::RemoveFontMemResourceEx(added);
  }
  ::DeleteDC(dc);
}

}  // namespace
