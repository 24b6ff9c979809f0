// A picture of what the screen shows, for the developer tools that take screenshots: on
// a display (X11, Xvfb) the screen itself; without one (offscreen) every shown top-level
// window drawn where it stands, the main window first.

#ifndef QUILL_TOOLS_SCREENPICTURE_H_
#define QUILL_TOOLS_SCREENPICTURE_H_

#include <QImage>

namespace quill {

QImage ScreenPicture();

}  // namespace quill

#endif  // QUILL_TOOLS_SCREENPICTURE_H_
