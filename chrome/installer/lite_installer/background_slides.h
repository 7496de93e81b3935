#ifndef CHROME_INSTALLER_LITE_INSTALLER_BACKGROUND_SLIDES_H_
#define CHROME_INSTALLER_LITE_INSTALLER_BACKGROUND_SLIDES_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chrome/installer/lite_installer/resource_bitmap.h"

class BrandPackageInfo;

namespace lite_installer {

// The largest slide body kept in memory, and the largest picture decoded.
inline constexpr uint32_t kMaxSlideBodyBytes = 16u << 20;
inline constexpr uint32_t kMaxSlidePixels = 4096;
// Each download attempt's limit, and the failures in a row that end the
// downloads (the server has no picture with the next number).
inline constexpr DWORD kSlideDownloadTimeoutMs = 5000;
inline constexpr int kMaxSlideFailuresInRow = 10;

// The folder the slides are fetched from: the brand's slide address when it
// has one, else the content server's "/browser/installer/" + `theme_folder`
// ("dark/" or "new-identity/") + the brand's language (escaped) + "/".
std::string GetSlidesBaseUrl(const BrandPackageInfo* brand, const wchar_t* theme_folder);

// The slides of the progress screen: the built-in ones, then those a thread
// of the pack downloads ("x2/02.png", "x2/03.png", ... under the base
// address) in arrival order, until ten attempts in a row failed or the pack
// is destroyed. The window's thread reads them through GetSlide.
class BackgroundSlidesPack {
 public:
  // Starts the download thread, unless `base_url` is empty (nothing to
  // fetch). `prefer_png` asks for PNG files where the system decodes them
  // well (Windows 8 and later), JPEG files otherwise.
  BackgroundSlidesPack(std::vector<ResourceBitmap> builtin_slides,
                       const std::string& base_url,
                       bool prefer_png);
  BackgroundSlidesPack(const BackgroundSlidesPack&) = delete;
  BackgroundSlidesPack& operator=(const BackgroundSlidesPack&) = delete;
  // Stops the downloads and waits for the thread (at most the current
  // attempt's time-out).
  ~BackgroundSlidesPack();

  // The slide for the show's `index`, the index wrapping over the slides
  // held. With two built-in slides the first (the welcome background) is
  // shown on the first pass only. Empty when the pack holds nothing.
  ResourceBitmap GetSlide(uint32_t index);
  // The slide last handed out is the first of two built-in slides.
  bool IsShowingFirstBuiltin() const;

  // Fetches the next picture and appends it; false when the attempt failed.
  // `timeout_ms` (0: none) bounds the whole attempt.
  bool DownloadImage(DWORD timeout_ms);

  size_t slide_count() const;
  // False once the downloads have ended (or were never started).
  bool downloading() const { return active_.load() != 0; }
  // Waits up to `timeout_ms` for the download thread to end; true when it
  // has.
  bool WaitForDownloadsToEnd(DWORD timeout_ms) const;

 private:
  static unsigned __stdcall ThreadMain(void* pack);
  void DownloadLoop();

  mutable SRWLOCK slides_lock_ = SRWLOCK_INIT;
  std::vector<ResourceBitmap> slides_;
  uint8_t two_builtin_ = 0;
  // Built-in slides less one: the first downloaded file is "02" for one
  // built-in slide, for two, and for none.
  int32_t name_base_ = 0;
  uint32_t offset_ = 0;
  uint8_t first_wrap_seen_ = 0;
  uint8_t showing_first_builtin_ = 0;
  SRWLOCK thread_lock_ = SRWLOCK_INIT;
  std::wstring base_url_;
  // Written by the window's thread and by the download thread itself.
  std::atomic<uint8_t> active_{0};
  uint8_t prefer_png_ = 0;
  HANDLE thread_ = nullptr;
};

// One slide on screen: its picture, when it went up, how long it stays, and
// where it sits in the slide area (at the bottom left, unscaled).
class Slide {
 public:
  Slide(ResourceBitmap image, int64_t start_us, float duration_ms, SIZE area);

  const ResourceBitmap& image() const { return image_; }
  const RECT& rect() const { return rect_; }
  // Whether the slide's time is up at `now_us`.
  bool IsOver(int64_t now_us) const;
  // True once, for a slide not yet reported.
  bool TakeChanged();

 private:
  ResourceBitmap image_;
  int64_t start_us_;
  float duration_ms_;
  uint8_t changed_ = 1;
  RECT rect_;
};

// Which slide of a pack is on screen: index 0 at the start, then
// `first_index`, then one more every `duration_ms`.
class SlideShow {
 public:
  // `brush` (not owned) fills the area around the slide.
  SlideShow(SIZE area,
            std::unique_ptr<BackgroundSlidesPack> pack,
            HBRUSH brush,
            uint32_t duration_ms,
            uint32_t first_index);

  // Advances when the current slide's time is up; true once for each new
  // slide (the first included).
  bool Tick();
  // The show has left its first slide.
  bool HasAdvanced() const { return index_ != 0; }
  // Fills `rect` and draws the current slide.
  void Paint(HDC dc, const RECT& rect) const;
  // The picture on screen (empty when there is none).
  ResourceBitmap CurrentImage() const;

  uint32_t index() const { return index_; }
  BackgroundSlidesPack* pack() const { return pack_.get(); }
  // The welcome background is on screen as the first built-in slide.
  bool IsShowingFirstBuiltin() const { return pack_ && pack_->IsShowingFirstBuiltin(); }

 private:
  void Advance();

  SIZE area_;
  HBRUSH brush_;
  std::unique_ptr<BackgroundSlidesPack> pack_;
  uint32_t index_ = 0;
  uint32_t duration_ms_;
  uint32_t first_index_;
  std::unique_ptr<Slide> current_;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_BACKGROUND_SLIDES_H_
