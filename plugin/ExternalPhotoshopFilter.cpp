#include "ExternalPhotoshopFilter.h"

#include <unistd.h>

#include "ExchangeTransfer.h"

namespace {

// Deletes the exchange file when a run of Start ends, whichever way it ends.
struct TRemoveOnExit {
  std::string Name;
  ~TRemoveOnExit() {
    if (!Name.empty()) ::unlink(Name.c_str());
  }
};

// Writes the input into a new exchange file; false, leaving Name set for the clean-up,
// when the file cannot be made or written in full.
bool MakeExchangeFile(const TPhotoshopDataInfo& input, const uint8_t* inData, std::string& name) {
  const int file = MakeTempFileName(GetTempDirectory(), "PSPF", name);
  if (file < 0) return false;
  const bool written = quill::WriteExchangeInput(file, input, inData);
  // A failed close can report a write that never reached the file.
  return ::close(file) == 0 && written;
}

}  // namespace

TExternalPhotoshopFilter::TExternalPhotoshopFilter(const std::string& applicationPath,
                                                   const std::string& aboutCaption,
                                                   const std::string& aboutText) {
  SetApplicationPath(applicationPath);
  AboutCaption = aboutCaption;
  AboutText = aboutText;
}

void TExternalPhotoshopFilter::SetApplicationPath(const std::string& path) {
  ApplicationPath = path;
  const size_t slash = path.rfind('/');
  if (WorkingDirectory.empty() && slash != std::string::npos) {
    WorkingDirectory = slash == 0 ? "/" : path.substr(0, slash);
  }
}

int16_t TExternalPhotoshopFilter::Start(FilterRecord* record) {
  if (record == nullptr) {
    ShowErrorMessage("Get image data error.");
    return quill::kResultStartFailed;
  }
  if (record->imageMode != quill::kImageModeRGB) {
    ShowErrorMessage("Quillmere edits RGB images only; convert the image to RGB first.");
    ClearRects(*record);
    return quill::kResultStartFailed;
  }
  TPhotoshopDataInfo input;
  const uint8_t* inData = nullptr;
  if (!RequestInput(record->filterRect, *record, input, inData) || !quill::ValidHostImage(input, inData)) {
    ShowErrorMessage("Get image data error.");
    ClearRects(*record);
    return quill::kResultStartFailed;
  }

  const int16_t result = RoundTrip(*record, input, inData);
  ClearRects(*record);
  return result;
}

int16_t TExternalPhotoshopFilter::RoundTrip(FilterRecord& record, const TPhotoshopDataInfo& input,
                                            const uint8_t* inData) {
  TRemoveOnExit exchangeFile;
  if (!MakeExchangeFile(input, inData, exchangeFile.Name)) {
    ShowErrorMessage("Create temp file error.");
    return quill::kResultStartFailed;
  }
  pid_t process = 0;
  if (const int error = quill::StartProgram(ApplicationPath, exchangeFile.Name, WorkingDirectory, process);
      error != 0) {
    ShowErrorMessage("Execute application \"" + ApplicationPath + "\" error: " + std::to_string(error));
    return quill::kResultStartFailed;
  }
  if (!quill::WaitForExit(process, WaitIdle)) return quill::kResultNotCopied;

  TPhotoshopDataInfo output;
  uint8_t* outData = nullptr;
  if (!RequestOutput(record.filterRect, record, output, outData) || !quill::ValidHostImage(output, outData)) {
    ShowErrorMessage("Get out image data error.");
    return quill::kResultNotCopied;
  }
  switch (quill::ReadExchangeOutput(exchangeFile.Name, output, outData)) {
    case quill::TReadBack::Copied:
      return quill::kResultDone;
    case quill::TReadBack::NotExchangeFile:
      return quill::kResultNotCopied;
    case quill::TReadBack::Unusable:
      break;
  }
  ShowErrorMessage("Transfer image data error.");
  return quill::kResultNotCopied;
}
