// TPhotoshopFilter: the filter object behind the entry point, with one operation per
// selector, and the helpers through which a filter asks the host for pixels.
//
// The library holds one filter object, FilterInstance, made when the library starts
// and freed when it is unloaded; ENTRYPOINT dispatches every selector to it. The base
// answers every selector with 0 and does no work; About writes the about text. Messages
// go to standard error: a library without a windowing toolkit has no window of its own
// to show them in, and standard error is what every host on this platform keeps.

#ifndef QUILL_PLUGIN_PHOTOSHOPFILTER_H_
#define QUILL_PLUGIN_PHOTOSHOPFILTER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "ExchangeFile.h"
#include "PluginHost.h"

class TPhotoshopFilter {
 public:
  // Makes the new object the FilterInstance; AboutCaption is "About".
  TPhotoshopFilter();
  // Clears FilterInstance when it is this object.
  virtual ~TPhotoshopFilter();
  TPhotoshopFilter(const TPhotoshopFilter&) = delete;
  TPhotoshopFilter& operator=(const TPhotoshopFilter&) = delete;

  // The selectors. Each takes the host's record (null when the host passed none) and
  // returns the result code for the host.
  virtual int16_t About(void* record);  // shows the about text; 0
  virtual int16_t Parameters(FilterRecord* record);
  virtual int16_t Prepare(FilterRecord* record);
  virtual int16_t Start(FilterRecord* record);
  virtual int16_t Continue(FilterRecord* record);
  virtual int16_t Finish(FilterRecord* record);

  // Writes AboutCaption and, below it, AboutText to standard error.
  virtual void ShowAbout();

  std::string AboutCaption;
  std::string AboutText;
};

// The filter object of the loaded library, or null.
extern TPhotoshopFilter* FilterInstance;

// Asks the host for the input pixels of Rect: zeroes maskRect and outRect, requests
// inRect := Rect with every plane, and calls advanceState. False when the callback is
// missing or fails. Otherwise Header describes the input (HeaderSize 32, Mode the
// image mode, Left and Top of filterRect, Width and Height of filterRect, RowBytes
// inRowBytes, Planes planes) and InData is the host's inData. Nothing is checked here.
bool RequestInput(const quill::HostRect& rect, FilterRecord& record, TPhotoshopDataInfo& header,
                  const uint8_t*& inData);

// The same for output: zeroes maskRect and inRect, requests outRect := Rect with every
// plane, calls advanceState; Header's size comes from outRect, RowBytes from
// outRowBytes; OutData is the host's outData.
bool RequestOutput(const quill::HostRect& rect, FilterRecord& record, TPhotoshopDataInfo& header,
                   uint8_t*& outData);

// Zeroes maskRect, inRect and outRect, so that the host asks for nothing more.
void ClearRects(FilterRecord& record);

// Writes "Error: " and Text as one line to standard error.
void ShowErrorMessage(std::string_view text);

#endif  // QUILL_PLUGIN_PHOTOSHOPFILTER_H_
