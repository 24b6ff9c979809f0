// A virtual X screen that a latency measurement drives: an Xvfb server started on a
// free display (-displayfd), real input sent through the XTest extension, and the
// screen read back through the MIT-SHM extension (XGetImage where shared memory is
// refused).
//
// TXSession::Start starts the server and connects; false, with a message on standard
// error, when the server does not start or lacks XTest. Every input call flushes, so
// the event has left this process when it returns. Grab gives the pixels of a screen
// rectangle as 0x00RRGGBB values, rows top first; the rectangle must lie on the screen.
// TopLevels lists the root's children that are shown, with their WM_NAME. The
// destructor closes the connection and ends the server. Single thread.

#ifndef QUILL_TOOLS_XSESSION_H_
#define QUILL_TOOLS_XSESSION_H_

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quill {

struct TScreenRect {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

struct TTopLevel {
  unsigned long Id = 0;
  std::string Name;
  TScreenRect Bounds;
};

class TXSession {
 public:
  TXSession() = default;
  ~TXSession();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  bool Start(int width, int height);
  // ":N", for the programs started on this screen.
  const std::string& DisplayName() const { return displayName_; }
  // The server's process, leader of its own process group.
  pid_t ServerPid() const { return server_; }

  // Keys by keysym (X11/keysymdef.h); a keysym that needs Shift gets it.
  void Key(unsigned long keysym, bool press);
  void TapKey(unsigned long keysym);
  // Taps each character of Text (printable ASCII).
  void Type(const std::string& text);
  void Move(int x, int y);
  void Button(int button, bool press);

  std::vector<uint32_t> Grab(const TScreenRect& rect);
  std::vector<TTopLevel> TopLevels();
  void MoveResize(unsigned long window, const TScreenRect& bounds);
  void Focus(unsigned long window);

 private:
  struct TShmImage;
  TShmImage* ImageFor(int width, int height);
  unsigned KeycodeFor(unsigned long keysym, bool& shift);

  pid_t server_ = -1;
  void* display_ = nullptr;  // Display*
  std::string displayName_;
  bool shm_ = false;
  std::map<std::pair<int, int>, TShmImage*> images_;
};

}  // namespace quill

#endif  // QUILL_TOOLS_XSESSION_H_
