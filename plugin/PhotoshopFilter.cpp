#include "PhotoshopFilter.h"

#include "PluginSystem.h"

TPhotoshopFilter* FilterInstance = nullptr;

TPhotoshopFilter::TPhotoshopFilter() : AboutCaption("About") { FilterInstance = this; }

TPhotoshopFilter::~TPhotoshopFilter() {
  if (FilterInstance == this) FilterInstance = nullptr;
}

int16_t TPhotoshopFilter::About(void*) {
  ShowAbout();
  return quill::kResultDone;
}

int16_t TPhotoshopFilter::Parameters(FilterRecord*) { return quill::kResultDone; }
int16_t TPhotoshopFilter::Prepare(FilterRecord*) { return quill::kResultDone; }
int16_t TPhotoshopFilter::Start(FilterRecord*) { return quill::kResultDone; }
int16_t TPhotoshopFilter::Continue(FilterRecord*) { return quill::kResultDone; }
int16_t TPhotoshopFilter::Finish(FilterRecord*) { return quill::kResultDone; }

void TPhotoshopFilter::ShowAbout() { quill::WriteToStandardError(AboutCaption + "\n" + AboutText + "\n"); }

namespace {

// The header of Rect as the host laid it out, 16-bit values sign-extended.
TPhotoshopDataInfo HeaderOf(const quill::HostRect& rect, const FilterRecord& record, int32_t rowBytes) {
  return {quill::kExchangeHeaderSize,
          record.imageMode,
          record.filterRect.left,
          record.filterRect.top,
          int32_t{rect.right} - rect.left,
          int32_t{rect.bottom} - rect.top,
          rowBytes,
          record.planes};
}

}  // namespace

bool RequestInput(const quill::HostRect& rect, FilterRecord& record, TPhotoshopDataInfo& header,
                  const uint8_t*& inData) {
  record.maskRect = {};
  record.outRect = {};
  record.inRect = rect;
  record.inLoPlane = 0;
  record.inHiPlane = static_cast<int16_t>(record.planes - 1);
  if (record.advanceState == nullptr || record.advanceState() != 0) return false;
  header = HeaderOf(record.filterRect, record, record.inRowBytes);
  inData = static_cast<const uint8_t*>(record.inData);
  return true;
}

bool RequestOutput(const quill::HostRect& rect, FilterRecord& record, TPhotoshopDataInfo& header,
                   uint8_t*& outData) {
  record.maskRect = {};
  record.inRect = {};
  record.outRect = rect;
  record.outLoPlane = 0;
  record.outHiPlane = static_cast<int16_t>(record.planes - 1);
  if (record.advanceState == nullptr || record.advanceState() != 0) return false;
  header = HeaderOf(record.outRect, record, record.outRowBytes);
  outData = static_cast<uint8_t*>(record.outData);
  return true;
}

void ClearRects(FilterRecord& record) {
  record.maskRect = {};
  record.inRect = {};
  record.outRect = {};
}

void ShowErrorMessage(std::string_view text) {
  quill::WriteToStandardError("Error: " + std::string(text) + "\n");
}
