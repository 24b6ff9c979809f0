// quill-patch-fill: fills one Hand Inpainting area of a picture from another part of
// it the way the tool does on one pointer move, writes the result as a PNG and reports
// the orientation chosen, the engine's times and a fingerprint of the result's pixels.
//
//   quill-patch-fill INPUT.png OUTPUT.png --area X,Y,SIZE --source X,Y [--mode 0|1|2]
//                    [--no-blend] [--no-long-defect] [--orientation K|auto]
//
// The area is the SIZE-wide square around (X, Y) (X the column, Y the row), its
// power-disc pixels marked; it is filled from the square of the same size around the
// source point. The defaults are the tool's: mode 2 (colour surface), blending on,
// long-defect outlier removal on, best orientation chosen automatically. INPUT may be
// any picture the program reads (PNG, JPEG, TIFF, BMP, GIF), judged by its content.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "AreaCorrelation.h"
#include "DriverSupport.h"
#include "HandInpaintingArea.h"
#include "HandInpaintingFill.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"
#include "ZelTypes.h"

namespace {

constexpr char kProgram[] = "quill-patch-fill";
constexpr char kUsage[] =
    "usage: quill-patch-fill INPUT.png OUTPUT.png --area X,Y,SIZE --source X,Y [--mode 0|1|2]\n"
    "                        [--no-blend] [--no-long-defect] [--orientation K|auto]";

// Points beyond this magnitude are rejected, so that every square stays well inside
// 32-bit coordinates.
constexpr int32_t kMaxCoordinate = 1000000000;

constexpr int kAutoOrientation = -1;

struct Options {
  std::string input;
  std::string output;
  bool hasArea = false;
  bool hasSource = false;
  quill::TPoint area;
  int32_t size = 0;
  quill::TPoint source;
  int32_t mode = TAreaCorrelator::kModeColor;
  bool blend = true;
  bool longDefect = true;
  int orientation = kAutoOrientation;
};

// Parses the whole of Text as an integer from Min to Max.
bool ParseInt(std::string_view text, int32_t min, int32_t max, int32_t& value) {
  return quill::ParseWhole(text, value) && value >= min && value <= max;
}

// The comma-separated fields of Text; an empty field stays empty.
std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

bool ParsePoint(std::string_view x, std::string_view y, quill::TPoint& point) {
  return ParseInt(x, -kMaxCoordinate, kMaxCoordinate, point.X) &&
         ParseInt(y, -kMaxCoordinate, kMaxCoordinate, point.Y);
}

// Parses Value, the value of the option Arg (nullptr when the command line ended);
// Error says what is wrong.
bool ParseOption(std::string_view arg, const char* value, Options& options, std::string& error) {
  if (value == nullptr) {
    error = std::string(arg) + " needs a value";
    return false;
  }
  const std::string_view text = value;
  if (arg == "--area") {
    const std::vector<std::string_view> fields = SplitCommas(text);
    if (fields.size() != 3 || !ParsePoint(fields[0], fields[1], options.area)) {
      error = "--area takes X,Y,SIZE: three integers, X and Y within +-1e9";
      return false;
    }
    if (!ParseInt(fields[2], quill::kHandInpaintingMinSize, quill::kHandInpaintingMaxSize, options.size)) {
      error = "--area SIZE must be an integer from " + std::to_string(quill::kHandInpaintingMinSize) +
              " to " + std::to_string(quill::kHandInpaintingMaxSize);
      return false;
    }
    options.hasArea = true;
  } else if (arg == "--source") {
    const std::vector<std::string_view> fields = SplitCommas(text);
    if (fields.size() != 2 || !ParsePoint(fields[0], fields[1], options.source)) {
      error = "--source takes X,Y: two integers within +-1e9";
      return false;
    }
    options.hasSource = true;
  } else if (arg == "--mode") {
    if (!ParseInt(text, TAreaCorrelator::kModeCopy, TAreaCorrelator::kModeColor, options.mode)) {
      error = "--mode takes 0 (copy), 1 (brightness surface) or 2 (colour surface)";
      return false;
    }
  } else {  // --orientation
    int32_t k = 0;
    if (text == "auto") {
      options.orientation = kAutoOrientation;
    } else if (ParseInt(text, 0, 7, k)) {
      options.orientation = k;
    } else {
      error = "--orientation takes an integer from 0 to 7, or auto";
      return false;
    }
  }
  return true;
}

bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--area" || arg == "--source" || arg == "--mode" || arg == "--orientation") {
      if (!ParseOption(arg, i + 1 < argc ? argv[i + 1] : nullptr, options, error)) return false;
      ++i;
    } else if (arg == "--no-blend") {
      options.blend = false;
    } else if (arg == "--no-long-defect") {
      options.longDefect = false;
    } else if (arg.starts_with("-")) {
      error = "unknown option " + std::string(arg);
      return false;
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.size() != 2) {
    error = "expected INPUT.png and OUTPUT.png";
    return false;
  }
  if (!options.hasArea || !options.hasSource) {
    error = "both --area and --source are required";
    return false;
  }
  options.input = files[0];
  options.output = files[1];
  return true;
}

std::string Describe(const quill::TRect& r) {
  return "(" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ")-(" +
         std::to_string(r.Right) + ", " + std::to_string(r.Bottom) + ")";
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    return quill::FailUsage(kProgram, error, kUsage);
  }
  TZelLTBitmap input;
  if (!quill::ReadImage(options.input, input, error)) return quill::Fail(kProgram, error);
  const TZelPixels& source = input.GetPixels();

  // A square wholly beside the image gives the tool nothing to fill (no area) or
  // nothing to fill from (no source); both are refused here. Squares that run partly
  // off the image are used as the tool uses them: only pixels inside take part.
  const quill::TRect areaRect = quill::HandInpaintingSquare(options.area, options.size);
  const quill::TRect sourceRect = quill::HandInpaintingSquare(options.source, options.size);
  const std::string imageSize =
      std::to_string(source.Width()) + " x " + std::to_string(source.Height());
  if (quill::IntersectRect(areaRect, source.GetBounds()).IsEmpty()) {
    return quill::Fail(kProgram, "the area square " + Describe(areaRect) + " lies outside the image (" + imageSize +
                ")");
  }
  if (quill::IntersectRect(sourceRect, source.GetBounds()).IsEmpty()) {
    return quill::Fail(kProgram, "the source square " + Describe(sourceRect) + " lies outside the image (" +
                imageSize + ")");
  }
  TZelPixelBuffer target;
  if (!target.Allocate(quill::kPixelFormat24, source.GetBounds())) {
    return quill::Fail(kProgram, "not enough memory for a copy of the image");
  }
  target.CopyFrom(source);
  TZelPixelMask dab;
  quill::HandInpaintingDab(dab, options.size);

  const quill::THandInpaintingOptions fillOptions{.LongDefect = options.longDefect, .AntiAliasing = options.blend};

  // Marking: the tool's click and first render.
  const auto markStart = std::chrono::steady_clock::now();
  quill::THandInpaintingFill fill;
  fill.Mark(areaRect, source, target, dab);
  fill.Restore(fillOptions);
  const auto markStop = std::chrono::steady_clock::now();

  // Filling: one pointer move.
  uint8_t orientation = static_cast<uint8_t>(options.orientation);
  if (options.orientation == kAutoOrientation) orientation = fill.BestOrientation(sourceRect, fillOptions);
  fill.Fill(sourceRect, orientation, options.mode, fillOptions);
  const auto fillStop = std::chrono::steady_clock::now();
  const TAreaCorrelator& engine = *fill.Engine();

  if (!quill::WritePng(options.output, target, error)) return quill::Fail(kProgram, error);

  std::printf("area %s: %d rim pixels (%d after outlier removal), %d interior pixels\n",
              Describe(areaRect).c_str(), fill.SplitRimCount(), engine.Border().Count(), engine.Interior().Count());
  std::printf("source %s, mode %d, blend %s\n", Describe(sourceRect).c_str(), options.mode,
              options.blend ? "on" : "off");
  std::printf("orientation %d (%s), correlation %.6f\n", orientation,
              options.orientation == kAutoOrientation ? "auto" : "given",
              engine.Correlation(sourceRect, orientation));
  std::printf("marking %.3f ms, filling %.3f ms\n", Milliseconds(markStop - markStart),
              Milliseconds(fillStop - markStop));
  std::printf("pixels %016llx\n", static_cast<unsigned long long>(quill::PixelDigest(target)));
  std::printf("wrote %s\n", options.output.c_str());
  return 0;
}
