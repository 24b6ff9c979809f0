// The host's side of the filter plug-in interface, as far as this plug-in uses it: the
// entry point, its selectors, the filter record's fields, the advance-state callback and
// the result codes. Written for this plug-in; it declares only what the plug-in reads
// or writes, and both the plug-in and the test host build against it.
//
// A host loads the library, looks up ENTRYPOINT and calls it with selectors in its own
// order: About on its own; for one run Parameters, Prepare, Start, then Continue as long
// as any of inRect, outRect and maskRect is not empty, then Finish. The record stays
// the host's: the plug-in sets the rectangles and planes it wants, calls advanceState,
// and then finds inData / outData (with their row bytes) pointing at the host's pixels
// for those rectangles. Pixels are 8 bits per plane, planes interleaved: a pixel is
// `planes` bytes, red, green, blue and then any further planes.
//
// The library also carries its property resource, which tells a host what the filter
// is without running it: the contents of the ELF section ".pipl" (see PluginEntry.cpp
// for the layout).

#ifndef QUILL_PLUGIN_PLUGINHOST_H_
#define QUILL_PLUGIN_PLUGINHOST_H_

#include <cstdint>

namespace quill {

// Selectors, the first argument of ENTRYPOINT.
constexpr int16_t kSelectorAbout = 0;
constexpr int16_t kSelectorParameters = 1;
constexpr int16_t kSelectorPrepare = 2;
constexpr int16_t kSelectorStart = 3;
constexpr int16_t kSelectorContinue = 4;
constexpr int16_t kSelectorFinish = 5;

// Result codes the plug-in gives back.
constexpr int16_t kResultDone = 0;
// Start failed before the main program was running.
constexpr int16_t kResultStartFailed = -23;
// The main program ran but nothing was copied back (the user cancelled, or the result
// could not be used).
constexpr int16_t kResultNotCopied = -128;
// No filter object exists, or the selector is not 0 to 5.
constexpr int16_t kResultUnhandled = -30100;

// The image mode of an RGB image, the only mode the filter takes.
constexpr int16_t kImageModeRGB = 3;

// A rectangle in the host's image, half-open: right and bottom are exclusive.
struct HostRect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// Asks the host to make inData / outData match the requested rectangles and planes.
// 0 on success, anything else on failure.
using AdvanceStateProc = int16_t (*)();

}  // namespace quill

// The record a host passes with the selectors Parameters to Finish.
struct FilterRecord {
  int16_t planes;      // planes of the image, 3 for RGB, 4 with transparency
  quill::HostRect filterRect;  // what the filter works on
  quill::HostRect inRect;      // requested input
  int16_t inLoPlane;
  int16_t inHiPlane;
  quill::HostRect outRect;  // requested output
  int16_t outLoPlane;
  int16_t outHiPlane;
  const void* inData;  // the host's input pixels for inRect
  int32_t inRowBytes;  // from one input row to the next
  void* outData;       // the host's output pixels for outRect
  int32_t outRowBytes;
  quill::HostRect maskRect;  // requested mask; the plug-in asks for none
  int16_t imageMode;
  quill::AdvanceStateProc advanceState;
};

namespace quill {

// The entry point: Record is the host's record for Selector (a FilterRecord for
// Parameters to Finish; not read for About), Data is not used, and *Result receives
// the result code.
using EntryPointProc = void (*)(int16_t selector, void* record, void* data, int16_t* result);

}  // namespace quill

#endif  // QUILL_PLUGIN_PLUGINHOST_H_
