// What the developer tools that take screenshots share. ScreenPicture is a picture of
// what the screen shows: on a display (X11, Xvfb) the screen itself; without one
// (offscreen) every shown top-level window drawn where it stands, the main window first.
// Settle lets the windows settle as a running event loop would, idle time included;
// SaveMainWindowPicture writes the screen's picture of the main window into a folder and
// says on standard output whether it could. SampleCableStroke gives the image pixels of
// the bundled dabs along the sample photo's cable (astronaut-wire.dabs), in order; empty
// when the file cannot be read. TShotProgram is the program the screenshot tools look
// at.

#ifndef QUILL_TOOLS_SCREENPICTURE_H_
#define QUILL_TOOLS_SCREENPICTURE_H_

#include <QImage>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <vector>

#include "WireEraserStroke.h"
#include "Program.h"

namespace quill {

QImage ScreenPicture();
void Settle(int milliseconds = 150);
void SaveMainWindowPicture(const QString& folder, const QString& name);
std::vector<TPoint> SampleCableStroke();
// The command line's output folder Argument, made when it is missing.
QString OutputFolder(const char* argument);
// ArgV[Index] when the command line has it, else the bundled sample photo.
QString PhotoArgument(int argc, char** argv, int index);

// The program as its main function starts it (TProgram, over ArgC and ArgV, which
// must outlive it), with the bundled images, in Language (the localizer's own when 0),
// on settings of its own that start empty, without the demo list it offers at start;
// its main window shown at (20, 20) in Size and settled. Every question is answered
// No, so no message box waits for a user. Going, it closes the main window. Name is
// the tool's, for its messages.
class TShotProgram {
 public:
  TShotProgram(int& argc, char** argv, const char* name, QSize size = QSize(1100, 760), uint16_t language = 0);
  ~TShotProgram();
  TShotProgram(const TShotProgram&) = delete;
  TShotProgram& operator=(const TShotProgram&) = delete;

  // Opens Photo through the program's own format table, as File > Open does, and lets
  // the window settle; false, with a message on standard error, when it cannot.
  bool OpenPhoto(const QString& photo);

 private:
  const char* const name_;
  TProgram program_;
  QTemporaryDir settings_;
};

}  // namespace quill

#endif  // QUILL_TOOLS_SCREENPICTURE_H_
