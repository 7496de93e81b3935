#include "chrome/installer/lite_installer/background_slides.h"

#include <process.h>
#include <shlwapi.h>

#include <algorithm>
#include <utility>

#include "base/strings.h"
#include "base/tick_clock.h"
#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/picture_header.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/norvel/util/network/download_sink.h"
#include "chrome/installer/norvel/util/network/downloader.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// The language is a path segment: every byte but letters, digits, "-" and
// "_" is percent-escaped, so that a tag cannot steer the address.
std::string EscapePathSegment(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '_') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return escaped;
}

// Keeps a body in memory up to a bound; a longer one fails the write.
class BoundedMemorySink : public installer::MemoryDownloadSink {
 public:
  explicit BoundedMemorySink(uint32_t bound) : bound_(bound) {}

  bool Write(const void* bytes, uint32_t count) override {
    if (count > bound_ - std::min(bound_, bytes_written())) {
      over_bound_ = true;
      ::SetLastError(ERROR_FILE_TOO_LARGE);
      return false;
    }
    return MemoryDownloadSink::Write(bytes, count);
  }
  bool over_bound() const { return over_bound_; }

 private:
  const uint32_t bound_;
  bool over_bound_ = false;
};

// The reason to refuse a body before decoding it, or null.
const char* RefusalBeforeDecoding(const std::string& body) {
  const PictureHeader header = ReadPictureHeader(body);
  if (header.format == PictureHeader::Format::kUnknown)
    return "it is neither a PNG nor a JPEG picture";
  if (header.has_size && (header.width > kMaxSlidePixels || header.height > kMaxSlidePixels))
    return "its picture is larger than 4096 x 4096 pixels";
  return nullptr;
}

}  // namespace

std::string GetSlidesBaseUrl(const BrandPackageInfo* brand, const wchar_t* theme_folder) {
  if (brand && !brand->slide_url_.empty())
    return brand->slide_url_;
  std::string folder;
  for (const wchar_t* c = theme_folder; c && *c; ++c)
    folder += static_cast<char>(*c);
  return std::string(kServiceOrigins.content) + "/browser/installer/" + folder +
         EscapePathSegment(brand ? brand->language_ : std::string()) + "/";
}

BackgroundSlidesPack::BackgroundSlidesPack(std::vector<ResourceBitmap> builtin_slides,
                                           const std::string& base_url,
                                           bool prefer_png)
    : slides_(std::move(builtin_slides)),
      two_builtin_(slides_.size() == 2 ? 1 : 0),
      name_base_(static_cast<int32_t>(slides_.size()) - 1),
      base_url_(base::WidenBytes(base_url)),
      prefer_png_(prefer_png ? 1 : 0) {
  if (base_url_.empty())
    return;
  active_ = 1;
  thread_ = reinterpret_cast<HANDLE>(
      ::_beginthreadex(nullptr, 0, &BackgroundSlidesPack::ThreadMain, this, 0, nullptr));
  if (!thread_) {
    PLOG(ERROR) << "Failed to start the download thread of the background slides";
    active_ = 0;
  }
}

BackgroundSlidesPack::~BackgroundSlidesPack() {
  active_ = 0;
  // The thread may not have taken thread_lock_ yet; its handle tells when
  // it has really left.
  if (thread_) {
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  ::AcquireSRWLockExclusive(&thread_lock_);
  ::ReleaseSRWLockExclusive(&thread_lock_);
}

// static
unsigned __stdcall BackgroundSlidesPack::ThreadMain(void* pack) {
  static_cast<BackgroundSlidesPack*>(pack)->DownloadLoop();
  return 0;
}

void BackgroundSlidesPack::DownloadLoop() {
  ::AcquireSRWLockExclusive(&thread_lock_);
  int failures = 0;
  while (active_) {
    failures = DownloadImage(kSlideDownloadTimeoutMs) ? 0 : failures + 1;
    if (failures >= kMaxSlideFailuresInRow) {
      active_ = 0;
      break;
    }
  }
  ::ReleaseSRWLockExclusive(&thread_lock_);
}

bool BackgroundSlidesPack::WaitForDownloadsToEnd(DWORD timeout_ms) const {
  return !thread_ || ::WaitForSingleObject(thread_, timeout_ms) == WAIT_OBJECT_0;
}

size_t BackgroundSlidesPack::slide_count() const {
  ::AcquireSRWLockShared(&slides_lock_);
  const size_t count = slides_.size();
  ::ReleaseSRWLockShared(&slides_lock_);
  return count;
}

bool BackgroundSlidesPack::IsShowingFirstBuiltin() const {
  return showing_first_builtin_ != 0;
}

ResourceBitmap BackgroundSlidesPack::GetSlide(uint32_t index) {
  ::AcquireSRWLockExclusive(&slides_lock_);
  ResourceBitmap slide;
  if (!slides_.empty()) {
    showing_first_builtin_ = index == 0 ? two_builtin_ : 0;
    const uint32_t count = static_cast<uint32_t>(slides_.size());
    uint32_t chosen = static_cast<uint32_t>((uint64_t{index} + offset_) % count);
    if (chosen == 0) {
      if (first_wrap_seen_ && two_builtin_) {
        // From the second pass on the welcome background is left out.
        if (name_base_ > 0)
          --name_base_;
        ++offset_;
        chosen = 1;
      } else {
        first_wrap_seen_ = 1;
      }
    }
    slide = slides_[chosen];
  }
  ::ReleaseSRWLockExclusive(&slides_lock_);
  return slide;
}

bool BackgroundSlidesPack::DownloadImage(DWORD timeout_ms) {
  ::AcquireSRWLockShared(&slides_lock_);
  const int32_t number = static_cast<int32_t>(slides_.size()) - name_base_;
  ::ReleaseSRWLockShared(&slides_lock_);
  const bool png = prefer_png_ && base::GetWindowsVersionClass() > base::kWin7;
  const std::wstring url = base_url_ + L"x2/" + (number < 9 ? L"0" : L"") +
                           base::NumberToWide(number + 1) + (png ? L".png" : L".jpg");

  installer::Downloader downloader;
  if (timeout_ms != 0) {
    // WinINet's own waits would otherwise hold a stalled request (and the
    // pack's destruction) far longer than the attempt may take.
    downloader.set_timeouts({timeout_ms, timeout_ms, timeout_ms});
  }
  // The checks below run between reads; each read returns what has arrived.
  downloader.set_read_what_has_arrived(true);
  BoundedMemorySink sink(kMaxSlideBodyBytes);
  if (!downloader.OpenDownload(url, &sink)) {
    LOG(WARNING) << "Failed to open a background slide download (" << downloader.last_error()
                 << "): " << url;
    return false;
  }
  const base::TickClock& clock = base::TickClock::Current();
  const DWORD started = clock.GetTickCount();
  while (downloader.ReadChunk() > 0) {
    if (downloader.content_length() > kMaxSlideBodyBytes) {
      LOG(ERROR) << "Refused a background slide of " << downloader.content_length()
                 << " bytes from " << url;
      return false;
    }
    if (timeout_ms != 0 && clock.GetTickCount() - started > timeout_ms) {
      LOG(WARNING) << "Abandoned a background slide download after " << timeout_ms
                   << " ms: " << url;
      return false;
    }
    if (!active_)
      return false;
  }
  if (sink.over_bound()) {
    LOG(ERROR) << "Refused a background slide of more than " << kMaxSlideBodyBytes
               << " bytes from " << url;
    return false;
  }
  if (!active_)
    return false;
  // FinalizeDownload logs a bad status itself, not a failure met earlier.
  const bool failed_before = !downloader.last_error().empty();
  if (!downloader.FinalizeDownload(nullptr)) {
    if (failed_before) {
      LOG(WARNING) << "Failed to download a background slide (" << downloader.last_error()
                   << "): " << url;
    }
    return false;
  }

  const std::string body = sink.TakeData();
  if (const char* reason = RefusalBeforeDecoding(body)) {
    LOG(ERROR) << "Refused a background slide from " << url << ": " << reason;
    return false;
  }
  IStream* stream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()),
                                        static_cast<UINT>(body.size()));
  ResourceBitmap slide;
  const bool loaded = stream && slide.Load(stream, GetDeviceScaleFactor() * 0.5);
  if (stream)
    stream->Release();
  if (!loaded) {
    PLOG(ERROR) << "Failed to load a background slide bitmap from data downloaded from " << url;
    return false;
  }
  ::AcquireSRWLockExclusive(&slides_lock_);
  slides_.push_back(std::move(slide));
  ::ReleaseSRWLockExclusive(&slides_lock_);
  return true;
}

Slide::Slide(ResourceBitmap image, int64_t start_us, float duration_ms, SIZE area)
    : image_(std::move(image)), start_us_(start_us), duration_ms_(duration_ms) {
  rect_.left = 0;
  rect_.top = area.cy - image_.Height();
  rect_.right = std::min(image_.Width(), static_cast<int>(area.cx));
  rect_.bottom = area.cy;
}

bool Slide::IsOver(int64_t now_us) const {
  // A clock that went backwards reads as no time passed; one that ran far
  // ahead saturates.
  const int64_t elapsed = now_us > start_us_ ? now_us - start_us_ : 0;
  return static_cast<double>(elapsed) >= static_cast<double>(duration_ms_) * 1000.0;
}

bool Slide::TakeChanged() {
  const bool changed = changed_ != 0;
  changed_ = 0;
  return changed;
}

SlideShow::SlideShow(SIZE area,
                     std::unique_ptr<BackgroundSlidesPack> pack,
                     HBRUSH brush,
                     uint32_t duration_ms,
                     uint32_t first_index)
    : area_(area),
      brush_(brush),
      pack_(std::move(pack)),
      duration_ms_(duration_ms),
      first_index_(first_index) {
  Advance();
}

void SlideShow::Advance() {
  if (current_)
    index_ = index_ == 0 ? first_index_ : index_ + 1;
  ResourceBitmap image = pack_ ? pack_->GetSlide(index_) : ResourceBitmap();
  current_ = std::make_unique<Slide>(std::move(image), base::TickClock::Current().MonotonicNowUs(),
                                     static_cast<float>(duration_ms_), area_);
}

bool SlideShow::Tick() {
  if (current_->IsOver(base::TickClock::Current().MonotonicNowUs()))
    Advance();
  return current_->TakeChanged();
}

void SlideShow::Paint(HDC dc, const RECT& rect) const {
  if (brush_)
    ::FillRect(dc, &rect, brush_);
  const RECT& place = current_->rect();
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  current_->image().Draw(dc, place.left, place.top, width, height, 0, 0, width, height);
}

ResourceBitmap SlideShow::CurrentImage() const {
  return current_->image();
}

}  // namespace lite_installer
