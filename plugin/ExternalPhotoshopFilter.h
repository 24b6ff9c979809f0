// TExternalPhotoshopFilter: the filter that hands the host's image to the main program
// and brings the edited image back.
//
// Start, the only selector that works, runs the round trip:
//  1. The image must be RGB; otherwise it says so and returns -23 without starting
//     anything.
//  2. It asks the host for the pixels of filterRect and checks that they are usable
//     (buffer set, size at least 1 x 1, at least 3 planes, a row fits in the row bytes);
//     otherwise "Get image data error." and -23.
//     An image larger than the program takes (ImageSizeAllowed) is refused here with
//     a message that says so, and -23: the program would only refuse it.
//  3. It writes them into a new exchange file "PSP??????.tmp" in the temporary folder
//     (header: Mode, filterRect's left, top, width and height, the host's row bytes and
//     planes); when that fails, "Create temp file error." and -23.
//  4. It starts ApplicationPath with the arguments {ApplicationPath, the file's name} in
//     WorkingDirectory (StartProgram: a relative path counts from the host's working
//     folder, and the host's own reaping of children cannot take the program's exit);
//     when the host has no XDG_RUNTIME_DIR, the program gets a new folder
//     "PSP??????" in the temporary folder as its runtime folder. The program receives
//     the host's process descriptor (exchange/HostProcess.h), to see whether its host
//     is still there. When the start fails, "Execute application "<path>" error:
//     <errno>" and -23.
//  5. It waits for the program (WaitForExit), running WaitIdle between two polls,
//     while the host's thread takes its signals. Only a normal exit with status 0 goes on (the
//     program's -1 arrives as 255); anything else gives -128 without a message: the
//     user cancelled, or the program could not load the file and has said so.
//  6. It asks the host for the output buffer of filterRect and checks it as in 2;
//     otherwise "Get out image data error." and -128.
//  7. It reads the file back into the output buffer: 0 once the pixels are copied; a file
//     that is gone or no longer begins "PSPF" gives -128 without a message; a changed
//     size or mode, or a header that does not fit the file, gives "Transfer image data
//     error." and -128. All this is checked before anything is copied, so the output
//     buffer then stays as it was. Anything but a regular file in the file's place (a
//     named pipe) counts as gone, and is not waited on.
// Every path ends with the exchange file and the runtime folder deleted and inRect,
// outRect and maskRect cleared, so the host's Continue calls find nothing more to do.
// Messages go to standard error, one line each, beginning "Error: ".
//
// While the program runs, the host's thread stays inside Start: the host cannot pump its
// own events from there, so its windows do not repaint until the user leaves the
// program. Its signals reach it meanwhile: a host that is ended ends at once, and the
// program, finding its host gone, removes the exchange file and the runtime folder
// itself.

#ifndef QUILL_PLUGIN_EXTERNALPHOTOSHOPFILTER_H_
#define QUILL_PLUGIN_EXTERNALPHOTOSHOPFILTER_H_

#include <functional>
#include <string>

#include "PhotoshopFilter.h"
#include "PluginSystem.h"

class TExternalPhotoshopFilter : public TPhotoshopFilter {
 public:
  TExternalPhotoshopFilter(const std::string& applicationPath, const std::string& aboutCaption,
                           const std::string& aboutText);

  int16_t Start(FilterRecord* record) override;

  // ApplicationPath := Path; when WorkingDirectory is empty and Path holds a slash,
  // WorkingDirectory := the part of Path before its last slash ("/" for a program in the
  // root folder).
  void SetApplicationPath(const std::string& path);

  std::string WorkingDirectory;
  std::string ApplicationPath;
  // What the wait loop does between two polls of the running program, besides its
  // pause (nothing: the host gives the plug-in no way to pump its events).
  std::function<void()> WaitIdle = [] {};

 private:
  // Steps 3 to 7 of Start, with the exchange file deleted on return.
  int16_t RoundTrip(FilterRecord& record, const TPhotoshopDataInfo& input, const uint8_t* inData);
};

#endif  // QUILL_PLUGIN_EXTERNALPHOTOSHOPFILTER_H_
