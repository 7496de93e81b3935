// The resources of the built lite_installer.exe itself: the window icon
// rendered from the SVG art and the manifest's dpi awareness.
#include <windows.h>

#include <string>

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

}  // namespace
