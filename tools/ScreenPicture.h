// What the developer tools that take screenshots share. ScreenPicture is a picture of
// what the screen shows: on a display (X11, Xvfb) the screen itself; without one
// (offscreen) every shown top-level window drawn where it stands, the main window first.
// Settle lets the windows settle as a running event loop would, idle time included;
// SaveMainWindowPicture writes the screen's picture of the main window into a folder and
// says on standard output whether it could.

#ifndef QUILL_TOOLS_SCREENPICTURE_H_
#define QUILL_TOOLS_SCREENPICTURE_H_

#include <QImage>
#include <QString>

namespace quill {

QImage ScreenPicture();
void Settle(int milliseconds = 150);
void SaveMainWindowPicture(const QString& folder, const QString& name);

}  // namespace quill

#endif  // QUILL_TOOLS_SCREENPICTURE_H_
