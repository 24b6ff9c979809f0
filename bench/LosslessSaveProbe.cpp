// quill-lossless-save-probe SOURCE TARGET edit|turn|none: one lossless JPEG save in a
// fresh process, through the program's own load and save (the graphics format table on
// a graphics document), as the user meets it after File > Open.
//
// After the load it makes the change named: "edit" paints a 50 x 50 square in the
// middle of the picture inside a document operation (so the original image and the
// committed copy have blocks of their own, as after a stroke), "turn" turns the
// picture a quarter clockwise, "none" changes nothing. Then it saves to TARGET as a
// JPEG and prints the save's wall-clock milliseconds and the process's peak resident
// memory (VmHWM, MiB) on one line. Exit status 1 when the load or the save fails.

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsFormats.h"

namespace {

// VmHWM of this process in MiB; -1 when it cannot be read.
double PeakResidentMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: quill-lossless-save-probe SOURCE TARGET edit|turn|none\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const std::string change = argv[3];
  TZelGraphicsFormats formats;
  auto document = std::make_unique<TZelGraphicsDocument>(nullptr);
  int32_t formatId = -2;
  if (!formats.Load(document.get(), QString::fromLocal8Bit(argv[1]), formatId) || formatId != 0) {
    std::fprintf(stderr, "cannot open %s losslessly\n", argv[1]);
    return 1;
  }
  if (change == "edit") {
    if (!document->BeginOperation(nullptr)) return 1;
    TZelPixels& pixels = document->GetCurrentPixels();
    const int32_t left = pixels.Width() / 2, top = pixels.Height() / 2;
    for (int32_t y = top; y < top + 50 && y < pixels.Height(); ++y) {
      std::memset(pixels.GetPixelAddress(left, y), 255, static_cast<size_t>(std::min(50, pixels.Width() - left)) * 3);
    }
    document->AddDirtyRect({left, top, left + 50, top + 50}, true);
    document->ResetOperation();
    document->SyncCommittedCopy();
  } else if (change == "turn") {
    if (!document->RotateRight()) return 1;
  } else if (change != "none") {
    std::fprintf(stderr, "unknown change %s\n", argv[3]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const bool saved = formats.Save(document.get(), QString::fromLocal8Bit(argv[2]), 0);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!saved) {
    std::fprintf(stderr, "cannot save %s\n", argv[2]);
    return 1;
  }
  std::printf("%.1f %.0f\n", ms, PeakResidentMiB());
  return 0;
}
