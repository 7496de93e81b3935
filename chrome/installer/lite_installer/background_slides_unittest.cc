#include "chrome/installer/lite_installer/background_slides.h"

#include <shlwapi.h>
#include <wincrypt.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "base/scoped_gdi.h"
#include "base/tick_clock.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/picture_header.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/lite_installer/startup.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/memory_canvas.h"

namespace lite_installer {
namespace {

// The slide area of the window at scale 1, and a point inside the card of
// every test slide (test/data/slides/slides.list).
constexpr SIZE kArea = {802, 430};
constexpr POINT kCardPoint = {650, 170};

// The show's clock: microseconds the test moves (the downloads keep the
// real tick count).
class FakeClock : public base::TickClock {
 public:
  int64_t MonotonicNowUs() const override { return now_us_.load(); }
  void AdvanceMs(int64_t ms) { now_us_ += ms * 1000; }

 private:
  std::atomic<int64_t> now_us_{5'000'000'000};
};

// A 24-bit bottom-up BMP of one colour (0xRRGGBB), decoded as a slide.
ResourceBitmap SolidPicture(uint32_t colour, int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  std::string bmp(14 + 40 + stride * height, '\0');
  auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put(2, static_cast<uint32_t>(bmp.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      put(54 + y * stride + x * 3, colour, 3);  // B, G, R in memory
  }
  ResourceBitmap picture;
  IStream* stream =
      ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bmp.data()), static_cast<UINT>(bmp.size()));
  EXPECT_TRUE(stream && picture.Load(stream, 1.0));
  if (stream)
    stream->Release();
  return picture;
}

std::string Base64(const std::string& bytes) {
  DWORD size = 0;
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  ::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size()), flags, nullptr, &size);
  std::string text(size, '\0');
  ::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size()), flags, text.data(), &size);
  text.resize(size);
  return text;
}

// The first bytes of a PNG whose IHDR declares `width` x `height`.
std::string PngHeader(uint32_t width, uint32_t height) {
  std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t value : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes += static_cast<char>((value >> shift) & 0xFF);
  }
  return bytes + std::string("\x08\x06\0\0\0", 5) + std::string(64, 'x');
}

constexpr uint32_t kWelcomeColour = 0xFF00FF;
constexpr uint32_t kProgressColour = 0x00FFFF;

class BackgroundSlidesTest : public test::TestWithServices {
 protected:
  BackgroundSlidesTest() { facts_.SetWindowsVersion(10, 0, 19045); }

  // The folder the server serves the test slides from, under `theme`.
  std::string SlidesUrl(const std::string& theme = "new-identity") {
    return server().HttpUrl("/browser/installer/" + theme + "/en/");
  }
  std::string SlidePath(const std::string& name) {
    return "/browser/installer/new-identity/en/x2/" + name;
  }
  // Requests for `name` since the test began.
  int RequestsFor(const std::string& name) {
    int count = 0;
    for (const auto& request : NewRequests())
      count += request.path == SlidePath(name) ? 1 : 0;
    return count;
  }
  std::unique_ptr<BackgroundSlidesPack> MakePack(int builtin, const std::string& url) {
    std::vector<ResourceBitmap> slides;
    if (builtin == 2)
      slides.push_back(SolidPicture(kWelcomeColour, kArea.cx, kArea.cy));
    if (builtin >= 1)
      slides.push_back(SolidPicture(kProgressColour, kArea.cx, kArea.cy));
    return std::make_unique<BackgroundSlidesPack>(std::move(slides), url, true);
  }
  std::unique_ptr<BackgroundSlidesPack> FetchAll(int builtin, const std::string& url) {
    auto pack = MakePack(builtin, url);
    EXPECT_TRUE(pack->WaitForDownloadsToEnd(120000));
    return pack;
  }

  // What the show has on screen, told by the colour at the card point.
  std::string OnScreen(const SlideShow& show) {
    test::MemoryCanvas canvas(kArea.cx, kArea.cy);
    const RECT all = {0, 0, kArea.cx, kArea.cy};
    show.Paint(canvas.dc(), all);
    const uint32_t colour = canvas.Pixel(kCardPoint.x, kCardPoint.y);
    const std::map<std::string, uint32_t> known = {
        {"welcome", kWelcomeColour}, {"progress", kProgressColour}, {"02", 0xD83A3A},
        {"03", 0x2F9E52},           {"04", 0x3552D8},             {"05", 0xE89A1C},
        {"brush", 0x102030}};
    for (const auto& [name, value] : known) {
      if (test::ChannelDistance(colour, value) <= 24)
        return name;
    }
    return "unknown";
  }
  // The slides on screen over `count` changes, the first included.
  std::vector<std::string> Cycle(SlideShow& show, int count) {
    std::vector<std::string> seen;
    for (int i = 0; i < count; ++i) {
      if (i > 0)
        clock_.AdvanceMs(10000);
      EXPECT_TRUE(show.Tick());
      seen.push_back(OnScreen(show));
    }
    return seen;
  }

  ScopedUiLibraries ui_;
  test::FakeSystemFacts facts_;
  FakeClock clock_;
  base::ScopedTickClockForTesting clock_override_{&clock_};
  base::ScopedBrush brush_{::CreateSolidBrush(RGB(0x10, 0x20, 0x30))};
};

TEST_F(BackgroundSlidesTest, FourSlidesArriveAndTenMissesOfTheNextEndTheDownloads) {
  auto pack = FetchAll(1, SlidesUrl());
  EXPECT_EQ(5u, pack->slide_count());
  EXPECT_FALSE(pack->downloading());
  for (const char* name : {"02.png", "03.png", "04.png", "05.png"})
    EXPECT_EQ(1, RequestsFor(name)) << name;
  EXPECT_EQ(kMaxSlideFailuresInRow, RequestsFor("06.png"));
  EXPECT_EQ(0, RequestsFor("07.png"));

  SlideShow show(kArea, std::move(pack), brush_.get(), 10000, 1);
  EXPECT_EQ((std::vector<std::string>{"progress", "02", "03", "04", "05", "progress", "02", "03",
                                      "04", "05", "progress"}),
            Cycle(show, 11));
  EXPECT_FALSE(show.pack()->IsShowingFirstBuiltin());
}

TEST_F(BackgroundSlidesTest, WelcomeBackgroundOpensOnlyTheFirstPassOfSix) {
  SlideShow show(kArea, FetchAll(2, SlidesUrl()), brush_.get(), 10000,
                 1);
  // The first downloaded picture is still "02" with two built-in slides.
  EXPECT_EQ(1, RequestsFor("02.png"));
  EXPECT_EQ(6u, show.pack()->slide_count());
  std::vector<bool> first_builtin;
  std::vector<std::string> seen;
  for (int i = 0; i < 12; ++i) {
    if (i > 0)
      clock_.AdvanceMs(10000);
    show.Tick();
    seen.push_back(OnScreen(show));
    first_builtin.push_back(show.pack()->IsShowingFirstBuiltin());
  }
  EXPECT_EQ((std::vector<std::string>{"welcome", "progress", "02", "03", "04", "05", "progress",
                                      "02", "03", "04", "05", "progress"}),
            seen);
  EXPECT_EQ((std::vector<bool>{true, false, false, false, false, false, false, false, false, false,
                               false, false}),
            first_builtin);
}

TEST_F(BackgroundSlidesTest, ChangesEveryTenSecondsAndALateSlideJoinsTheCycle) {
  // 03 arrives only once the show has gone round twice.
  ASSERT_TRUE(server().AddRule(SlidePath("03.png"),
                               R"({"stall": 3, "file": ")" +
                                   test::FakeServices::SlideFilePath("03.png") + R"("})",
                               false, 1));
  ASSERT_TRUE(server().AddRule(SlidePath("04.png"), R"({"status": 404})"));
  auto pack = MakePack(1, SlidesUrl());
  const DWORD deadline = ::GetTickCount() + 20000;
  while (pack->slide_count() < 2 && ::GetTickCount() < deadline)
    ::Sleep(20);
  ASSERT_EQ(2u, pack->slide_count());

  SlideShow show(kArea, std::move(pack), brush_.get(), 10000, 1);
  EXPECT_TRUE(show.Tick());  // the first slide is a change as well
  EXPECT_FALSE(show.Tick());
  EXPECT_FALSE(show.HasAdvanced());
  clock_.AdvanceMs(9999);
  EXPECT_FALSE(show.Tick());
  EXPECT_EQ(0u, show.index());
  clock_.AdvanceMs(1);
  EXPECT_TRUE(show.Tick());
  EXPECT_FALSE(show.Tick());
  EXPECT_TRUE(show.HasAdvanced());
  EXPECT_EQ(1u, show.index());
  EXPECT_EQ("02", OnScreen(show));
  clock_.AdvanceMs(10000);
  EXPECT_TRUE(show.Tick());
  EXPECT_EQ(2u, show.index());
  EXPECT_EQ("progress", OnScreen(show));

  ASSERT_TRUE(show.pack()->WaitForDownloadsToEnd(60000));
  EXPECT_EQ(3u, show.pack()->slide_count());
  EXPECT_EQ((std::vector<std::string>{"progress", "02", "03", "progress"}), [&] {
    clock_.AdvanceMs(10000);
    auto seen = Cycle(show, 4);
    return seen;
  }());
  EXPECT_EQ(6u, show.index());
}

TEST_F(BackgroundSlidesTest, FileNamesFollowTheSystemAndTheBrand) {
  // Windows 7 gets JPEG files, and so does a pack that does not prefer PNG.
  facts_.SetWindowsVersion(6, 1, 7601);
  auto pack = FetchAll(1, SlidesUrl("dark"));
  EXPECT_EQ(5u, pack->slide_count());
  auto requests = NewRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ("/browser/installer/dark/en/x2/02.jpg", requests.front().path);

  facts_.SetWindowsVersion(10, 0, 19045);
  since_ = requests.back().seq;
  BackgroundSlidesPack jpeg_pack({}, SlidesUrl(), false);
  ASSERT_TRUE(jpeg_pack.WaitForDownloadsToEnd(120000));
  EXPECT_EQ(1, RequestsFor("02.jpg"));
  EXPECT_EQ(0, RequestsFor("02.png"));
  // Without built-in slides the first file is still "02".
  EXPECT_EQ(4u, jpeg_pack.slide_count());

  // The brand's own address is taken as it is: no theme or language.
  BrandPackageInfo brand(L"");
  brand.language_ = "en";
  const std::string origin = kServiceOrigins.content;
  EXPECT_EQ(origin + "/browser/installer/new-identity/en/",
            GetSlidesBaseUrl(&brand, L"new-identity/"));
  EXPECT_EQ(origin + "/browser/installer/dark/en/", GetSlidesBaseUrl(&brand, L"dark/"));
  brand.slide_url_ = server().HttpUrl("/brand/slides/");
  EXPECT_EQ(brand.slide_url_, GetSlidesBaseUrl(&brand, L"dark/"));
  since_ = NewRequests().empty() ? since_ : NewRequests().back().seq;
  BackgroundSlidesPack brand_pack({}, GetSlidesBaseUrl(&brand, L"dark/"), true);
  ASSERT_TRUE(brand_pack.WaitForDownloadsToEnd(120000));
  requests = NewRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ("/brand/slides/x2/02.png", requests.front().path);

  // A language from the tag cannot leave its path segment.
  brand.slide_url_.clear();
  brand.language_ = "../x?y=1#z%2F \xD0\x96";
  EXPECT_EQ(origin + "/browser/installer/dark/%2E%2E%2Fx%3Fy%3D1%23z%252F%20%D0%96/",
            GetSlidesBaseUrl(&brand, L"dark/"));
}

TEST_F(BackgroundSlidesTest, EveryBadAnswerIsOneFailureAndASuccessStartsTheCountAgain) {
  const std::string png = SlidePath("02.png");
  const std::string file = test::FakeServices::SlideFilePath("02.png");
  // Later rules answer first: each bad answer once, then the real file.
  const std::vector<std::string> bad = {
      // No answer within the attempt's time, and a body still trickling
      // in when that time is up.
      R"({"stall": 15})",
      R"({"file": ")" + file + R"(", "trickle": 64, "trickle_ms": 100})",
      R"({"stall": 1, "status": 500})",
      R"({"text": "<html><body>Moved</body></html>"})",
      // A body cut short behind its announced length, and one that ends
      // early without a length (complete to the downloader, undecodable).
      R"({"file": ")" + file + R"(", "drop": 3000})",
      R"({"file": ")" + file + R"(", "head": 3000})",
      R"({"b64": ")" + Base64(PngHeader(30000, 30000)) + R"("})",
      R"({"size": 20000000})",
      R"({"size": 17000000, "nolength": 1})",
  };
  // One short of the failures that end the downloads.
  ASSERT_EQ(static_cast<size_t>(kMaxSlideFailuresInRow - 1), bad.size());
  for (const auto& behaviour : bad)
    ASSERT_TRUE(server().AddRule(png, behaviour, false, 1)) << behaviour;
  ASSERT_TRUE(server().AddRule(SlidePath("03.png"), R"({"status": 404})"));

  auto pack = FetchAll(1, SlidesUrl());
  // Nine failures, a success, then ten failures for 03: the success reset
  // the count, or 03 would have been asked for once only.
  EXPECT_EQ(static_cast<int>(bad.size()) + 1, RequestsFor("02.png"));
  EXPECT_EQ(kMaxSlideFailuresInRow, RequestsFor("03.png"));
  EXPECT_EQ(2u, pack->slide_count());

  const std::string log = Log();
  auto count = [&log](const std::string& text) {
    int found = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++found;
    return found;
  };
  const std::string url = server().HttpUrl(png);
  EXPECT_EQ(1, count("Failed to load a bitmap"));
  EXPECT_EQ(1, count("Failed to load a background slide bitmap from data downloaded from " + url));
  EXPECT_EQ(1, count("Refused a background slide from " + url +
                     ": it is neither a PNG nor a JPEG picture"));
  EXPECT_EQ(1, count("Refused a background slide from " + url +
                     ": its picture is larger than 4096 x 4096 pixels"));
  EXPECT_EQ(1, count("Refused a background slide of 20000000 bytes from " + url));
  EXPECT_EQ(1, count("Refused a background slide of more than 16777216 bytes from " + url));
  EXPECT_EQ(1, count("Abandoned a background slide download after 5000 ms: " + url));
  EXPECT_EQ(1, count("Failed to open a background slide download (internet_open_url-"));
}

TEST_F(BackgroundSlidesTest, DestroyingThePackDuringAStallOrATrickleWaitsAtMostTheTimeout) {
  const std::string file = test::FakeServices::SlideFilePath("02.png");
  const std::vector<std::string> slow = {
      R"({"stall": 40})",  // accepted, never answered
      R"({"file": ")" + file + R"(", "trickle": 64, "trickle_ms": 100})",
  };
  for (const auto& behaviour : slow) {
    ASSERT_TRUE(server().Reset());
    ASSERT_TRUE(server().AddRule(SlidePath("02.png"), behaviour));
    auto pack = MakePack(1, SlidesUrl());
    server().WaitForRequests(1, 10000);
    ::Sleep(500);
    const DWORD start = ::GetTickCount();
    pack.reset();
    const DWORD took = ::GetTickCount() - start;
    EXPECT_LE(took, kSlideDownloadTimeoutMs + 1500) << behaviour;
    std::printf("destroyed during %s after %lu ms\n", behaviour.c_str(), took);
  }
}

TEST(PictureHeaderTest, ReadsTheSizeOfPngAndJpegWithinTheBytes) {
  PictureHeader png = ReadPictureHeader(PngHeader(1604, 860));
  EXPECT_EQ(PictureHeader::Format::kPng, png.format);
  EXPECT_TRUE(png.has_size);
  EXPECT_EQ(1604u, png.width);
  EXPECT_EQ(860u, png.height);
  // Cut inside IHDR: a PNG of unknown size.
  png = ReadPictureHeader(PngHeader(1604, 860).substr(0, 20));
  EXPECT_EQ(PictureHeader::Format::kPng, png.format);
  EXPECT_FALSE(png.has_size);

  // SOI, an APP0 segment, fill bytes, then a progressive frame header.
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x06JFIF", 10) +
                           std::string("\xFF\xFF\xC2\x00\x11\x08\x75\x30\x01\x02\x03", 11);
  PictureHeader header = ReadPictureHeader(jpeg);
  EXPECT_EQ(PictureHeader::Format::kJpeg, header.format);
  EXPECT_TRUE(header.has_size);
  EXPECT_EQ(0x0102u, header.width);
  EXPECT_EQ(30000u, header.height);
  // A Huffman table (C4) is not a frame; a segment running past the end, or
  // a frame header cut short, leaves the size unknown.
  header = ReadPictureHeader(std::string("\xFF\xD8\xFF\xC4\x00\x04\x00\x00\xFF\xD9", 10));
  EXPECT_FALSE(header.has_size);
  header = ReadPictureHeader(std::string("\xFF\xD8\xFF\xE1\x40\x00\x00", 7));
  EXPECT_FALSE(header.has_size);
  header = ReadPictureHeader(jpeg.substr(0, jpeg.size() - 3));
  EXPECT_EQ(PictureHeader::Format::kJpeg, header.format);
  EXPECT_FALSE(header.has_size);

  EXPECT_EQ(PictureHeader::Format::kUnknown, ReadPictureHeader("<html>").format);
  EXPECT_EQ(PictureHeader::Format::kUnknown, ReadPictureHeader("").format);
  EXPECT_EQ(PictureHeader::Format::kUnknown, ReadPictureHeader("\x89PNG").format);
}

TEST_F(BackgroundSlidesTest, SlideSitsAtTheBottomLeftUnscaledOverTheBrush) {
  std::vector<ResourceBitmap> slides = {SolidPicture(0xFF0000, 300, 100),
                                        SolidPicture(0x0000FF, 1000, 50)};
  SlideShow show(kArea, std::make_unique<BackgroundSlidesPack>(std::move(slides), "", true),
                 brush_.get(), 10000, 1);
  test::MemoryCanvas canvas(kArea.cx, kArea.cy);
  const RECT all = {0, 0, kArea.cx, kArea.cy};
  show.Paint(canvas.dc(), all);
  EXPECT_EQ(0xFF0000u, canvas.Pixel(0, kArea.cy - 1));
  EXPECT_EQ(0xFF0000u, canvas.Pixel(299, kArea.cy - 100));
  EXPECT_EQ(0x102030u, canvas.Pixel(300, kArea.cy - 1));
  EXPECT_EQ(0x102030u, canvas.Pixel(0, kArea.cy - 101));
  EXPECT_EQ(300, show.CurrentImage().Width());

  // A picture wider than the area loses its right part.
  clock_.AdvanceMs(10000);
  ASSERT_TRUE(show.Tick());
  canvas.Fill(0);
  show.Paint(canvas.dc(), all);
  EXPECT_EQ(0x0000FFu, canvas.Pixel(kArea.cx - 1, kArea.cy - 1));
  EXPECT_EQ(0x102030u, canvas.Pixel(kArea.cx - 1, kArea.cy - 51));

  // An empty pack shows the brush alone.
  SlideShow empty(kArea, std::make_unique<BackgroundSlidesPack>(std::vector<ResourceBitmap>(), "",
                                                                true),
                  brush_.get(), 10000, 1);
  EXPECT_TRUE(empty.CurrentImage().IsEmpty());
  EXPECT_EQ("brush", OnScreen(empty));
}

}  // namespace
}  // namespace lite_installer
