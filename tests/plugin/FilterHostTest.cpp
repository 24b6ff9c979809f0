// A host that loads the built plug-in library with dlopen and runs the filter as a host
// does, with the stand-in program in place of the main program.

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "ExchangeFile.h"
#include "HostProcess.h"
#include "PluginHost.h"
#include "PluginTesting.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using quill::test::kStandIn;
using quill::test::ReadTextFile;
using quill::test::WriteTextFile;

bool Empty(const quill::HostRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// The host's image: Width x Height pixels of Planes bytes, rows RowBytes apart (Padding
// bytes more than the pixels need). The input and the output buffer start equal.
struct THostImage {
  THostImage(int width, int height, int planes, int padding)
      : Width(width), Height(height), Planes(planes), RowBytes(width * planes + padding) {
    Input.resize(static_cast<size_t>(RowBytes) * height);
    for (size_t i = 0; i < Input.size(); ++i) Input[i] = static_cast<uint8_t>(i * 7 + 13);
    Output = Input;
  }

  // The input with Change applied to the pixels of Rect.
  std::vector<uint8_t> Changed(const quill::HostRect& rect, const std::function<void(uint8_t*)>& change) const {
    std::vector<uint8_t> result = Input;
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.right; ++x) change(result.data() + y * RowBytes + x * Planes);
    }
    return result;
  }

  int Width, Height, Planes, RowBytes;
  std::vector<uint8_t> Input;
  std::vector<uint8_t> Output;
};

// The host's state while the filter runs; advanceState reaches it through gHost.
struct THost {
  THostImage* Image = nullptr;
  FilterRecord Record{};
  bool FailInput = false;
  bool NoOutput = false;
  int32_t ShortenOutputRows = 0;  // output rows this many bytes shorter than the image's
  // Grants any input rectangle with the image's first pixel and row bytes, as a host
  // whose image is larger than the test's would; the plug-in must not read them.
  bool AnyInput = false;
  int AdvanceCalls = 0;
};

THost* gHost = nullptr;

// Points inData and outData at the requested rectangles, as a host does; refuses a
// request outside the image or for other planes.
int16_t AdvanceState() {
  THost& host = *gHost;
  FilterRecord& r = host.Record;
  const THostImage& image = *host.Image;
  ++host.AdvanceCalls;
  auto inside = [&](const quill::HostRect& rect) {
    return rect.left >= 0 && rect.top >= 0 && rect.right <= image.Width && rect.bottom <= image.Height;
  };
  auto offset = [&](const quill::HostRect& rect) { return rect.top * image.RowBytes + rect.left * image.Planes; };
  r.inData = nullptr;
  r.outData = nullptr;
  if (!Empty(r.inRect)) {
    if (host.AnyInput) {
      r.inData = host.Image->Input.data();
      r.inRowBytes = (r.inRect.right - r.inRect.left) * r.planes;
      return 0;
    }
    if (host.FailInput || !inside(r.inRect) || r.inLoPlane != 0 || r.inHiPlane != r.planes - 1) return -1;
    r.inData = host.Image->Input.data() + offset(r.inRect);
    r.inRowBytes = image.RowBytes;
  }
  if (!Empty(r.outRect)) {
    if (!inside(r.outRect) || r.outLoPlane != 0 || r.outHiPlane != r.planes - 1) return -1;
    r.outData = host.NoOutput ? nullptr : host.Image->Output.data() + offset(r.outRect);
    r.outRowBytes = image.RowBytes - host.ShortenOutputRows;
  }
  return 0;
}

// Sends sanitizer reports to the descriptor File.
void SetSanitizerReportFile([[maybe_unused]] int file) {
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(file)));
#endif
}

// Runs Run with standard error going into File; returns what was written there.
// Sanitizer reports still reach the real standard error.
std::string CaptureStandardError(const fs::path& file, const std::function<void()>& run) {
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int capture = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(capture, STDERR_FILENO);
  ::close(capture);
  SetSanitizerReportFile(saved);
  run();
  SetSanitizerReportFile(STDERR_FILENO);
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  return ReadTextFile(file);
}

// The contents of the ELF section Name of the file Path; empty when there is none.
std::string ReadElfSection(const fs::path& path, const std::string& name) {
  const std::string file = ReadTextFile(path);
  if (file.size() < sizeof(Elf64_Ehdr) || file.compare(0, 4, ELFMAG) != 0 || file[EI_CLASS] != ELFCLASS64) return {};
  Elf64_Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  auto section = [&](size_t i) {
    Elf64_Shdr s;
    std::memcpy(&s, file.data() + header.e_shoff + i * header.e_shentsize, sizeof s);
    return s;
  };
  const Elf64_Shdr names = section(header.e_shstrndx);
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr s = section(i);
    if (file.c_str() + names.sh_offset + s.sh_name == name) return file.substr(s.sh_offset, s.sh_size);
  }
  return {};
}

class FilterHostTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Tmp());
    env_.Set("XDG_CONFIG_HOME", (folder_.Path / "config").string());
    env_.Set("XDG_CONFIG_DIRS", (folder_.Path / "system").string());
    env_.Set("TMPDIR", Tmp().string());
    env_.Set("QUILL_STANDIN_LOG", Log().string());
    for (const char* name :
         {"QUILL_STANDIN_MODE", "QUILL_STANDIN_KEEP", "QUILL_STANDIN_FIFO", "QUILL_STANDIN_RUNTIME_FILE"}) {
      env_.Set(name, {});
    }
  }
  void TearDown() override {
    if (library_ != nullptr) ::dlclose(library_);
  }

  fs::path Tmp() const { return folder_.Path / "tmp"; }
  fs::path Log() const { return folder_.Path / "standin.log"; }

  // Installs Program as the main program (none: no setting at all) and loads the
  // library, which reads the setting when it starts.
  void Load(const std::optional<std::string>& program = kStandIn) {
    const fs::path setting = folder_.Path / "config" / "Norvane" / "Pictoria" / "Quillmere.conf";
    fs::remove(setting);
    if (program) WriteTextFile(setting, "# installed\nPath=" + *program + "\n");
    LoadLibrary(QUILL_PLUGIN_LIBRARY);
  }

  // Loads the plug-in library Path.
  void LoadLibrary(const std::string& path) {
    if (library_ != nullptr) ::dlclose(library_);
    library_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    entry_ = reinterpret_cast<quill::EntryPointProc>(::dlsym(library_, "ENTRYPOINT"));
    ASSERT_NE(entry_, nullptr);
  }

  int16_t Call(int16_t selector, void* record) {
    int16_t result = 12345;
    entry_(selector, record, nullptr, &result);
    return result;
  }

  // A run over Rect of Image is next: an RGB image with Image's planes.
  void PrepareRun(THostImage& image, const quill::HostRect& rect) {
    host_ = THost{};
    host_.Image = &image;
    host_.Record.planes = static_cast<int16_t>(image.Planes);
    host_.Record.imageMode = quill::kImageModeRGB;
    host_.Record.filterRect = rect;
    host_.Record.advanceState = AdvanceState;
  }

  // Runs the filter as a host does: Parameters, Prepare, Start, Continue, Finish.
  // Returns Start's result; what the plug-in wrote to standard error is in messages_.
  int16_t RunFilter() {
    gHost = &host_;
    FilterRecord& r = host_.Record;
    int16_t result = 0;
    messages_ = CaptureStandardError(folder_.Path / "stderr.txt", [&] {
      EXPECT_EQ(Call(quill::kSelectorParameters, &r), quill::kResultDone);
      EXPECT_EQ(Call(quill::kSelectorPrepare, &r), quill::kResultDone);
      result = Call(quill::kSelectorStart, &r);
      EXPECT_TRUE(Empty(r.inRect) && Empty(r.outRect) && Empty(r.maskRect)) << "the host would ask for more";
      EXPECT_EQ(Call(quill::kSelectorContinue, &r), quill::kResultDone);
      EXPECT_EQ(Call(quill::kSelectorFinish, &r), quill::kResultDone);
    });
    gHost = nullptr;
    return result;
  }

  // Whether the stand-in program was started.
  bool ProgramRan() const { return fs::exists(Log()); }

  // In the sanitizer build: the font library's configuration parser leaks two of its
  // rules when the real program is started from here (not when started from a shell);
  // that leak is the library's, and must not count as the program's exit code.
  void IgnoreTheFontLibrarysLeaks() {
    const fs::path suppressions = folder_.Path / "leaks.supp";
    WriteTextFile(suppressions, "leak:libfontconfig.so\n");
    env_.Set("LSAN_OPTIONS", "suppressions=" + suppressions.string());
  }

  // A named pipe through which the test lets a waiting program go on.
  fs::path MakeFifo() const {
    const fs::path fifo = folder_.Path / "go";
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    return fifo;
  }

  std::map<std::string, std::string> ProgramLog() const { return quill::test::ReadProgramLog(Log()); }

  quill::test::TTestFolder folder_;
  quill::test::TScopedEnvironment env_;
  void* library_ = nullptr;
  quill::EntryPointProc entry_ = nullptr;
  THost host_;
  std::string messages_;
};

TEST_F(FilterHostTest, ExportsOnlyTheEntryPoint) {
  FILE* pipe = ::popen("nm -D --defined-only '" QUILL_PLUGIN_LIBRARY "'", "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream words(line);
    std::string word, last;
    while (words >> word) last = word;
    if (!last.empty()) symbols.insert(last);
  }
  ASSERT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(symbols, (std::set<std::string>{"ENTRYPOINT"}));
}

TEST_F(FilterHostTest, PropertyResourceHoldsTheFilterDescription) {
  static const char kExpected[] =
      "\x01\x00" "\x00\x00\x00\x00" "\x08\x00\x00\x00"
      "MIB8" "dnik" "\x00\x00\x00\x00" "\x04\x00\x00\x00" "MFB8"
      "MIB8" "eman" "\x00\x00\x00\x00" "\x10\x00\x00\x00" "\x0c" "Quillmere..." "\x00\x00\x00"
      "MIB8" "gtac" "\x00\x00\x00\x00" "\x08\x00\x00\x00" "\x07" "Norvane"
      "MIB8" "srev" "\x00\x00\x00\x00" "\x04\x00\x00\x00" "\x05\x00\x02\x00"
      "MIB8" "68xw" "\x00\x00\x00\x00" "\x0c\x00\x00\x00" "ENTRYPOINT" "\x00\x00"
      "MIB8" "edom" "\x00\x00\x00\x00" "\x04\x00\x00\x00" "\x10\x00\x00\x00"
      "MIB8" "lbne" "\x00\x00\x00\x00" "\x20\x00\x00\x00" "in (PSHOP_ImageMode,RGBMode)" "\x00\x00\x00\x00"
      "MIB8" "icif" "\x00\x00\x00\x00" "\x1c\x00\x00\x00"
      "\x01\x01\x06\x00" "\x01\x01\x06\x00" "\x01\x01\x06\x00" "\x01\x01\x06\x00"
      "\x01\x01\x06\x00" "\x01\x01\x06\x00" "\x01\x01\x06\x00";
  EXPECT_EQ(ReadElfSection(QUILL_PLUGIN_LIBRARY, ".pipl"), std::string(kExpected, sizeof kExpected - 1));
}

TEST_F(FilterHostTest, AboutShowsItsTextAndOtherSelectorsAreRefused) {
  Load();
  int aboutRecord = 0;
  int16_t about = 0, six = 0, minusOne = 0;
  messages_ = CaptureStandardError(folder_.Path / "stderr.txt", [&] {
    about = Call(quill::kSelectorAbout, &aboutRecord);
    six = Call(6, nullptr);
    minusOne = Call(-1, nullptr);
  });
  EXPECT_EQ(about, quill::kResultDone);
  EXPECT_EQ(six, quill::kResultUnhandled);
  EXPECT_EQ(minusOne, quill::kResultUnhandled);
  EXPECT_EQ(messages_, "About Quillmere Plug-in\nQuillmere Plug-in\nVersion: 3.4.0\nMade by Norvane\n");
}

struct TRoundTripCase {
  const char* Name;
  int Width, Height, Planes, Padding;
  quill::HostRect Rect;
  const char* Mode;  // what the stand-in program does
  bool AllPlanesChange;
};

void PrintTo(const TRoundTripCase& c, std::ostream* os) { *os << c.Name; }

class RoundTripTest : public FilterHostTest, public testing::WithParamInterface<TRoundTripCase> {};

// The host receives the program's pixels inside the filter rectangle and nothing else
// changes: not the pixels around the rectangle, not the bytes past a row's pixels, not
// the further planes when the program saved only red, green and blue.
TEST_P(RoundTripTest, HostReceivesTheEditedPixelsOfItsRectangle) {
  const TRoundTripCase& c = GetParam();
  env_.Set("QUILL_STANDIN_MODE", c.Mode);
  Load();
  THostImage image(c.Width, c.Height, c.Planes, c.Padding);
  PrepareRun(image, c.Rect);
  const int changed = c.AllPlanesChange ? c.Planes : 3;
  const std::vector<uint8_t> expected = image.Changed(c.Rect, [&](uint8_t* pixel) {
    for (int i = 0; i < changed; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
  });
  const std::vector<uint8_t> input = image.Input;

  EXPECT_EQ(RunFilter(), quill::kResultDone) << messages_;
  EXPECT_EQ(image.Output, expected);
  EXPECT_EQ(image.Input, input);
  EXPECT_EQ(messages_, "");
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, RoundTripTest,
    testing::Values(
        // Odd width inside a wider image: the program's rows are padded to 24 bytes.
        TRoundTripCase{"RgbOddWidthInsideTheImage", 13, 9, 3, 5, {2, 3, 7, 10}, "invert", false},
        // The program saves three planes: the host's fourth stays. The rectangle ends at
        // the image's last row, so its last row ends before the buffer does.
        TRoundTripCase{"RgbaFromTheProgram", 13, 9, 4, 5, {4, 3, 9, 10}, "invert", false},
        // A file that kept the host's four planes and row bytes: whole pixels come back.
        TRoundTripCase{"RgbaKeptLayout", 13, 9, 4, 5, {2, 3, 7, 10}, "keep-layout", true},
        // The whole image, rows without padding on either side.
        TRoundTripCase{"RgbWholeImage", 12, 5, 3, 0, {0, 0, 5, 12}, "invert", false}),
    [](const testing::TestParamInfo<TRoundTripCase>& test) { return std::string(test.param.Name); });

// The real program, started by the plug-in on the exchange file, inverts the image
// rectangle (1, 1)-(4, 3) through a demo script: on OK the host receives exactly those
// pixels inverted, on Cancel its image stays as it was.
// Without XDG_RUNTIME_DIR Qt would make its runtime folder in the temporary folder and
// leave it there: the plug-in gives the program one that goes with the exchange file.
TEST_F(FilterHostTest, TheProgramsEditReachesTheHostOnOkOnly) {
  env_.Set("XDG_RUNTIME_DIR", {});
  Load(QUILL_SCRIPTED_QUILLMERE);
  for (const char* answer : {"ok", "cancel"}) {
    SCOPED_TRACE(answer);
    env_.Set("QUILL_SCRIPTED_ANSWER", answer);
    THostImage image(13, 9, 4, 5);
    PrepareRun(image, {2, 3, 7, 10});
    const bool ok = std::string(answer) == "ok";
    const std::vector<uint8_t> expected =
        ok ? image.Changed({3, 4, 5, 7}, [](uint8_t* pixel) {
               for (int i = 0; i < 3; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
             })
           : image.Input;
    EXPECT_EQ(RunFilter(), ok ? quill::kResultDone : quill::kResultNotCopied) << messages_;
    EXPECT_EQ(image.Output, expected);
    EXPECT_TRUE(fs::is_empty(Tmp()));
  }
}

// The installation's test (tests/install/check-install.sh) runs this one with a display,
// QUILL_INSTALLED_PREFIX, the prefix it installed into, and QUILL_WINDOW_CLOSER, a
// command that closes the program's window as a user would. The installed plug-in
// finds the installed configuration through XDG_CONFIG_DIRS and starts the installed
// program, which shows in plug-in mode; closed without an edit, it leaves the host's
// image as it was.
TEST_F(FilterHostTest, TheInstalledPlugInStartsTheInstalledProgram) {
  const char* prefix = std::getenv("QUILL_INSTALLED_PREFIX");
  const char* closer = std::getenv("QUILL_WINDOW_CLOSER");
  if (prefix == nullptr || closer == nullptr) GTEST_SKIP() << "run by the installation's test";
  env_.Set("XDG_CONFIG_DIRS", std::string(prefix) + "/etc/xdg");
  env_.Set("QT_QPA_PLATFORM", "xcb");
  env_.Set("XDG_RUNTIME_DIR", {});
  LoadLibrary(std::string(prefix) + "/lib/quillmere/plugin/QuillmerePlugin.so");
  THostImage image(13, 9, 4, 5);
  PrepareRun(image, {2, 3, 7, 10});

  const char* argv[] = {"sh", "-c", closer, nullptr};
  pid_t closing = 0;
  ASSERT_EQ(::posix_spawn(&closing, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  EXPECT_EQ(RunFilter(), quill::kResultNotCopied) << messages_;
  int status = 0;
  ASSERT_EQ(::waitpid(closing, &status, 0), closing);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the program's window never showed";
  EXPECT_EQ(image.Output, image.Input);
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(FilterHostTest, StartsTheProgramOnTheExchangeFile) {
  env_.Set("QUILL_STANDIN_KEEP", (folder_.Path / "arrived.pspf").string());
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  // A descriptor the host holds open, not to be inherited by the program.
  const int hostFile = ::open(Log().parent_path().c_str(), O_RDONLY);
  ASSERT_EQ(RunFilter(), quill::kResultDone) << messages_;
  ::close(hostFile);

  const auto log = ProgramLog();
  EXPECT_EQ(log.at("argv0"), kStandIn);
  const fs::path file = log.at("argv1");
  EXPECT_EQ(file.parent_path(), Tmp());
  EXPECT_EQ(file.filename().string().substr(0, 3), "PSP");
  EXPECT_EQ(file.extension(), ".tmp");
  EXPECT_EQ(log.at("cwd"), fs::path(kStandIn).parent_path().string());
  // Descriptor 3: the host's process, for the program to see whether its host is there.
  EXPECT_EQ(log.at("fds"), "0,1,2,3");
  EXPECT_EQ(log.at("host"), std::to_string(::getpid()));

  // "PSPF", the header {32, mode 3, left 3, top 2, width 7, height 5, row bytes 44,
  // planes 3}, then 5 rows of 44 bytes, each the rectangle's 21 bytes and zeros.
  const std::string arrived = ReadTextFile(folder_.Path / "arrived.pspf");
  ASSERT_EQ(arrived.size(), 36u + 5 * 44);
  const int32_t header[8] = {32, 3, 3, 2, 7, 5, 44, 3};
  EXPECT_EQ(arrived.substr(0, 4), "PSPF");
  EXPECT_EQ(std::memcmp(arrived.data() + 4, header, sizeof header), 0);
  for (int y = 0; y < 5; ++y) {
    const std::string row = arrived.substr(36 + y * 44, 44);
    const auto* pixels = reinterpret_cast<const char*>(image.Input.data() + (2 + y) * 44 + 3 * 3);
    EXPECT_EQ(row.substr(0, 21), std::string(pixels, 21)) << "row " << y;
    EXPECT_EQ(row.substr(21), std::string(23, '\0')) << "row " << y;
  }
}

struct TFailureCase {
  const char* Mode;
  const char* Message;
};

void PrintTo(const TFailureCase& c, std::ostream* os) { *os << c.Mode; }

class ProgramFailureTest : public FilterHostTest, public testing::WithParamInterface<TFailureCase> {};

// Whatever the program did, the host gets -128, its image stays as it was and the
// exchange file is gone.
TEST_P(ProgramFailureTest, NothingIsCopiedBack) {
  env_.Set("QUILL_STANDIN_MODE", GetParam().Mode);
  Load();
  THostImage image(13, 9, 4, 5);
  PrepareRun(image, {2, 3, 7, 10});
  // Should the read-back wait for a writer of a named pipe, the watchdog ends the test
  // as a failure.
  ::alarm(60);
  EXPECT_EQ(RunFilter(), quill::kResultNotCopied);
  ::alarm(0);
  EXPECT_EQ(messages_, GetParam().Message);
  EXPECT_EQ(image.Output, image.Input);
  EXPECT_TRUE(ProgramRan());
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramFailureTest,
    testing::Values(TFailureCase{"cancel", ""}, TFailureCase{"exit1", ""}, TFailureCase{"signal", ""},
                    TFailureCase{"shorten", "Error: Transfer image data error.\n"},
                    TFailureCase{"wide-rows", "Error: Transfer image data error.\n"},
                    TFailureCase{"header-size", "Error: Transfer image data error.\n"},
                    TFailureCase{"resize", "Error: Transfer image data error.\n"}, TFailureCase{"magic", ""},
                    TFailureCase{"fifo", ""}),
    [](const testing::TestParamInfo<TFailureCase>& test) {
      std::string name = test.param.Mode;
      name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
      return name;
    });

TEST_F(FilterHostTest, AProgramThatCannotBeStartedIsReported) {
  THostImage image(13, 9, 3, 5);
  const std::string missing = (folder_.Path / "nowhere" / "Quillmere").string();
  Load(missing);
  PrepareRun(image, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
  EXPECT_EQ(messages_, "Error: Execute application \"" + missing + "\" error: 2\n");

  // Without the installed setting the path is empty.
  Load(std::nullopt);
  PrepareRun(image, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
  EXPECT_EQ(messages_, "Error: Execute application \"\" error: 2\n");

  EXPECT_EQ(image.Output, image.Input);
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(FilterHostTest, AnImageThatIsNotRgbIsRefusedBeforeAnythingStarts) {
  Load();
  THostImage image(13, 9, 1, 0);
  PrepareRun(image, {2, 3, 7, 10});
  host_.Record.imageMode = 1;
  EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
  EXPECT_EQ(messages_, "Error: Quillmere edits RGB images only; convert the image to RGB first.\n");
  EXPECT_EQ(host_.AdvanceCalls, 0);
  EXPECT_FALSE(ProgramRan());
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(FilterHostTest, UnusableInputIsReportedBeforeAnythingStarts) {
  Load();
  THostImage rgb(13, 9, 3, 5);
  THostImage twoPlanes(13, 9, 2, 5);
  for (int failure = 0; failure < 3; ++failure) {
    SCOPED_TRACE(failure);
    PrepareRun(failure == 2 ? twoPlanes : rgb, {2, 3, 7, 10});
    if (failure == 0) host_.FailInput = true;
    if (failure == 1) host_.Record.advanceState = nullptr;
    EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
    EXPECT_EQ(messages_, "Error: Get image data error.\n");
  }
  EXPECT_FALSE(ProgramRan());
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(FilterHostTest, AnExchangeFileThatCannotBeMadeIsReported) {
  env_.Set("TMPDIR", (folder_.Path / "missing").string());
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
  EXPECT_EQ(messages_, "Error: Create temp file error.\n");
  EXPECT_FALSE(ProgramRan());
}

// No output buffer, or output rows too short for the rectangle's pixels (they would
// overflow it): nothing is written into the host's memory.
TEST_F(FilterHostTest, UnusableOutputIsReportedAndLeftAlone) {
  Load();
  THostImage image(13, 9, 3, 0);
  for (int failure = 0; failure < 2; ++failure) {
    SCOPED_TRACE(failure);
    PrepareRun(image, {2, 0, 7, 13});
    if (failure == 0) host_.NoOutput = true;
    if (failure == 1) host_.ShortenOutputRows = 1;
    EXPECT_EQ(RunFilter(), quill::kResultNotCopied);
    EXPECT_EQ(messages_, "Error: Get out image data error.\n");
    EXPECT_EQ(image.Output, image.Input);
  }
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

// The host's own handling of its children. A host that reaps every child from its
// SIGCHLD handler, or ignores SIGCHLD, would take the program's exit status; the host
// receives the edit (and a cancel) all the same, and the program is not its child.
class HostChildHandlingTest : public FilterHostTest, public testing::WithParamInterface<const char*> {
 protected:
  static void ReapEveryChild(int) {
    const int saved = errno;
    int status;
    while (::waitpid(-1, &status, WNOHANG) > 0) ++reaped_;
    errno = saved;
  }

  void SetUp() override {
    FilterHostTest::SetUp();
    struct sigaction handling = {};
    handling.sa_flags = SA_RESTART;
    handling.sa_handler = std::string(GetParam()) == "Reaper" ? ReapEveryChild : SIG_IGN;
    reaped_ = 0;
    ::sigaction(SIGCHLD, &handling, &previous_);
  }
  void TearDown() override {
    ::sigaction(SIGCHLD, &previous_, nullptr);
    FilterHostTest::TearDown();
  }

  static inline std::atomic<int> reaped_{0};
  struct sigaction previous_ = {};
};

TEST_P(HostChildHandlingTest, TheProgramsExitReachesThePlugIn) {
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultDone) << messages_;
  EXPECT_EQ(image.Output, image.Changed({2, 3, 7, 10}, [](uint8_t* pixel) {
    for (int i = 0; i < 3; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
  }));
  EXPECT_NE(ProgramLog().at("ppid"), std::to_string(::getpid()));
  EXPECT_EQ(reaped_, 0);

  env_.Set("QUILL_STANDIN_MODE", "cancel");
  THostImage untouched(13, 9, 3, 5);
  PrepareRun(untouched, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultNotCopied);
  EXPECT_EQ(untouched.Output, untouched.Input);
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostChildHandlingTest, testing::Values("Reaper", "Ignore"));

// The alarm handler's named pipe, and whether it has let the program go.
const char* gAlarmFifo = nullptr;
volatile sig_atomic_t gReleasedByAlarm = 0;

// Lets the program go once it waits at its end of the pipe.
void ReleaseOnAlarm(int) {
  if (gReleasedByAlarm) return;
  const int saved = errno;
  const int pipe = ::open(gAlarmFifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // fails until then
  if (pipe >= 0) {
    gReleasedByAlarm = ::write(pipe, "g", 1) == 1;
    ::close(pipe);
  }
  errno = saved;
}

// The host's signals reach it while the program runs: the alarm of a host with one
// thread goes off mid-edit, and its handler runs then, not once the user has left the
// program. Here the handler is what lets the program finish.
TEST_F(FilterHostTest, AHostsAlarmGoesOffWhileTheProgramRuns) {
  const fs::path fifo = MakeFifo();
  env_.Set("QUILL_STANDIN_FIFO", fifo.string());
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  gAlarmFifo = fifo.c_str();
  gReleasedByAlarm = 0;
  struct sigaction handling = {};
  struct sigaction previous = {};
  handling.sa_handler = ReleaseOnAlarm;
  handling.sa_flags = SA_RESTART;
  ::sigaction(SIGALRM, &handling, &previous);
  int16_t result = 0;
  bool watchdogFired = false;
  {
    quill::test::TWatchdog watchdog(fifo, std::chrono::seconds(30));
    // Every 10 ms, until the run ends.
    const itimerval often = {{0, 10'000}, {0, 10'000}};
    ::setitimer(ITIMER_REAL, &often, nullptr);
    result = RunFilter();
    const itimerval off = {};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    watchdogFired = watchdog.Fired();
  }
  ::sigaction(SIGALRM, &previous, nullptr);

  EXPECT_TRUE(gReleasedByAlarm);
  EXPECT_FALSE(watchdogFired);
  EXPECT_EQ(result, quill::kResultDone) << messages_;
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

// The exit statuses of the children that exited (not those a signal ended), once every
// child of this process has ended.
std::multiset<int> ReapEveryChild() {
  std::multiset<int> exits;
  int status = 0;
  for (pid_t child; (child = ::waitpid(-1, &status, __WALL)) > 0 || errno == EINTR;) {
    if (child > 0 && WIFEXITED(status)) exits.insert(WEXITSTATUS(status));
  }
  return exits;
}

// A host ended mid-edit (SIGTERM, whose default action ends it) ends at once, not once
// the user has left the program. The real program then finds its host gone: OK says
// so, hands nothing back (exit code -1, no write) and removes the exchange file and its
// runtime folder, which no plug-in is left to delete. The host runs in a child process;
// this one becomes the reaper of the orphaned program, to read its exit code.
TEST_F(FilterHostTest, AHostEndedMidEditEndsAtOnceAndLeavesNothingBehind) {
  const fs::path fifo = MakeFifo();
  env_.Set("QUILL_SCRIPTED_FIFO", fifo.string());
  env_.Set("QUILL_SCRIPTED_ANSWER", "ok");
  env_.Set("XDG_RUNTIME_DIR", {});
  IgnoreTheFontLibrarysLeaks();
  Load(QUILL_SCRIPTED_QUILLMERE);
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  gHost = &host_;
  const fs::path errors = folder_.Path / "errors.txt";
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  const pid_t host = ::fork();
  if (host == 0) {
    const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, STDERR_FILENO);
    Call(quill::kSelectorStart, &host_.Record);
    ::_exit(0);
  }
  gHost = nullptr;
  ASSERT_GT(host, 0);
  const int hostProcess = static_cast<int>(quill::OpenProcessDescriptor(host));
  int hostStatus = 0;
  bool hostEndedInTime = false;
  bool watchdogFired = false;
  {
    quill::test::TWatchdog watchdog(fifo, std::chrono::seconds(60));
    // Opens once the program waits for its answer: the edit is done, the user away.
    const int pipe = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ::kill(host, SIGTERM);
    pollfd ended = {hostProcess, POLLIN, 0};
    hostEndedInTime = ::poll(&ended, 1, 20'000) == 1;
    EXPECT_EQ(::write(pipe, "g", 1), 1);  // the user presses OK
    ::close(pipe);
    ::waitpid(host, &hostStatus, 0);
    watchdogFired = watchdog.Fired();
  }
  const std::multiset<int> exits = ReapEveryChild();
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
  ::close(hostProcess);

  EXPECT_FALSE(watchdogFired);
  EXPECT_TRUE(hostEndedInTime) << "the host stayed until the program ended";
  EXPECT_TRUE(WIFSIGNALED(hostStatus) && WTERMSIG(hostStatus) == SIGTERM) << hostStatus;
  EXPECT_EQ(exits, std::multiset<int>{255});
  EXPECT_NE(ReadTextFile(errors).find("Message: The host program has ended, so the edited image cannot be "
                                      "handed back to it. Quillmere closes without saving it."),
            std::string::npos)
      << ReadTextFile(errors);
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

// Where the kernel refuses the helper (see RefuseTheHelper), the program is started as
// the host's own child and the round trip still works; the program gets the host's
// process descriptor all the same. Run in a child process of the
// test, which the filter stays confined to.
class HelperRefusedDeathTest : public FilterHostTest, public testing::WithParamInterface<int> {};

TEST_P(HelperRefusedDeathTest, TheProgramIsAPlainChild) {
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  const std::vector<uint8_t> expected = image.Changed({2, 3, 7, 10}, [](uint8_t* pixel) {
    for (int i = 0; i < 3; ++i) pixel[i] = static_cast<uint8_t>(~pixel[i]);
  });
  const auto run = [&] {
    if (!quill::test::RefuseTheHelper(GetParam())) return 2;
    if (RunFilter() != quill::kResultDone || image.Output != expected) return 3;
    const auto log = ProgramLog();
    if (log.at("ppid") != std::to_string(::getpid())) return 4;
    return log.at("fds") == "0,1,2,3" && log.at("host") == std::to_string(::getpid()) ? 0 : 5;
  };
  EXPECT_EXIT(std::_Exit(run()), testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Kernels, HelperRefusedDeathTest, testing::Values(EINVAL, ENOSYS, EPERM),
                         [](const testing::TestParamInfo<int>& test) {
                           return std::string(test.param == EINVAL ? "EINVAL" : test.param == ENOSYS ? "ENOSYS" : "EPERM");
                         });

// The program starts in its own folder: a relative program path and a relative
// temporary folder (the exchange file's and the runtime folder's) count from the host's
// working folder, where the host means them.
TEST_F(FilterHostTest, RelativePathsCountFromTheHostsWorkingFolder) {
  const fs::path hostFolder = fs::current_path();
  fs::current_path(folder_.Path);
  env_.Set("TMPDIR", "tmp");
  env_.Set("XDG_RUNTIME_DIR", {});
  Load(fs::relative(kStandIn, folder_.Path).string());
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  const int16_t result = RunFilter();
  fs::current_path(hostFolder);

  EXPECT_EQ(result, quill::kResultDone) << messages_;
  const auto log = ProgramLog();
  EXPECT_TRUE(fs::equivalent(log.at("argv0"), kStandIn));
  EXPECT_TRUE(fs::equivalent(log.at("cwd"), fs::path(kStandIn).parent_path()));
  const fs::path file = log.at("argv1");
  EXPECT_TRUE(file.is_absolute());
  EXPECT_TRUE(fs::equivalent(file.parent_path(), Tmp()));
  const fs::path runtime = log.at("runtime");
  EXPECT_TRUE(runtime.is_absolute());
  EXPECT_EQ(runtime.parent_path(), file.parent_path());
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

// A runtime folder of the host's is passed on untouched; without one (unset or empty)
// the program gets a new folder of its own in the temporary folder, open to the user
// only, removed with everything in it when the run ends.
TEST_F(FilterHostTest, TheProgramGetsARuntimeFolderOnlyWhenTheHostHasNone) {
  env_.Set("QUILL_STANDIN_RUNTIME_FILE", "socket");
  const fs::path session = folder_.Path / "session";
  fs::create_directory(session);
  env_.Set("XDG_RUNTIME_DIR", session.string());
  Load();
  THostImage image(13, 9, 3, 5);
  PrepareRun(image, {2, 3, 7, 10});
  EXPECT_EQ(RunFilter(), quill::kResultDone) << messages_;
  EXPECT_EQ(ProgramLog().at("runtime"), session.string());
  EXPECT_TRUE(fs::exists(session / "socket"));

  for (const std::optional<std::string>& none : {std::optional<std::string>(), std::optional<std::string>("")}) {
    env_.Set("XDG_RUNTIME_DIR", none);
    PrepareRun(image, {2, 3, 7, 10});
    EXPECT_EQ(RunFilter(), quill::kResultDone) << messages_;
    const auto log = ProgramLog();
    EXPECT_EQ(fs::path(log.at("runtime")).parent_path(), Tmp());
    EXPECT_EQ(log.at("runtime-mode"), "700");
    EXPECT_TRUE(fs::is_empty(Tmp()));
  }
}

// An image the program would refuse is refused before a byte of it is read and before
// anything is written or started.
TEST_F(FilterHostTest, AnImageLargerThanTheProgramTakesIsRefusedBeforeAnythingStarts) {
  Load();
  THostImage image(1, 1, 3, 0);
  PrepareRun(image, {0, 0, 14000, 20000});
  host_.AnyInput = true;
  EXPECT_EQ(RunFilter(), quill::kResultStartFailed);
  EXPECT_EQ(messages_,
            "Error: The image is too large for Quillmere: 20000 x 14000 pixels; it takes at most 268435456 pixels.\n");
  EXPECT_FALSE(ProgramRan());
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

// Runs Program on File with standard error into Errors; the wait status.
int RunProgram(const std::string& program, const fs::path& file, const fs::path& errors) {
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};
  pid_t process = -1;
  int status = -1;
  if (::posix_spawn(&process, program.c_str(), &actions, nullptr, arguments, environ) == 0) {
    ::waitpid(process, &status, 0);
  }
  ::posix_spawn_file_actions_destroy(&actions);
  return status;
}

// The real program on a file that begins as an exchange file but does not load (above
// the pixel limit, cut short) says so and ends with -1, no result for the host; on a
// "PSPF" file of another mode it stays in normal mode (the scripted program then ends
// with 3).
TEST_F(FilterHostTest, TheProgramGivesNoResultForAnExchangeFileItCannotLoad) {
  env_.Set("QT_QPA_PLATFORM", "offscreen");
  IgnoreTheFontLibrarysLeaks();
  const fs::path runtime = folder_.Path / "runtime";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
  env_.Set("XDG_RUNTIME_DIR", runtime.string());
  struct TCase {
    const char* Name;
    int32_t Width, Height, Mode;
    int64_t Rows;  // rows the file holds (sparse)
    int Exit;
  };
  for (const TCase& c : {TCase{"oversized", 20000, 14000, 3, 14000, 255}, TCase{"cut-short", 40, 30, 3, 29, 255},
                         TCase{"mode-1", 40, 30, 1, 30, 3}}) {
    SCOPED_TRACE(c.Name);
    const fs::path file = folder_.Path / (std::string(c.Name) + ".tmp");
    const int32_t header[8] = {32, c.Mode, 0, 0, c.Width, c.Height, c.Width * 3, 3};
    WriteTextFile(file, "PSPF" + std::string(reinterpret_cast<const char*>(header), sizeof header));
    fs::resize_file(file, quill::kExchangePixelOffset + c.Rows * c.Width * 3);
    const fs::path errors = folder_.Path / "errors.txt";
    const int status = RunProgram(QUILL_SCRIPTED_QUILLMERE, file, errors);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), c.Exit) << ReadTextFile(errors);
    EXPECT_NE(ReadTextFile(errors).find("Message: The file " + file.string() + " cannot be opened."),
              std::string::npos)
        << ReadTextFile(errors);
  }
}

}  // namespace
