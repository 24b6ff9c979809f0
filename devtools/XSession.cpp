#include "XSession.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quill {

namespace {

Display* Dpy(void* display) { return static_cast<Display*>(display); }

// Reads the display number Xvfb writes to Fd once it listens; -1 after five seconds.
int ReadDisplayNumber(int fd) {
  std::string text;
  for (int waited = 0; waited < 5000;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      waited += 100;
      continue;
    }
    char buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.find('\n') != std::string::npos) return std::atoi(text.c_str());
  }
  return -1;
}

// Windows come and go while they are listed: a request about one that has just gone
// fails, and that failure is no reason to end the measurement.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

struct TXSession::TShmImage {
  XImage* Image = nullptr;
  XShmSegmentInfo Segment{};
};

TXSession::~TXSession() {
  if (display_ != nullptr) {
    for (auto& [size, image] : images_) {
      XShmDetach(Dpy(display_), &image->Segment);
      image->Image->data = nullptr;
      XDestroyImage(image->Image);
      shmdt(image->Segment.shmaddr);
      delete image;
    }
    XCloseDisplay(Dpy(display_));
  }
  if (server_ > 0) {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

bool TXSession::Start(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fd = std::to_string(fds[1]);
  server_ = fork();
  if (server_ == 0) {
    setpgid(0, 0);
    close(fds[0]);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "-nocursor", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  const int number = server_ > 0 ? ReadDisplayNumber(fds[0]) : -1;
  close(fds[0]);
  if (number < 0) {
    std::fprintf(stderr, "quill-latency: Xvfb did not start\n");
    return false;
  }
  displayName_ = ":" + std::to_string(number);
  XSetErrorHandler(IgnoreError);
  display_ = XOpenDisplay(displayName_.c_str());
  if (display_ == nullptr) {
    std::fprintf(stderr, "quill-latency: cannot open display %s\n", displayName_.c_str());
    return false;
  }
  int event, error, major, minor;
  if (!XTestQueryExtension(Dpy(display_), &event, &error, &major, &minor)) {
    std::fprintf(stderr, "quill-latency: the X server has no XTest\n");
    return false;
  }
  shm_ = XShmQueryExtension(Dpy(display_));
  // A held key must not repeat: Space held through a drag would repeat otherwise.
  XAutoRepeatOff(Dpy(display_));
  XSync(Dpy(display_), False);
  return true;
}

unsigned TXSession::KeycodeFor(unsigned long keysym, bool& shift) {
  const KeyCode code = XKeysymToKeycode(Dpy(display_), keysym);
  shift = code != 0 && XkbKeycodeToKeysym(Dpy(display_), code, 0, 0) != keysym &&
          XkbKeycodeToKeysym(Dpy(display_), code, 0, 1) == keysym;
  return code;
}

void TXSession::Key(unsigned long keysym, bool press) {
  bool shift = false;
  const unsigned code = KeycodeFor(keysym, shift);
  if (code == 0) {
    std::fprintf(stderr, "quill-latency: no key for keysym 0x%lx\n", keysym);
    return;
  }
  const unsigned shiftCode = XKeysymToKeycode(Dpy(display_), XK_Shift_L);
  if (shift && press) XTestFakeKeyEvent(Dpy(display_), shiftCode, True, CurrentTime);
  XTestFakeKeyEvent(Dpy(display_), code, press ? True : False, CurrentTime);
  if (shift && !press) XTestFakeKeyEvent(Dpy(display_), shiftCode, False, CurrentTime);
  XFlush(Dpy(display_));
}

void TXSession::TapKey(unsigned long keysym) {
  Key(keysym, true);
  Key(keysym, false);
}

void TXSession::Type(const std::string& text) {
  // Latin-1 keysyms equal the characters' codes.
  for (const char c : text) TapKey(static_cast<unsigned char>(c));
}

void TXSession::Move(int x, int y) {
  XTestFakeMotionEvent(Dpy(display_), 0, x, y, CurrentTime);
  XFlush(Dpy(display_));
}

void TXSession::Button(int button, bool press) {
  XTestFakeButtonEvent(Dpy(display_), static_cast<unsigned>(button), press ? True : False, CurrentTime);
  XFlush(Dpy(display_));
}

TXSession::TShmImage* TXSession::ImageFor(int width, int height) {
  auto found = images_.find({width, height});
  if (found != images_.end()) return found->second;
  Display* display = Dpy(display_);
  const int screen = DefaultScreen(display);
  auto* image = new TShmImage;
  image->Image = XShmCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, nullptr, &image->Segment,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height));
  image->Segment.shmid =
      shmget(IPC_PRIVATE, static_cast<size_t>(image->Image->bytes_per_line) * height, IPC_CREAT | 0600);
  image->Segment.shmaddr = image->Image->data = static_cast<char*>(shmat(image->Segment.shmid, nullptr, 0));
  image->Segment.readOnly = False;
  XShmAttach(display, &image->Segment);
  XSync(display, False);
  // Removed now, freed when both sides detach.
  shmctl(image->Segment.shmid, IPC_RMID, nullptr);
  images_[{width, height}] = image;
  return image;
}

std::vector<uint32_t> TXSession::Grab(const TScreenRect& rect) {
  Display* display = Dpy(display_);
  const Window root = DefaultRootWindow(display);
  std::vector<uint32_t> pixels(static_cast<size_t>(rect.Width) * rect.Height);
  XImage* image = nullptr;
  if (shm_) {
    image = ImageFor(rect.Width, rect.Height)->Image;
    XShmGetImage(display, root, image, rect.X, rect.Y, AllPlanes);
  } else {
    image = XGetImage(display, root, rect.X, rect.Y, static_cast<unsigned>(rect.Width),
                      static_cast<unsigned>(rect.Height), AllPlanes, ZPixmap);
  }
  if (image == nullptr) return pixels;
  for (int y = 0; y < rect.Height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image->data + static_cast<size_t>(y) * image->bytes_per_line);
    for (int x = 0; x < rect.Width; ++x) pixels[static_cast<size_t>(y) * rect.Width + x] = row[x] & 0xFFFFFF;
  }
  if (!shm_) XDestroyImage(image);
  return pixels;
}

std::vector<TTopLevel> TXSession::TopLevels() {
  Display* display = Dpy(display_);
  std::vector<TTopLevel> result;
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return result;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    TTopLevel window;
    window.Id = children[i];
    window.Bounds = {attributes.x, attributes.y, attributes.width, attributes.height};
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      window.Name = name;
      XFree(name);
    }
    result.push_back(window);
  }
  if (children != nullptr) XFree(children);
  return result;
}

void TXSession::MoveResize(unsigned long window, const TScreenRect& bounds) {
  XMoveResizeWindow(Dpy(display_), window, bounds.X, bounds.Y, static_cast<unsigned>(bounds.Width),
                    static_cast<unsigned>(bounds.Height));
  XSync(Dpy(display_), False);
}

void TXSession::Focus(unsigned long window) {
  XSetInputFocus(Dpy(display_), window, RevertToParent, CurrentTime);
  XSync(Dpy(display_), False);
}

}  // namespace quill
