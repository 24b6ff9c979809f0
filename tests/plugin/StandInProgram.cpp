// A stand-in for the main program, started by the plug-in under test with the arguments
// {its own path, the exchange file}. What it does comes from the environment, which the
// plug-in passes on:
//   QUILL_STANDIN_LOG   when set, it writes its arguments, working folder, open
//                       descriptors, parent process, runtime folder (XDG_RUNTIME_DIR)
//                       and that folder's permissions, and the process that the
//                       descriptor named by QUILLMERE_HOST_PROCESS_FD refers to (the
//                       "Pid" of its descriptor information) there, one "name=value"
//                       line each;
//   QUILL_STANDIN_RUNTIME_FILE  when set, it leaves a file of that name in its runtime
//                       folder, as a program's sockets would be;
//   QUILL_STANDIN_KEEP  when set, it copies the exchange file as it arrived there;
//   QUILL_STANDIN_FIFO  when set, it waits for one byte from that pipe before it works;
//   QUILL_STANDIN_MODE  what it does to the file and how it ends (default "invert"):
//     invert       reads the file as the program does, inverts red, green and blue and
//                  writes the image back as the program does (Planes 3, its own
//                  stride); exit 0
//     keep-layout  inverts every byte of every pixel in place, keeping the host's
//                  layout and planes; exit 0
//     cancel       exit -1, as the program does when the user cancels (status 255)
//     exit1        exit 1
//     signal       killed by SIGKILL
//     shorten      "invert", then cuts the file's last byte off
//     wide-rows    "invert", then a RowBytes in which a row of Width pixels does not fit
//     header-size  "invert", then a HeaderSize that puts the rows past the file's end
//     resize       writes back an image one pixel wider; exit 0
//     magic        "invert", then the file no longer begins "PSPF"
//     fifo         replaces the file with a named pipe; exit 0

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExchangeFile.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The process that the descriptor named by QUILLMERE_HOST_PROCESS_FD refers to; empty
// when there is none.
std::string HostProcess() {
  const std::string descriptor = Env("QUILLMERE_HOST_PROCESS_FD");
  std::ifstream info("/proc/self/fdinfo/" + descriptor);
  for (std::string line; !descriptor.empty() && std::getline(info, line);) {
    if (line.starts_with("Pid:")) return line.substr(line.find_first_not_of(" \t", 4));
  }
  return "";
}

void Log(const std::string& path, char** argv) {
  // The descriptors first, before the log's own is open.
  std::string fds;
  DIR* folder = ::opendir("/proc/self/fd");
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || std::stoi(name) == ::dirfd(folder)) continue;
    fds += (fds.empty() ? "" : ",") + name;
  }
  ::closedir(folder);
  const std::string runtime = Env("XDG_RUNTIME_DIR");
  struct stat info = {};
  const bool folderThere = !runtime.empty() && ::stat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  char mode[8] = "";
  if (folderThere) std::snprintf(mode, sizeof mode, "%o", info.st_mode & 07777);
  std::ofstream(path) << "argv0=" << argv[0] << "\nargv1=" << argv[1]
                      << "\ncwd=" << std::filesystem::current_path().string() << "\nfds=" << fds
                      << "\nppid=" << ::getppid() << "\nruntime=" << runtime << "\nruntime-mode=" << mode
                      << "\nhost=" << HostProcess() << "\n";
}

void WaitForByte(const std::string& fifo) {
  const int pipe = ::open(fifo.c_str(), O_RDONLY);
  char byte;
  if (pipe < 0 || ::read(pipe, &byte, 1) != 1) std::exit(3);
  ::close(pipe);
}

// Reads the file as the program does and writes it back inverted, WidthDelta pixels
// wider; false when the program would not have opened it.
bool InvertAsProgram(const std::string& file, int widthDelta) {
  std::vector<uint8_t> bits;
  int32_t width = 0;
  int32_t height = 0;
  int64_t stride = 0;
  {
    quill::TExchangeFileReader reader;
    if (!reader.Open(file)) return false;
    width = reader.Info().Width + widthDelta;
    height = reader.Info().Height;
    stride = (int64_t{width} * 3 + 3) / 4 * 4;
    bits.assign(static_cast<size_t>(stride * height), 0);
    reader.CopyPixels(bits.data(), stride);
  }
  for (uint8_t& b : bits) b = static_cast<uint8_t>(~b);
  return quill::WriteExchangeFile(file, bits.data(), stride, width, height);
}

void InvertInPlace(const std::string& file) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  int32_t header[8];
  f.seekg(4);
  f.read(reinterpret_cast<char*>(header), sizeof header);
  const int32_t width = header[4], height = header[5], rowBytes = header[6], planes = header[7];
  std::vector<char> row(static_cast<size_t>(width) * planes);
  for (int32_t y = 0; y < height; ++y) {
    const std::streamoff at = quill::kExchangePixelOffset + std::streamoff{y} * rowBytes;
    f.seekg(at);
    f.read(row.data(), static_cast<std::streamsize>(row.size()));
    for (char& b : row) b = static_cast<char>(~b);
    f.seekp(at);
    f.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
}

void PutHeaderField(const std::string& file, int offset, int32_t value) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.write(reinterpret_cast<const char*>(&value), 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string file = argv[1];
  if (const std::string log = Env("QUILL_STANDIN_LOG"); !log.empty()) Log(log, argv);
  if (const std::string keep = Env("QUILL_STANDIN_KEEP"); !keep.empty()) std::filesystem::copy_file(file, keep);
  if (const std::string fifo = Env("QUILL_STANDIN_FIFO"); !fifo.empty()) WaitForByte(fifo);

  if (const std::string name = Env("QUILL_STANDIN_RUNTIME_FILE"); !name.empty()) {
    std::ofstream(Env("XDG_RUNTIME_DIR") + "/" + name) << "socket\n";
  }

  const std::string mode = Env("QUILL_STANDIN_MODE");
  if (mode == "cancel") return -1;
  if (mode == "exit1") return 1;
  if (mode == "signal") ::raise(SIGKILL);
  if (mode == "fifo") {
    std::filesystem::remove(file);
    return ::mkfifo(file.c_str(), 0600) == 0 ? 0 : 5;
  }
  if (mode == "keep-layout") {
    InvertInPlace(file);
    return 0;
  }
  if (!InvertAsProgram(file, mode == "resize" ? 1 : 0)) return 4;
  if (mode == "shorten") std::filesystem::resize_file(file, std::filesystem::file_size(file) - 1);
  if (mode == "wide-rows") {
    quill::TExchangeFileReader reader;
    reader.Open(file);
    PutHeaderField(file, 28, reader.Info().Width * 3 - 1);
  }
  if (mode == "header-size") PutHeaderField(file, 4, 1 << 20);
  if (mode == "magic") PutHeaderField(file, 0, 0);
  return 0;
}
