// The window system's queued output. Qt queues the requests of a frame (the copy of a
// repainted area to the screen) on the display connection and sends them when the
// event loop next waits. Work that runs before the loop waits, such as a slice of a
// zero-interval timer, would hold that frame back from the screen for as long as it
// runs; such work calls SendWindowSystemOutput first.
//
// On X11 it writes the queued requests to the display connection without waiting for
// any answer; on other platforms (offscreen, Wayland) and before the application
// object exists it does nothing. Main thread only.

#ifndef QUILL_PLATFORM_WINDOWSYSTEMOUTPUT_H_
#define QUILL_PLATFORM_WINDOWSYSTEMOUTPUT_H_

namespace quill {

void SendWindowSystemOutput();

}  // namespace quill

#endif  // QUILL_PLATFORM_WINDOWSYSTEMOUTPUT_H_
