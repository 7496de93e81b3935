#include "test/support/screen_capture.h"

#include <objbase.h>
// GDI+ headers need min/max from windows.h, which NOMINMAX hides.
#include <algorithm>
#include <cmath>
#include <map>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace test {

namespace {

constexpr int kCaptureAttempts = 6;
constexpr DWORD kImportTimeoutMs = 20000;

bool StartGdiplus() {
  static const bool started = [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
    return false;
  std::vector<BYTE> buffer(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
    return false;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// Runs ImageMagick's import as a Unix program. Wine gives no handle to
// wait on for a Unix process, so the shell renames the finished file and
// this waits for the name.
bool RunImport(const RECT& rect, const std::wstring& output) {
  const std::wstring partial = output + L".partial.png";
  ::DeleteFileW(output.c_str());
  ::DeleteFileW(partial.c_str());
  char geometry[96];
  snprintf(geometry, sizeof(geometry), "%ldx%ld+%ld+%ld", rect.right - rect.left,
           rect.bottom - rect.top, rect.left, rect.top);
  const std::string script = std::string(LITE_IMAGEMAGICK_IMPORT) +
                             " -window root -crop " + geometry + " +repage " +
                             UnixPath(partial) + " && mv " + UnixPath(partial) + " " +
                             UnixPath(output);
  const std::wstring shell = WinePath("/bin/sh");
  std::wstring command =
      L"\"" + shell + L"\" -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(shell.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
    return false;
  }
  if (info.hProcess)
    ::CloseHandle(info.hProcess);
  if (info.hThread)
    ::CloseHandle(info.hThread);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < kImportTimeoutMs) {
    if (PathExists(output))
      return true;
    ::Sleep(20);
  }
  return false;
}

std::string SafeName(std::string name) {
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
      c = '_';
  }
  return name;
}

}  // namespace

Pixels LoadImagePixels(const std::wstring& path) {
  Pixels pixels;
  if (!StartGdiplus())
    return pixels;
  // The bitmap holds its file open: decode and let go at once.
  Gdiplus::Bitmap bitmap(path.c_str());
  if (bitmap.GetLastStatus() != Gdiplus::Ok)
    return pixels;
  Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap.GetWidth()),
                    static_cast<INT>(bitmap.GetHeight()));
  Gdiplus::BitmapData data;
  if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return pixels;
  }
  pixels.width = all.Width;
  pixels.height = all.Height;
  pixels.argb.resize(static_cast<size_t>(all.Width) * all.Height);
  for (int y = 0; y < all.Height; ++y) {
    memcpy(&pixels.argb[static_cast<size_t>(y) * all.Width],
           static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
           static_cast<size_t>(all.Width) * 4);
  }
  bitmap.UnlockBits(&data);
  return pixels;
}

bool SavePixelsAsPng(const Pixels& pixels, const std::wstring& path) {
  CLSID png;
  if (!StartGdiplus() || pixels.empty() || !PngEncoder(&png))
    return false;
  Gdiplus::Bitmap bitmap(pixels.width, pixels.height, pixels.width * 4, PixelFormat32bppARGB,
                         reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels.argb.data())));
  return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

std::wstring ArtefactPath(const std::string& suite, const std::string& name) {
  std::wstring dir = WinePath(LITE_UI_ARTEFACTS_DIR);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::string safe_suite = SafeName(suite);
  dir += L"\\" + std::wstring(safe_suite.begin(), safe_suite.end());
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::string file = SafeName(name) + ".png";
  return dir + L"\\" + std::wstring(file.begin(), file.end());
}

Pixels CaptureScreen(const RECT& rect, const std::string& suite, const std::string& name) {
  const std::wstring path = ArtefactPath(suite, name);
  Pixels previous;
  for (int attempt = 0; attempt < kCaptureAttempts; ++attempt) {
    if (!RunImport(rect, path))
      return {};
    Pixels current = LoadImagePixels(path);
    if (!current.empty() && current.width == previous.width &&
        current.height == previous.height && current.argb == previous.argb) {
      return current;
    }
    previous = std::move(current);
  }
  return {};
}

bool WaitUntilShown(const RECT& rect, DWORD timeout_ms) {
  const std::wstring dir = WinePath(LITE_UI_ARTEFACTS_DIR);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring probe = dir + L"\\shown_probe.png";
  const LONG x = (rect.left + rect.right) / 2;
  const LONG y = (rect.top + rect.bottom) / 2;
  const RECT centre = {x, y, x + 1, y + 1};
  const DWORD start = ::GetTickCount();
  bool shown = false;
  while (!shown && ::GetTickCount() - start < timeout_ms) {
    const Pixels pixel = RunImport(centre, probe) ? LoadImagePixels(probe) : Pixels();
    shown = !pixel.empty() && ToColorRef(pixel.At(0, 0)) != RGB(0x80, 0x80, 0x80);
    if (!shown)
      ::Sleep(100);
  }
  ::DeleteFileW(probe.c_str());
  return shown;
}

Pixels CaptureScreenForCurrentTest(const RECT& rect, const std::string& suffix) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? info->name() : "unnamed";
  if (!suffix.empty())
    name += "_" + suffix;
  return CaptureScreen(rect, info ? info->test_suite_name() : "unnamed", name);
}

double ContrastRatio(COLORREF a, COLORREF b) {
  auto luminance = [](COLORREF colour) {
    auto linear = [](int channel) {
      const double c = channel / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
           0.0722 * linear(GetBValue(colour));
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TextContrast MeasureTextContrast(const Pixels& pixels, const RECT& rect) {
  TextContrast result;
  const int left = std::max(0, static_cast<int>(rect.left));
  const int top = std::max(0, static_cast<int>(rect.top));
  const int right = std::min(pixels.width, static_cast<int>(rect.right));
  const int bottom = std::min(pixels.height, static_cast<int>(rect.bottom));
  std::map<COLORREF, int> counts;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x)
      ++counts[ToColorRef(pixels.At(x, y))];
  }
  if (counts.empty())
    return result;
  result.background = std::max_element(counts.begin(), counts.end(), [](const auto& a,
                                                                        const auto& b) {
                        return a.second < b.second;
                      })->first;
  result.text = result.background;
  for (const auto& [colour, count] : counts) {
    const double ratio = ContrastRatio(colour, result.background);
    if (ratio > result.ratio) {
      result.ratio = ratio;
      result.text = colour;
    }
  }
  return result;
}

}  // namespace test
