// quill-latency: measures what the user waits for in the running program, end to end.
//
//   quill-latency PHOTO.jpg [--runs N] [--screen WxH] [--stress N] [--rows a,b,...]
//                 [--program PATH] [--shots DIR] [--limit SECONDS]
//   quill-latency --make-photo OUT.jpg [SOURCE]
//
// It starts its own Xvfb (a free display, -displayfd), starts the program there on a
// copy of PHOTO with settings of its own, its window filling the screen, and sends real
// input through XTest: keys, pointer moves, presses. Each time runs from the moment the
// input leaves this process until the screen shows the change (the screen polled
// through MIT-SHM) or, for a save, until the file is renamed into place (inotify). The
// reference tools run alternately with the program's own rows in the same run, each
// as a fresh process, so a busy machine slows both alike. --stress N starts
// `stress-ng --cpu N` beside it all; --shots DIR writes a picture of the screen after
// each row, to check that the input went where it should.
//
// Rows (names for --rows): first-press (the first Wire Eraser press, 1 s after the
// photo is first painted), second-press (that press dragged into a stroke and let go,
// then at once a press elsewhere: the second press is timed), press (later presses;
// first-press and second-press start the program afresh for every run; before each
// timed press the pointer is brought to its spot and the screen there left to settle
// for 50 ms, so that the time is the press's and not the pointer's outline's), save (lossless Save As after one
// press; reference jpegtran -copy all), turn-save (the same after a quarter turn;
// reference jpegtran -rotate 90 -copy all), open (File > Open, Enter to the photo
// painted; reference djpeg), resize (to half with the Resize tool; reference
// bench/resize_vs_pillow.py), zoom-fit and zoom-1to1 (the plus key), original (O
// pressed and released at fit, over a stroke), scroll (Space-drag at 1:1), memory (the
// program's peak resident memory, VmHWM, with the photo open and after 200 strokes of
// 300 photo pixels each, printed on a line of its own).
//
// --make-photo writes a 6000 x 4000 JPEG (quality 90) of SOURCE enlarged with the
// Lanczos resampler, by default the bundled sample portrait.
//
// Every row has a time limit (--limit, seconds per run, 30 by default): a row that
// runs past it is reported as timed out, the program is started afresh (so too after
// a row that measured nothing) and the next row runs. Each row's line is printed as soon as the row ends, and the whole table
// once more at the end: the count, median, 90th and 95th percentile in milliseconds,
// and the reference's median and the ratio where the row has one.

#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ImageCodecs.h"
#include "XSession.h"
#include "ZelLTBitmap.h"

extern char** environ;

namespace {

using quill::TScreenRect;
using quill::TXSession;
namespace fs = std::filesystem;

constexpr uint32_t kViewBackground = 0x404040;

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Pause(double milliseconds) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds));
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
  return values[std::min(index, values.size() - 1)];
}

// The process groups this program started, ended when it is interrupted.
pid_t gStarted[4] = {-1, -1, -1, -1};

void Remember(pid_t pid) {
  for (pid_t& slot : gStarted)
    if (slot <= 0) {
      slot = pid;
      return;
    }
}

void EndStartedAndExit(int) {
  for (const pid_t pid : gStarted)
    if (pid > 0) kill(-pid, SIGTERM);
  _exit(1);
}

// Starts Argv with the environment changed by Set ("NAME=value" entries); -1 on failure.
// Timed processes are waited for; the others are ended when this program is interrupted.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& set = {}, bool quiet = true,
            bool timed = false) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    const bool replaced = std::any_of(set.begin(), set.end(),
                                      [&](const std::string& s) { return s.substr(0, s.find('=')) == name; });
    if (!replaced) environment.push_back(entry);
  }
  environment.insert(environment.end(), set.begin(), set.end());
  std::vector<char*> args, env;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data()) != 0) pid = -1;
  if (pid > 0 && !timed) Remember(pid);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

// Runs Argv to its end; its wall time in milliseconds, NAN when it fails.
double RunTimed(const std::vector<std::string>& argv) {
  const double start = Now();
  const pid_t pid = Spawn(argv, {}, true, true);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "quill-latency: %s failed\n", argv[0].c_str());
    return NAN;
  }
  return Now() - start;
}

// Ends a process group this program started.
void EndGroup(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  for (pid_t& slot : gStarted)
    if (slot == pid) slot = -1;
}

// The end of the running row's time limit (Now's clock); every wait gives up there.
double gRowEnd = INFINITY;

bool RowExpired() { return Now() >= gRowEnd; }

// Timeout milliseconds from now, cut at the row's limit.
double WaitEnd(double timeout) { return std::min(Now() + timeout, gRowEnd); }

bool WaitUntil(const std::function<bool()>& done, double timeout) {
  const double end = WaitEnd(timeout);
  while (Now() < end) {
    if (done()) return true;
    Pause(1);
  }
  return done();
}

struct TRow {
  std::string Name;
  std::vector<double> Times;
  std::string Reference;
  std::vector<double> ReferenceTimes;
  bool TimedOut = false;
};

void PrintHeader() {
  std::printf("%-17s %3s %9s %9s %9s   %s\n", "row", "n", "median", "p90", "p95", "reference median (ratio)");
  std::fflush(stdout);
}

// The row's count, median, 90th and 95th percentile, its reference and what went
// wrong, on one line.
void PrintRow(const TRow& row) {
  std::vector<double> times;
  int missed = 0;
  for (const double t : row.Times) std::isnan(t) ? ++missed : (times.push_back(t), 0);
  std::printf("%-17s %3zu %9.2f %9.2f %9.2f", row.Name.c_str(), times.size(), Percentile(times, 0.5),
              Percentile(times, 0.9), Percentile(times, 0.95));
  if (!row.Reference.empty()) {
    const double reference = Percentile(row.ReferenceTimes, 0.5);
    std::printf("   %s %.2f (%.2fx)", row.Reference.c_str(), reference, Percentile(times, 0.5) / reference);
  }
  if (missed > 0) std::printf("   %d without a change", missed);
  if (row.TimedOut) std::printf("   timed out");
  std::printf("\n");
  std::fflush(stdout);
}

class TLatency {
 public:
  TLatency(TXSession& x, fs::path work, int width, int height)
      : x_(x), work_(std::move(work)), width_(width), height_(height) {}
  ~TLatency() { EndGroup(program_); }

  bool StartProgram(const std::string& program, const fs::path& photo);
  // Rows runs each row wanted (all when empty), each within Limit milliseconds per run.
  void Run(const std::set<std::string>& rows, int runs, double limit);
  void Report() const;
  void SetShots(const fs::path& folder) { shots_ = folder; }
  void SetResizeReference(const fs::path& script) { resizeScript_ = script; }

 private:
  // Waits for the pixels of Rect to differ from Before; the time from Start, NAN after
  // Timeout milliseconds.
  double WaitChange(const TScreenRect& rect, const std::vector<uint32_t>& before, double start,
                    double timeout = 5000);
  // Waits until Rect stays the same for Quiet milliseconds (at most Timeout).
  void Settle(const TScreenRect& rect, double quiet = 150, double timeout = 5000);
  void PointAt(int x, int y);
  // The input Send, timed to the change it makes in Rect; NAN when none comes.
  double Timed(const TScreenRect& rect, const std::function<void()>& send, double timeout = 5000);
  unsigned long MainWindow();
  std::string MainWindowName();
  unsigned long WaitDialog(bool shown, double timeout = 5000);
  bool FindView();
  void ChooseSpots();
  // Ends the program and starts it again on the same photo, as a user would.
  bool Restart();
  TScreenRect Around(int x, int y, int half) const;
  void Chord(std::initializer_list<unsigned long> keys);
  double SaveAs(const fs::path& target);
  void Click(int x, int y);
  void FocusView();
  bool ClickTool(int index);
  bool PanelControl(size_t index, int& x, int& y);
  void Shot(const std::string& name);
  TRow& Row(const std::string& name, const std::string& reference = {});

  // One fresh start per run: the first press 1 s after the first paint (timed for
  // First), dragged into a stroke and let go, then a press elsewhere (timed for
  // Second).
  void FreshPresses(int runs, bool first, bool second);
  void LaterPresses(int runs);
  void Saves(int runs);
  void TurnSaves(int runs);
  void Opens(int runs);
  void Resizes(int runs);
  void Zooms(const std::string& name, int runs);
  void Original(int runs);
  void Scroll(int moves);
  void Memory();

  TXSession& x_;
  fs::path work_;
  fs::path shots_;
  fs::path resizeScript_;
  std::string program_path_;
  int width_, height_;
  pid_t program_ = -1;
  fs::path photo_, mirrored_;
  double firstPaint_ = 0;
  TScreenRect view_, picture_, panel_;
  int toolbarBottom_ = 0;
  std::vector<std::pair<int, int>> spots_;
  size_t nextSpot_ = 0;
  int saves_ = 0;
  std::vector<TRow> rows_;
};

TRow& TLatency::Row(const std::string& name, const std::string& reference) {
  for (auto& row : rows_)
    if (row.Name == name) return row;
  rows_.push_back({name, {}, reference, {}});
  return rows_.back();
}

double TLatency::WaitChange(const TScreenRect& rect, const std::vector<uint32_t>& before, double start,
                            double timeout) {
  const double end = std::min(start + timeout, gRowEnd);
  while (Now() < end) {
    if (x_.Grab(rect) != before) return Now() - start;
    Pause(0.2);
  }
  return NAN;
}

void TLatency::Settle(const TScreenRect& rect, double quiet, double timeout) {
  const double end = WaitEnd(timeout);
  std::vector<uint32_t> last = x_.Grab(rect);
  double since = Now();
  while (Now() < end && Now() - since < quiet) {
    Pause(5);
    std::vector<uint32_t> now = x_.Grab(rect);
    if (now != last) {
      last = std::move(now);
      since = Now();
    }
  }
}

double TLatency::Timed(const TScreenRect& rect, const std::function<void()>& send, double timeout) {
  const std::vector<uint32_t> before = x_.Grab(rect);
  const double start = Now();
  send();
  return WaitChange(rect, before, start, timeout);
}

unsigned long TLatency::MainWindow() {
  for (const auto& window : x_.TopLevels())
    if (window.Name.rfind("Quillmere", 0) == 0 && window.Bounds.Width > 100) return window.Id;
  return 0;
}

std::string TLatency::MainWindowName() {
  for (const auto& window : x_.TopLevels())
    if (window.Name.rfind("Quillmere", 0) == 0 && window.Bounds.Width > 100) return window.Name;
  return {};
}

// The shown top-level window other than the main window (a dialog); 0 when none.
unsigned long TLatency::WaitDialog(bool shown, double timeout) {
  unsigned long dialog = 0;
  WaitUntil(
      [&] {
        dialog = 0;
        for (const auto& window : x_.TopLevels())
          if (window.Bounds.Width > 100 && window.Name.rfind("Quillmere", 0) != 0) dialog = window.Id;
        return (dialog != 0) == shown;
      },
      timeout);
  return dialog;
}

bool TLatency::StartProgram(const std::string& program, const fs::path& photo) {
  program_path_ = program;
  photo_ = work_ / "a.jpg";
  mirrored_ = work_ / "b.jpg";
  fs::copy_file(photo, photo_, fs::copy_options::overwrite_existing);
  // The same photo mirrored: opening it changes every column of the view.
  if (std::isnan(RunTimed({"jpegtran", "-flip", "horizontal", "-copy", "all", "-outfile", mirrored_, photo_})))
    return false;
  return Restart();
}

bool TLatency::Restart() {
  EndGroup(program_);
  // The ended program's window may linger a moment; the new one is looked for after.
  WaitUntil([&] { return MainWindow() == 0; }, 5000);
  spots_.clear();
  nextSpot_ = 0;
  // The pointer waits in the screen's corner, off the view: the brush outline it would
  // bring is no detail of the photo for ChooseSpots.
  x_.Move(width_ - 1, height_ - 1);
  program_ = Spawn({program_path_, photo_},
                   {"DISPLAY=" + x_.DisplayName(), "XDG_CONFIG_HOME=" + (work_ / "config").string(),
                    "QT_QPA_PLATFORM=xcb"});
  if (program_ < 0) return false;
  if (!WaitUntil([&] { return MainWindow() != 0; }, 20000)) {
    std::fprintf(stderr, "quill-latency: the program shows no window\n");
    return false;
  }
  x_.MoveResize(MainWindow(), {0, 0, width_, height_});
  // A first start offers the demo list; Esc closes it and the photo opens.
  for (unsigned long dialog; (dialog = WaitDialog(true, 3000)) != 0;) {
    x_.Focus(dialog);
    Pause(200);
    x_.TapKey(XK_Escape);
    WaitDialog(false, 1000);
  }
  // The photo is painted when the caption names it and a row through the middle of
  // the view shows more than the one colour of an empty view.
  const TScreenRect middle{(width_ - 330) / 2 - 32, height_ / 2, 64, 1};
  const bool painted = WaitUntil(
      [&] {
        const std::vector<uint32_t> row = x_.Grab(middle);
        return std::set<uint32_t>(row.begin(), row.end()).size() > 2 &&
               MainWindowName().find("a.jpg") != std::string::npos;
      },
      20000);
  if (!painted) {
    Shot("start");
    for (const auto& window : x_.TopLevels())
      std::fprintf(stderr, "window \"%s\" %dx%d\n", window.Name.c_str(), window.Bounds.Width, window.Bounds.Height);
    std::fprintf(stderr, "quill-latency: the photo is not painted\n");
    return false;
  }
  firstPaint_ = Now();
  Settle({0, 0, width_, height_}, 300);
  Shot("start");
  if (!FindView()) {
    std::fprintf(stderr, "quill-latency: cannot find the view and the photo on the screen\n");
    return false;
  }
  ChooseSpots();
  return true;
}

// The view is the dark grey area; the photo, fitted, leaves a grey band on its left and
// right, so one row through the middle gives the photo's and the view's columns.
bool TLatency::FindView() {
  const int y = height_ / 2;
  const std::vector<uint32_t> row = x_.Grab({0, y, width_, 1});
  if (row[1] != kViewBackground) return false;
  int left = 0;
  while (left < width_ && row[left] == kViewBackground) ++left;
  int right = left;
  while (right < width_ && row[right] != kViewBackground) ++right;
  int viewRight = right;
  while (viewRight < width_ && row[viewRight] == kViewBackground) ++viewRight;
  const std::vector<uint32_t> column = x_.Grab({1, 0, 1, height_});
  int top = y, bottom = y;
  while (top > 0 && column[top - 1] == kViewBackground) --top;
  while (bottom < height_ && column[bottom] == kViewBackground) ++bottom;
  const std::vector<uint32_t> middle = x_.Grab({(left + right) / 2, 0, 1, height_});
  int pictureTop = top, pictureBottom = bottom;
  while (pictureTop < bottom && middle[pictureTop] == kViewBackground) ++pictureTop;
  while (pictureBottom > pictureTop && middle[pictureBottom - 1] == kViewBackground) --pictureBottom;
  view_ = {0, top, viewRight, bottom - top};
  picture_ = {left, pictureTop, right - left, pictureBottom - pictureTop};
  std::printf("view %dx%d at (%d, %d), photo shown %dx%d at (%d, %d)\n", view_.Width, view_.Height, view_.X, view_.Y,
              picture_.Width, picture_.Height, picture_.X, picture_.Y);
  return picture_.Width > 100 && picture_.Height > 100;
}

// Points of the shown photo with detail around them, where a dab visibly changes the
// screen: the 40, 30 pixels apart, whose 7 x 7 screen pixels (about what a dab covers
// at fit) have the most contrast both across and down. Contrast on one axis only is a
// straight edge, which the Wire Eraser draws again as it was, so the screen may not
// change.
void TLatency::ChooseSpots() {
  const std::vector<uint32_t> shown = x_.Grab(picture_);
  auto at = [&](int x, int y) { return shown[static_cast<size_t>(y) * picture_.Width + x]; };
  auto difference = [](uint32_t a, uint32_t b) {
    long sum = 0;
    for (int shift = 0; shift < 24; shift += 8) sum += std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
    return sum;
  };
  std::vector<std::pair<long, std::pair<int, int>>> scored;
  for (int y = 40; y + 40 < picture_.Height; y += 10)
    for (int x = 200; x + 200 < picture_.Width; x += 10) {
      long across = 0, down = 0;
      for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx < 3; ++dx) {
          across += difference(at(x + dx, y + dy), at(x + dx + 1, y + dy));
          down += difference(at(x + dy, y + dx), at(x + dy, y + dx + 1));
        }
      scored.push_back({std::min(across, down), {picture_.X + x, picture_.Y + y}});
    }
  std::sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [score, point] : scored) {
    const bool apart = std::all_of(spots_.begin(), spots_.end(), [&](const auto& p) {
      return std::abs(p.first - point.first) + std::abs(p.second - point.second) >= 30;
    });
    if (apart) spots_.push_back(point);
    if (spots_.size() == 40) break;
  }
}

TScreenRect TLatency::Around(int x, int y, int half) const { return {x - half, y - half, 2 * half + 1, 2 * half + 1}; }

void TLatency::Chord(std::initializer_list<unsigned long> keys) {
  for (const unsigned long key : keys) x_.Key(key, true);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) x_.Key(*key, false);
}

void TLatency::Shot(const std::string& name) {
  if (shots_.empty()) return;
  const std::vector<uint32_t> screen = x_.Grab({0, 0, width_, height_});
  QImage image(reinterpret_cast<const uchar*>(screen.data()), width_, height_, width_ * 4, QImage::Format_RGB32);
  image.save(QString::fromStdString((shots_ / (name + ".png")).string()));
}

// The pointer brought to (X, Y), and the brush outline it brings there on the screen
// (the area around the point still for 50 ms), so that a press timed next is timed by
// its own change, as when a hand brings the pointer and then presses.
void TLatency::PointAt(int x, int y) {
  x_.Move(x, y);
  Settle(Around(x, y, 8), 50);
}

void TLatency::FreshPresses(int runs, bool first, bool second) {
  for (int i = 0; i < runs && !RowExpired(); ++i) {
    if (i > 0 && !Restart()) return;
    const auto [x, y] = spots_[nextSpot_++];
    Pause(std::max(0.0, firstPaint_ + 900 - Now()));
    PointAt(x, y);
    Pause(std::max(0.0, firstPaint_ + 1000 - Now()));
    const double press = Timed(Around(x, y, 8), [&] { x_.Button(1, true); });
    if (first) Row("first-press").Times.push_back(press);
    if (second) {
      // A stroke of 120 screen pixels at a hand's pace as a 125 Hz mouse reports it
      // (a move every 8 ms, half a second), let go, and at once the pointer to a spot
      // well away from it and a press there.
      for (int dx = 2; dx <= 120; dx += 2) {
        x_.Move(x + dx, y);
        Pause(8);
      }
      x_.Button(1, false);
      const auto away = std::find_if(spots_.begin() + static_cast<long>(nextSpot_), spots_.end(), [&](const auto& p) {
        return std::abs(p.second - y) > 30 || p.first < x - 30 || p.first > x + 150;
      });
      if (away == spots_.end()) return;
      const auto [x2, y2] = *away;
      PointAt(x2, y2);
      Row("second-press").Times.push_back(Timed(Around(x2, y2, 8), [&] { x_.Button(1, true); }));
    }
    x_.Button(1, false);
    Pause(300);
  }
}

void TLatency::LaterPresses(int runs) {
  for (int i = 0; i < runs && nextSpot_ < spots_.size() && !RowExpired(); ++i) {
    const auto [x, y] = spots_[nextSpot_++];
    PointAt(x, y);
    Row("press").Times.push_back(Timed(Around(x, y, 8), [&] { x_.Button(1, true); }));
    x_.Button(1, false);
    Pause(150);
  }
}

// Save As to Target through the dialog: the time from Enter until the file is renamed
// into place (or closed after writing in place).
double TLatency::SaveAs(const fs::path& target) {
  x_.Focus(MainWindow());
  Chord({XK_Control_L, XK_s});
  if (WaitDialog(true) == 0) {
    std::fprintf(stderr, "quill-latency: no Save As dialog\n");
    return NAN;
  }
  Pause(200);
  Chord({XK_Control_L, XK_a});
  x_.Type(target.string());
  const int watch = inotify_init1(IN_NONBLOCK);
  inotify_add_watch(watch, target.parent_path().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
  const double start = Now();
  x_.TapKey(XK_Return);
  double elapsed = NAN;
  alignas(inotify_event) char buffer[4096];
  const double end = WaitEnd(20000);
  while (std::isnan(elapsed) && Now() < end) {
    pollfd p{watch, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = read(watch, buffer, sizeof buffer);
    for (ssize_t offset = 0; offset < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      if (event->len > 0 && target.filename() == event->name) elapsed = Now() - start;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  close(watch);
  WaitDialog(false);
  Pause(200);
  return elapsed;
}

void TLatency::Saves(int runs) {
  TRow& row = Row("save", "jpegtran -copy all");
  for (int i = 0; i < runs && nextSpot_ < spots_.size() && !RowExpired(); ++i) {
    const auto [x, y] = spots_[nextSpot_++];
    Click(x, y);
    Pause(300);
    row.Times.push_back(SaveAs(work_ / ("saved" + std::to_string(++saves_) + ".jpg")));
    row.ReferenceTimes.push_back(RunTimed({"jpegtran", "-copy", "all", "-outfile", work_ / "reference.jpg", photo_}));
  }
  Shot("save");
}

// The runs of pixels other than Background along Line, as [first, last] index pairs;
// runs less than Gap apart are one.
std::vector<std::pair<int, int>> Runs(const std::vector<uint32_t>& line, uint32_t background, int gap) {
  std::vector<std::pair<int, int>> runs;
  for (int i = 0; i < static_cast<int>(line.size()); ++i) {
    if (line[i] == background) continue;
    if (runs.empty() || i - runs.back().second > gap)
      runs.push_back({i, i});
    else
      runs.back().second = i;
  }
  return runs;
}

// Keys go to the view: the main window gets the X focus (a dialog that closed may have
// left it nowhere), and the pointer leaves the view and comes back, since the view
// takes Qt's focus when the pointer enters it. No button is pressed: every button
// starts a stroke of the brush tools and would edit the photo before the row.
void TLatency::FocusView() {
  x_.Focus(MainWindow());
  x_.Move(view_.X + view_.Width / 2, view_.Y - 5);
  Pause(50);
  x_.Move(view_.X + view_.Width / 2, view_.Y + view_.Height / 2);
  Pause(100);
}

void TLatency::Click(int x, int y) {
  x_.Move(x, y);
  x_.Button(1, true);
  x_.Button(1, false);
}

// The tool panel's toolbar: the one row of the panel's top with eight separate runs of
// icon pixels (the tools in creation order: Wire Eraser, Hand Inpainting, Undo Brush,
// Brightness & Contrast, Rotation, Resize, Crop, Text). Clicks the run at Index.
bool TLatency::ClickTool(int index) {
  panel_ = {view_.Width + 4, view_.Y, width_ - view_.Width - 8, 300};
  const TScreenRect band{panel_.X, panel_.Y, panel_.Width, 80};
  const std::vector<uint32_t> pixels = x_.Grab(band);
  const uint32_t background = pixels[band.Width - 1];
  for (int y = 0; y < band.Height; ++y) {
    const std::vector<uint32_t> line(pixels.begin() + y * band.Width, pixels.begin() + (y + 1) * band.Width);
    const auto runs = Runs(line, background, 4);
    if (runs.size() == 8) {
      toolbarBottom_ = band.Y + y + 20;
      Click(band.X + (runs[index].first + runs[index].second) / 2, band.Y + y + 2);
      Pause(300);
      Settle(panel_, 200);
      return true;
    }
  }
  std::fprintf(stderr, "quill-latency: cannot find the tool panel's buttons\n");
  return false;
}

// The middle of the Index-th control below the toolbar, along a column at three
// quarters of the panel's width (right of the titles and labels, inside the buttons
// and edit boxes that span the panel); false when there are not so many.
bool TLatency::PanelControl(size_t index, int& x, int& y) {
  x = panel_.X + panel_.Width * 3 / 4;
  const TScreenRect column{x, toolbarBottom_, 1, 250};
  const std::vector<uint32_t> pixels = x_.Grab(column);
  const uint32_t background = x_.Grab({width_ - 6, toolbarBottom_, 1, 1})[0];
  const auto runs = Runs(pixels, background, 2);
  if (runs.size() <= index) {
    std::fprintf(stderr, "quill-latency: cannot find the tool's controls\n");
    return false;
  }
  y = column.Y + (runs[index].first + runs[index].second) / 2;
  return true;
}

// Rotate Right (the first of the Rotation tool's buttons), then a lossless Save As.
void TLatency::TurnSaves(int runs) {
  if (!ClickTool(4)) return;
  TRow& row = Row("turn-save", "jpegtran -rotate 90 -copy all");
  for (int i = 0; i < runs && !RowExpired(); ++i) {
    int x, y;
    if (!PanelControl(0, x, y)) return;
    Timed(view_, [&] { Click(x, y); }, 20000);
    Settle(view_, 200);
    if (i == 0) Shot("turn");
    row.Times.push_back(SaveAs(work_ / ("saved" + std::to_string(++saves_) + ".jpg")));
    row.ReferenceTimes.push_back(
        RunTimed({"jpegtran", "-rotate", "90", "-copy", "all", "-outfile", work_ / "reference.jpg", photo_}));
  }
}

// File > Open, the other photo's name typed and Enter, timed until a row of the photo
// that the dialog does not cover changes. The rows before and the middle click that
// focuses the view (a stroke, like any press) leave changes, which the program asks
// about after the file is chosen, in a box captioned with its own name: an untimed
// opening first answers No, so that each timed one goes straight to the new photo.
void TLatency::Opens(int runs) {
  TRow& row = Row("open", "djpeg");
  for (int i = -1; i < runs; ++i) {
    const fs::path& next = i % 2 == 0 ? photo_ : mirrored_;
    const unsigned long main = MainWindow();
    x_.Focus(main);
    Chord({XK_Control_L, XK_o});
    const unsigned long dialog = WaitDialog(true);
    if (dialog == 0) {
      std::fprintf(stderr, "quill-latency: no Open dialog\n");
      return;
    }
    // What the dialog leaves behind when it closes is the old photo, and only the new
    // one changes the strip.
    TScreenRect covered;
    for (const auto& window : x_.TopLevels())
      if (window.Id == dialog) covered = window.Bounds;
    const int below = covered.Y + covered.Height + 2;
    const int y = below + 4 < picture_.Y + picture_.Height ? picture_.Y + picture_.Height - 6 : picture_.Y + 2;
    const TScreenRect strip{picture_.X, y, picture_.Width, 4};
    Pause(200);
    Chord({XK_Control_L, XK_a});
    x_.Type(next.string());
    // The dialog answers the typed name (its completion list) before Enter: a user
    // presses Enter once the name shows, not while the keys are still queued.
    Settle(covered, 200);
    if (i >= 0) {
      row.Times.push_back(Timed(strip, [&] { x_.TapKey(XK_Return); }, 20000));
      row.ReferenceTimes.push_back(RunTimed({"djpeg", "-outfile", "/dev/null", next}));
    } else {
      x_.TapKey(XK_Return);
      unsigned long question = 0;
      WaitUntil(
          [&] {
            for (const auto& window : x_.TopLevels())
              if (window.Bounds.Width > 100 && window.Id != main && window.Name.rfind("Quillmere", 0) == 0)
                question = window.Id;
            return question != 0;
          },
          2000);
      if (question != 0) {
        x_.Focus(question);
        Pause(100);
        Chord({XK_Alt_L, XK_n});
      }
    }
    WaitDialog(false);
    Settle(view_, 200);
  }
  Shot("open");
}

// Pillow's resize of the photo to half, timed inside Python (wall clock), in milliseconds.
double PillowResize(const fs::path& script, const fs::path& photo) {
  const std::string command = "/usr/bin/python3 '" + script.string() + "' --pillow-only '" + photo.string() + "'";
  FILE* output = popen(command.c_str(), "r");
  double milliseconds = NAN;
  if (output == nullptr || std::fscanf(output, "%lf", &milliseconds) != 1) milliseconds = NAN;
  if (output != nullptr) pclose(output);
  return milliseconds;
}

// At 1:1, the Resize tool's width set to half (the height follows) and OK clicked;
// undone after each run.
void TLatency::Resizes(int runs) {
  Chord({XK_Control_L, XK_Alt_L, XK_0});
  Settle(view_, 300);
  if (!ClickTool(5)) return;
  TRow& row = Row("resize", "Pillow LANCZOS");
  const TScreenRect strip{view_.X + view_.Width / 4, view_.Y + view_.Height / 2, view_.Width / 2, 4};
  for (int i = 0; i < runs && !RowExpired(); ++i) {
    int x, y;
    if (!PanelControl(0, x, y)) return;
    Click(x, y);
    Chord({XK_Control_L, XK_a});
    x_.Type("3000");
    Pause(300);
    // OK is the first button of the row of Cancel, the third control.
    if (!PanelControl(2, x, y)) return;
    const std::vector<uint32_t> line = x_.Grab({panel_.X, y, panel_.Width, 1});
    const auto buttons = Runs(line, x_.Grab({width_ - 6, toolbarBottom_, 1, 1})[0], 2);
    if (buttons.empty()) return;
    const int okX = panel_.X + (buttons[0].first + buttons[0].second) / 2;
    row.Times.push_back(Timed(strip, [&] { Click(okX, y); }, 20000));
    Settle(view_, 200);
    if (i == 0) Shot("resize");
    row.ReferenceTimes.push_back(PillowResize(resizeScript_, photo_));
    x_.Focus(MainWindow());
    Timed(strip, [&] { Chord({XK_Control_L, XK_z}); }, 20000);
    Settle(view_, 200);
  }
}

// The plus key at the present zoom, then minus back (untimed).
void TLatency::Zooms(const std::string& name, int runs) {
  const TScreenRect strip{view_.X + view_.Width / 4, view_.Y + view_.Height / 2, view_.Width / 2, 4};
  x_.Move(view_.X + view_.Width / 2, view_.Y + view_.Height / 2);
  for (int i = 0; i < runs && !RowExpired(); ++i) {
    Settle(strip, 100);
    Row(name).Times.push_back(Timed(strip, [&] { x_.TapKey(XK_equal); }));
    Settle(strip, 100);
    if (i == 0) Shot(name);
    Timed(strip, [&] { x_.TapKey(XK_minus); });
  }
}

// A stroke across the photo's detail, then O held and let go over it, at fit.
void TLatency::Original(int runs) {
  const auto [x, y] = spots_[nextSpot_++];
  x_.Move(x - 60, y);
  x_.Button(1, true);
  for (int dx = -60; dx <= 60; dx += 2) {
    x_.Move(x + dx, y);
    Pause(2);
  }
  x_.Button(1, false);
  Pause(500);
  const TScreenRect band{x - 70, y - 10, 141, 21};
  for (int i = 0; i < runs && !RowExpired(); ++i) {
    Settle(band, 100);
    Row("original-press").Times.push_back(Timed(band, [&] { x_.Key(XK_o, true); }));
    Settle(band, 100);
    if (i == 0) Shot("original");
    Row("original-release").Times.push_back(Timed(band, [&] { x_.Key(XK_o, false); }));
  }
}

// Space held and the photo dragged at 1:1 in steps of 6 pixels.
void TLatency::Scroll(int moves) {
  Chord({XK_Control_L, XK_Alt_L, XK_0});
  Settle(view_, 300);
  const int cx = view_.X + view_.Width / 2, cy = view_.Y + view_.Height / 2;
  const TScreenRect strip{view_.X + view_.Width / 4, cy, view_.Width / 2, 4};
  x_.Move(cx, cy);
  x_.Key(XK_space, true);
  Pause(100);
  x_.Button(1, true);
  Pause(100);
  for (int i = 1; i <= moves && !RowExpired(); ++i) {
    const int step = (i / 20) % 2 == 0 ? -6 : 6;
    const int x = cx + step * ((i % 20) + 1);
    Row("scroll").Times.push_back(Timed(strip, [&] { x_.Move(x, cy); }));
    Pause(20);
  }
  x_.Button(1, false);
  x_.Key(XK_space, false);
  Shot("scroll");
}

// The program's VmHWM in kB; -1 when it cannot be read.
long PeakResident(pid_t pid) {
  FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (status == nullptr) return -1;
  long kilobytes = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1) break;
  std::fclose(status);
  return kilobytes;
}

// After a fresh start and 2 s of idle time, then after 200 horizontal strokes of 300
// photo pixels spread over the photo's detail.
void TLatency::Memory() {
  if (!Restart()) return;
  Pause(std::max(0.0, firstPaint_ + 2000 - Now()));
  const long opened = PeakResident(program_);
  const int length = std::max(2, 300 * picture_.Width / 6000);
  int strokes = 0;
  for (; strokes < 200 && !RowExpired(); ++strokes) {
    const auto [x, y] = spots_[static_cast<size_t>(strokes) % spots_.size()];
    const int left = std::min(x, picture_.X + picture_.Width - length - 1);
    const int row = y + strokes / static_cast<int>(spots_.size()) * 3;
    x_.Move(left, row);
    x_.Button(1, true);
    for (int dx = 2; dx <= length; dx += 2) x_.Move(left + dx, row);
    x_.Button(1, false);
    Pause(5);
  }
  Settle(view_, 300);
  std::printf("memory: VmHWM %ld kB with the photo open, %ld kB after %d strokes\n", opened,
              PeakResident(program_), strokes);
}

void TLatency::Run(const std::set<std::string>& rows, int runs, double limit) {
  // Each row wanted (by any of its names): its name on stderr, the view focused, the
  // row run within its limit and its lines printed at once; after a row that timed out
  // the program starts afresh.
  const auto wanted = [&](const char* name) { return rows.empty() || rows.count(name) != 0; };
  const auto row = [&](std::initializer_list<const char*> names, const std::function<void()>& measure) {
    if (std::none_of(names.begin(), names.end(), wanted)) return;
    std::fprintf(stderr, "quill-latency: %s\n", *std::find_if(names.begin(), names.end(), wanted));
    const size_t before = rows_.size();
    gRowEnd = Now() + limit * runs;
    FocusView();
    measure();
    const bool expired = RowExpired();
    gRowEnd = INFINITY;
    if (rows_.size() == before && expired) Row(*names.begin());
    bool measured = false;
    for (size_t i = before; i < rows_.size(); ++i) {
      rows_[i].TimedOut = expired;
      PrintRow(rows_[i]);
      measured = measured || std::any_of(rows_[i].Times.begin(), rows_[i].Times.end(),
                                         [](double t) { return !std::isnan(t); });
    }
    // A row that timed out or measured nothing may have left a dialog open or the
    // input elsewhere: the next row starts on a fresh program.
    if ((expired || !measured) && !Restart())
      std::fprintf(stderr, "quill-latency: the program does not start again\n");
  };
  PrintHeader();
  row({"first-press", "second-press"}, [&] { FreshPresses(runs, wanted("first-press"), wanted("second-press")); });
  row({"press"}, [&] { LaterPresses(runs); });
  row({"save"}, [&] { Saves(runs); });
  row({"open"}, [&] { Opens(runs); });
  row({"original"}, [&] { Original(runs); });
  row({"zoom-fit"}, [&] { Zooms("zoom-fit", runs); });
  row({"zoom-1to1"}, [&] {
    Chord({XK_Control_L, XK_Alt_L, XK_0});
    Settle(view_, 300);
    Zooms("zoom-1to1", runs);
  });
  row({"scroll"}, [&] { Scroll(std::max(40, runs)); });
  row({"resize"}, [&] { Resizes(runs); });
  row({"turn-save"}, [&] { TurnSaves(runs); });
  row({"memory"}, [&] { Memory(); });
}

void TLatency::Report() const {
  std::printf("\n");
  PrintHeader();
  for (const auto& row : rows_) PrintRow(row);
}

int MakePhoto(const char* out, const char* source) {
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  if (!quill::LoadImageFile(source, image, format, metadata) || !image.Resize(6000, 4000) ||
      !quill::SaveImageFile(out, image.GetPixels(), "image/jpeg", 90, quill::TImageMetadata{})) {
    std::fprintf(stderr, "quill-latency: cannot make %s from %s\n", out, source);
    return 1;
  }
  std::printf("wrote %s\n", out);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: quill-latency PHOTO.jpg [--runs N] [--screen WxH] [--stress N] [--rows a,b,...]\n"
               "                     [--program PATH] [--shots DIR] [--limit SECONDS]\n"
               "       quill-latency --make-photo OUT.jpg [SOURCE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, EndStartedAndExit);
  std::signal(SIGTERM, EndStartedAndExit);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc >= 3 && std::strcmp(argv[1], "--make-photo") == 0)
    return MakePhoto(argv[2], argc >= 4 ? argv[3] : QUILL_IMAGES_DIR "/astronaut.png");
  if (argc < 2 || argv[1][0] == '-') return Usage();
  const fs::path photo = fs::absolute(argv[1]);
  int runs = 7, width = 1920, height = 1080, stress = 0;
  double limit = 30;
  std::string program = QUILL_PROGRAM;
  std::set<std::string> rows;
  fs::path shots;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--runs") {
      runs = std::max(1, std::atoi(value.c_str()));
    } else if (option == "--screen") {
      if (std::sscanf(value.c_str(), "%dx%d", &width, &height) != 2 || width < 640 || height < 480) return Usage();
    } else if (option == "--stress") {
      stress = std::max(0, std::atoi(value.c_str()));
    } else if (option == "--rows") {
      for (size_t start = 0; start <= value.size();) {
        const size_t end = std::min(value.find(',', start), value.size());
        rows.insert(value.substr(start, end - start));
        start = end + 1;
      }
    } else if (option == "--limit") {
      limit = std::atof(value.c_str());
      if (!(limit > 0)) return Usage();
    } else if (option == "--program") {
      program = value;
    } else if (option == "--shots") {
      shots = fs::absolute(value);
      fs::create_directories(shots);
    } else {
      return Usage();
    }
  }
  if ((argc - 2) % 2 != 0) return Usage();

  char pattern[] = "/tmp/quill-latency-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path work = pattern;
  pid_t stressing = -1;
  if (stress > 0) stressing = Spawn({"stress-ng", "--cpu", std::to_string(stress), "--quiet"});
  int status = 1;
  {
    TXSession x;
    const bool started = x.Start(width, height);
    Remember(x.ServerPid());
    if (started) {
      TLatency latency(x, work, width, height);
      latency.SetShots(shots);
      latency.SetResizeReference(QUILL_SOURCE_DIR "/bench/resize_vs_pillow.py");
      if (latency.StartProgram(program, photo)) {
        latency.Run(rows, runs, limit * 1000);
        latency.Report();
        status = 0;
      }
    }
  }
  EndGroup(stressing);
  fs::remove_all(work);
  return status;
}
