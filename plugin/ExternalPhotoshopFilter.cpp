#include "ExternalPhotoshopFilter.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "ExchangeTransfer.h"
#include "HostProcess.h"
#include "ImageLimits.h"

namespace {

// Deletes the exchange file and the program's runtime folder when a run of Start ends,
// whichever way it ends.
struct TRemoveOnExit {
  std::string Name;
  std::string RuntimeFolder;
  ~TRemoveOnExit() {
    if (!Name.empty()) ::unlink(Name.c_str());
    std::error_code ignored;
    if (!RuntimeFolder.empty()) std::filesystem::remove_all(RuntimeFolder, ignored);
  }
};

// The environment the program starts with: the host's, with a runtime folder of its own
// when the host has none, and the number of the host's process descriptor when one
// could be made (HostProcess). Without a runtime folder, the toolkit would make "runtime-<user>"
// in the temporary folder and leave it there; a runtime folder the host has holds the
// session's sockets and is never replaced.
std::vector<std::string> ProgramEnvironment(bool hostProcess, std::string& runtimeFolder) {
  std::vector<std::string> environment = quill::CurrentEnvironment();
  if (hostProcess) {
    quill::SetEnvironmentValue(environment, quill::kHostProcessVariable,
                               std::to_string(quill::kHostProcessDescriptor));
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return environment;
  runtimeFolder = quill::MakeTempFolder(GetTempDirectory(), "PSP");
  if (!runtimeFolder.empty()) quill::SetEnvironmentValue(environment, "XDG_RUNTIME_DIR", runtimeFolder);
  return environment;
}

// The host's own process descriptor, which the program receives, closed when the
// start is done.
struct THostProcess {
  int Descriptor = quill::OpenProcessDescriptor(::getpid());  // -1 on a kernel without
  ~THostProcess() {
    if (Descriptor >= 0) ::close(Descriptor);
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
  if (!quill::ImageSizeAllowed(input.Width, input.Height)) {
    ShowErrorMessage("The image is too large for Quillmere: " + std::to_string(input.Width) + " x " +
                     std::to_string(input.Height) + " pixels; it takes at most " +
                     std::to_string(quill::kMaxImagePixels) + " pixels.");
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
  quill::TStartedProgram program;
  {
    const THostProcess host;
    const std::vector<std::string> environment =
        ProgramEnvironment(host.Descriptor >= 0, exchangeFile.RuntimeFolder);
    if (const int error = quill::StartProgram(ApplicationPath, exchangeFile.Name, WorkingDirectory, environment,
                                              host.Descriptor, program);
        error != 0) {
      ShowErrorMessage("Execute application \"" + ApplicationPath + "\" error: " + std::to_string(error));
      return quill::kResultStartFailed;
    }
  }
  if (!quill::WaitForExit(program, WaitIdle)) return quill::kResultNotCopied;

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
