#include "chrome/installer/lite_installer/resource_bitmap.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/startup.h"
#include "gtest/gtest.h"
#include "test/support/memory_canvas.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

// Test pictures (test/data/art/test_art.list, resources_unittest.rc.in).
// 7001: 20 x 10 quadrants, red / blue over green / yellow (scale 1).
// 7002: its scale-2 twin, 40 x 20, with a magenta top left instead of red.
// 7004: scale-2 only, 42 x 22, cyan. 7006: 7001 as JPEG. 7003: not a
// picture.
constexpr int kQuadrants = 7001;
constexpr int kQuadrants2x = 7002;
constexpr int kCorrupt = 7003;
constexpr int kOddSize2x = 7004;
constexpr int kQuadrantsJpeg = 7006;
constexpr int kMissing = 7999;

// What a child saw of a picture: "<name>.<property>" -> value.
using Report = std::map<std::string, std::string>;

void Describe(const std::string& name,
              const ResourceBitmap& bitmap,
              std::ostringstream& out) {
  out << name << ".size " << bitmap.Width() << "x" << bitmap.Height() << "\n"
      << name << ".ceil " << bitmap.CeilWidth() << "x" << bitmap.CeilHeight()
      << "\n";
}

// Draws the whole picture at its logical size, and its bottom-right
// quadrant (a logical source rectangle) into an 8 x 8 square at (2, 2) of
// a second canvas, and names the colours found.
void DescribeDrawing(const std::string& name,
                     const ResourceBitmap& bitmap,
                     std::ostringstream& out) {
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  test::MemoryCanvas whole(64, 64);
  whole.Fill(0xFFFFFF);
  bitmap.Draw(whole.dc(), 0, 0, w, h, 0, 0, w, h);
  out << name << ".top_left " << test::ColorName(whole.Pixel(w / 4, h / 4))
      << "\n"
      << name << ".top_right "
      << test::ColorName(whole.Pixel(3 * w / 4, h / 4)) << "\n"
      << name << ".bottom_left "
      << test::ColorName(whole.Pixel(w / 4, 3 * h / 4)) << "\n"
      << name << ".bottom_right "
      << test::ColorName(whole.Pixel(3 * w / 4, 3 * h / 4)) << "\n";

  test::MemoryCanvas part(12, 12);
  part.Fill(0xFFFFFF);
  bitmap.Draw(part.dc(), 2, 2, 8, 8, w / 2, h / 2, w - w / 2, h - h / 2);
  out << name << ".part_inside " << test::ColorName(part.Pixel(6, 6)) << "\n"
      << name << ".part_outside "
      << test::ColorName(part.Pixel(0, 0)) + "," +
             test::ColorName(part.Pixel(11, 11))
      << "\n";
}

// Child: loads the test pictures at the factor of its command line and
// writes what it saw into the file named by its last argument.
LITE_CHILD_MAIN(resource_bitmap_report) {
  if (args.empty())
    return 2;
  ScopedUiLibraries ui;
  std::ostringstream out;
  out << "factor " << GetDeviceScaleFactor() << "\n";
  const ResourceBitmap pair(kQuadrants, kQuadrants2x);
  const ResourceBitmap scale1_only(kQuadrants, 0);
  const ResourceBitmap scale2_only(0, kOddSize2x);
  Describe("pair", pair, out);
  DescribeDrawing("pair", pair, out);
  Describe("scale1_only", scale1_only, out);
  DescribeDrawing("scale1_only", scale1_only, out);
  Describe("scale2_only", scale2_only, out);
  return test::WriteStringToFile(args.back(), out.str()) ? 0 : 1;
}

Report RunChild(const std::string& factor) {
  test::ScopedTempDir dir;
  const std::wstring path = dir.Append(L"report.txt");
  test::ChildProcess child = test::StartChild(
      "resource_bitmap_report",
      L"--force-device-scale-factor=" +
          std::wstring(factor.begin(), factor.end()) + L" \"" + path + L"\"");
  Report report;
  if (!child.Wait(60000) || child.exit_code() != 0) {
    ADD_FAILURE() << "the child at factor " << factor << " failed";
    return report;
  }
  for (const std::string& line : test::SplitLines(test::ReadFile(path))) {
    const size_t space = line.find(' ');
    if (space != std::string::npos)
      report[line.substr(0, space)] = line.substr(space + 1);
  }
  return report;
}

// The report of a child at `factor`, made once for the tests that read it.
const Report& RunReport(const std::string& factor) {
  static std::map<std::string, Report> reports;
  auto it = reports.find(factor);
  if (it == reports.end())
    it = reports.emplace(factor, RunChild(factor)).first;
  return it->second;
}

// Each factor in a child of its own: the factor is computed once per
// process.
TEST(ResourceBitmapTest, ChoosesThePictureForTheFactor) {
  struct Case {
    const char* factor;
    const char* pair_size;   // the chosen picture's pixels x factor / divisor
    const char* pair_top_left;  // red: scale-1 picture, magenta: scale-2
    const char* scale1_only_size;
    const char* scale2_only_size;
    const char* scale2_only_ceil;
  } const kCases[] = {
      // Factor 1 keeps the scale-1 picture; a scale-2-only one counts half.
      {"1", "20x10", "red", "20x10", "21x11", "21x11"},
      // Any other factor takes the scale-2 picture at factor / 2.
      {"1.5", "30x15", "magenta", "30x15", "31x16", "32x17"},
      {"2", "40x20", "magenta", "40x20", "42x22", "42x22"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("factor ") + c.factor);
    Report report = RunReport(c.factor);  // a copy: operator[] below
    EXPECT_EQ(report["factor"], c.factor);
    EXPECT_EQ(report["pair.size"], c.pair_size);
    EXPECT_EQ(report["pair.top_left"], c.pair_top_left);
    EXPECT_EQ(report["scale1_only.size"], c.scale1_only_size);
    EXPECT_EQ(report["scale2_only.size"], c.scale2_only_size);
    EXPECT_EQ(report["scale2_only.ceil"], c.scale2_only_ceil);
    // The scale-1 picture alone is stretched: still the scale-1 art.
    EXPECT_EQ(report["scale1_only.top_left"], "red");
  }
}

TEST(ResourceBitmapTest, DrawMapsLogicalSourceRectanglesToPixels) {
  for (const char* factor : {"1", "1.5", "2"}) {
    SCOPED_TRACE(std::string("factor ") + factor);
    Report report = RunReport(factor);  // a copy: operator[] below
    for (const char* name : {"pair", "scale1_only"}) {
      SCOPED_TRACE(name);
      const std::string n = name;
      EXPECT_EQ(report[n + ".top_right"], "blue");
      EXPECT_EQ(report[n + ".bottom_left"], "green");
      EXPECT_EQ(report[n + ".bottom_right"], "yellow");
      // The bottom-right quadrant lands in the destination square only.
      EXPECT_EQ(report[n + ".part_inside"], "yellow");
      EXPECT_EQ(report[n + ".part_outside"], "white,white");
    }
  }
}

// In-process cases: they hold for whatever factor the screen gives.
class ResourceBitmapInProcessTest : public test::TestWithLog {
 protected:
  static void SetUpTestSuite() {
    // Computed (and logged, if at all) before any test's log starts.
    GetDeviceScaleFactor();
  }

  ScopedUiLibraries ui_;
};

TEST_F(ResourceBitmapInProcessTest, MissingPictureIsEmptyAndSilent) {
  ResourceBitmap bitmap(kMissing, 0);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.CeilWidth(), 0);
  EXPECT_FALSE(bitmap.Load(kMissing, kMissing + 1));
  EXPECT_FALSE(bitmap.Load(nullptr, 1.0));

  test::MemoryCanvas canvas(8, 8);
  canvas.Fill(0xFFFFFF);
  bitmap.Draw(canvas.dc(), 0, 0, 8, 8, 0, 0, 8, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(canvas.Pixel(x, y), 0xFFFFFFu) << x << "," << y;
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(ResourceBitmapInProcessTest, CorruptBytesKeepTheOldPicture) {
  ResourceBitmap bitmap(kQuadrants, kQuadrants2x);
  ASSERT_FALSE(bitmap.IsEmpty());
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const double scale = bitmap.scale();

  EXPECT_FALSE(bitmap.Load(kCorrupt, 0));
  EXPECT_EQ(bitmap.Width(), width);
  EXPECT_EQ(bitmap.Height(), height);
  EXPECT_EQ(bitmap.scale(), scale);
  std::vector<test::LogEntry> entries = log_.Entries();
  ASSERT_EQ(entries.size(), 1u) << Log();
  EXPECT_EQ(entries[0].message.rfind("ERROR: Failed to load a bitmap", 0), 0u)
      << entries[0].message;
  EXPECT_EQ(entries[0].function, "lite_installer::ResourceBitmap::Load");

  // The old picture still draws.
  test::MemoryCanvas canvas(64, 64);
  canvas.Fill(0xFFFFFF);
  bitmap.Draw(canvas.dc(), 0, 0, width, height, 0, 0, width, height);
  EXPECT_EQ(test::ColorName(canvas.Pixel(3 * width / 4, 3 * height / 4)),
            "yellow");
}

TEST_F(ResourceBitmapInProcessTest, CopiesShareThePictureBeyondTheOriginal) {
  ResourceBitmap copy;
  {
    ResourceBitmap original(kQuadrantsJpeg, 0);
    ASSERT_FALSE(original.IsEmpty());
    copy = original;
    // Replacing the original's picture leaves the copy's alone.
    ASSERT_TRUE(original.Load(0, kOddSize2x));
    EXPECT_NE(original.Width(), copy.Width());
  }
  ASSERT_FALSE(copy.IsEmpty());
  const int w = copy.Width();
  const int h = copy.Height();
  test::MemoryCanvas canvas(64, 64);
  canvas.Fill(0xFFFFFF);
  copy.Draw(canvas.dc(), 0, 0, w, h, 0, 0, w, h);
  // A JPEG: colours are near, not exact.
  EXPECT_EQ(test::ColorName(canvas.Pixel(3 * w / 4, h / 4)), "blue");
}

}  // namespace
}  // namespace lite_installer
