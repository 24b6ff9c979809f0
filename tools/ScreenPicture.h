// What the developer tools that take screenshots share. ScreenPicture is a picture of
// what the screen shows: on a display (X11, Xvfb) the screen itself; without one
// (offscreen) every shown top-level window drawn where it stands, the main window first.
// Settle lets the windows settle as a running event loop would, idle time included;
// SaveMainWindowPicture writes the screen's picture of the main window into a folder and
// says on standard output whether it could. SampleCableStroke gives the image pixels of
// the bundled dabs along the sample photo's cable (astronaut-wire.dabs), in order; empty
// when the file cannot be read.

#ifndef QUILL_TOOLS_SCREENPICTURE_H_
#define QUILL_TOOLS_SCREENPICTURE_H_

#include <QImage>
#include <QString>

#include <vector>

#include "WireEraserStroke.h"

namespace quill {

QImage ScreenPicture();
void Settle(int milliseconds = 150);
void SaveMainWindowPicture(const QString& folder, const QString& name);
std::vector<TPoint> SampleCableStroke();

}  // namespace quill

#endif  // QUILL_TOOLS_SCREENPICTURE_H_
