// quill-wire-repair: paints a list of Wire Eraser dabs over a picture through the
// tool's own stroke code, writes the repaired picture as a PNG and reports the time
// per dab and a fingerprint of the result's pixels. The inpainting-quality benchmark
// runs it on photographs with known defects.
//
//   quill-wire-repair INPUT.png DABS.txt OUTPUT.png [--noise N]
//
// INPUT may be any picture the program reads (PNG, JPEG, TIFF, BMP, GIF), judged by
// its content.
//
// DABS.txt holds one dab a line, "stroke x y diameter" (x the column, y the row, both
// real), in painting order. Blank lines and lines whose first non-blank character is
// '#' are skipped. Consecutive dabs with the same stroke number form one stroke. A dab
// is centred on the pixel holding (x, y), its Size is the diameter rounded and limited
// to the brush's 5..50, and it is repaired with the left button's stroke, Cumulative
// Effect on.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "DriverSupport.h"
#include "WireEraserStroke.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"
#include "ZelTypes.h"

namespace {

constexpr char kProgram[] = "quill-wire-repair";
constexpr char kUsage[] = "usage: quill-wire-repair INPUT.png DABS.txt OUTPUT.png [--noise N]";

// Dab numbers beyond this magnitude are rejected, so that every dab rectangle stays
// well inside 32-bit coordinates.
constexpr double kMaxDabValue = 1e9;

// A dab line longer than this is rejected rather than read whole.
constexpr int kMaxLineLength = 1000;

struct Options {
  std::string input;
  std::string dabs;
  std::string output;
  int noise = quill::kDefaultBackgroundNoise;
};

struct Dab {
  int64_t stroke = 0;
  double x = 0;
  double y = 0;
  double diameter = 0;
};

bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--noise") {
      if (i + 1 == argc || !quill::ParseWhole(std::string_view(argv[i + 1]), options.noise) ||
          options.noise < quill::kMinBackgroundNoise || options.noise > quill::kMaxBackgroundNoise) {
        error = "--noise takes an integer from 0 to 100";
        return false;
      }
      ++i;
    } else if (arg.starts_with("-")) {
      error = "unknown option " + std::string(arg);
      return false;
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.size() != 3) {
    error = "expected INPUT.png, DABS.txt and OUTPUT.png";
    return false;
  }
  options.input = files[0];
  options.dabs = files[1];
  options.output = files[2];
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The blank-separated fields of Line.
std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    if (IsBlank(line[pos])) {
      ++pos;
      continue;
    }
    const size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos])) ++pos;
    fields.push_back(line.substr(start, pos - start));
  }
  return fields;
}

// A dab coordinate or diameter: a finite real within +-kMaxDabValue.
bool ParseDabValue(std::string_view text, double& value) {
  return quill::ParseWhole(text, value) && std::isfinite(value) && std::fabs(value) <= kMaxDabValue;
}

// Parses the fields of a dab line into Dab. Returns nullptr when they are valid,
// else what is wrong with them.
const char* ParseDab(const std::vector<std::string_view>& fields, Dab& dab) {
  if (fields.size() != 4) return "expected 4 fields: stroke x y diameter";
  if (!quill::ParseWhole(fields[0], dab.stroke)) return "the stroke is not an integer";
  if (!ParseDabValue(fields[1], dab.x) || !ParseDabValue(fields[2], dab.y) ||
      !ParseDabValue(fields[3], dab.diameter)) {
    return "x, y and diameter must be numbers within +-1e9";
  }
  return nullptr;
}

// Reads every dab of the file at Path; on a malformed line, Error names the file and
// the line.
bool ReadDabs(const std::string& path, std::vector<Dab>& dabs, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  char buffer[kMaxLineLength + 1];
  int64_t lineNumber = 0;
  while (in.getline(buffer, sizeof buffer)) {
    ++lineNumber;
    // gcount() counts the newline too, unless the last line has none.
    const size_t length = static_cast<size_t>(in.gcount()) - (in.eof() ? 0 : 1);
    const std::vector<std::string_view> fields = SplitFields(std::string_view(buffer, length));
    if (fields.empty() || fields[0].starts_with("#")) continue;
    Dab dab;
    if (const char* problem = ParseDab(fields, dab)) {
      error = path + ":" + std::to_string(lineNumber) + ": " + problem;
      return false;
    }
    dabs.push_back(dab);
  }
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (!in.eof()) {  // getline stopped on a full buffer
    error = path + ":" + std::to_string(lineNumber + 1) + ": line longer than " +
            std::to_string(kMaxLineLength) + " characters";
    return false;
  }
  return true;
}

// Paints Dabs over Image through the tool's stroke code, one stroke for each run of
// dabs with the same stroke number. Each stroke reads from a copy of the image as it
// stood when the stroke started, so its dabs never feed on their own output. Timings
// receives the time in microseconds of every dab that reaches the image.
bool RepairDabs(const std::vector<Dab>& dabs, int noise, TZelPixels& image, std::vector<double>& timings,
                std::string& error) {
  TZelPixelBuffer strokeCopy;
  if (!strokeCopy.Allocate(quill::kPixelFormat24, image.GetBounds())) {
    error = "not enough memory for a copy of the image";
    return false;
  }
  strokeCopy.CopyFrom(image);

  quill::TWireEraserOptions options;
  options.BackgroundNoise = noise;
  quill::TWireEraserStroke stroke;
  for (size_t i = 0; i < dabs.size(); ++i) {
    const Dab& dab = dabs[i];
    if (i == 0 || dab.stroke != dabs[i - 1].stroke) {
      // The driver keeps Cumulative Effect on, so the image as opened is never read:
      // the pre-stroke copy stands in for it.
      const quill::TRect changed = stroke.End();
      strokeCopy.CopyRect(changed.Left, changed.Top, image, changed);
      stroke.Begin(image, strokeCopy, strokeCopy, false);
    }
    const auto start = std::chrono::steady_clock::now();
    const quill::TWireEraserDab done =
        stroke.ApplyDab(quill::ImagePixelAt(dab.x, dab.y), quill::WireEraserSize(dab.diameter), options);
    const auto stop = std::chrono::steady_clock::now();
    if (!done.Changed.IsEmpty()) {
      timings.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
  }
  stroke.End();
  return true;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t half = values.size() / 2;
  return values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    return quill::FailUsage(kProgram, error, kUsage);
  }
  std::vector<Dab> dabs;
  if (!ReadDabs(options.dabs, dabs, error)) return quill::Fail(kProgram, error);
  TZelLTBitmap image;
  if (!quill::ReadImage(options.input, image, error)) return quill::Fail(kProgram, error);

  std::vector<double> timings;
  TZelPixels& pixels = image.GetPixels();
  if (!RepairDabs(dabs, options.noise, pixels, timings, error)) return quill::Fail(kProgram, error);
  if (!quill::WritePng(options.output, pixels, error)) return quill::Fail(kProgram, error);

  double total = 0;
  for (double t : timings) total += t;
  std::printf("dabs: %zu (%zu inside the image)\n", dabs.size(), timings.size());
  std::printf("time per dab: median %.1f us, total %.1f us\n", Median(timings), total);
  std::printf("pixels %016llx\n", static_cast<unsigned long long>(quill::PixelDigest(pixels)));
  std::printf("wrote %s\n", options.output.c_str());
  return 0;
}
