// TPluginHost: the host program of a plug-in run, the image editor that waits for this
// program to hand the edited image back through the exchange file. The filter plug-in
// passes the host's process descriptor (a pidfd) down as an open descriptor whose
// number the environment names (exchange/HostProcess.h).
//
// A host that has ended reads nothing back and deletes nothing: the program must not
// then stand for a write-back, and removes itself what the run left in the temporary
// folder (RemovePluginRunFiles).
//
// Main thread only.

#ifndef QUILL_PLATFORM_PLUGINHOST_H_
#define QUILL_PLATFORM_PLUGINHOST_H_

#include <filesystem>

namespace quill {

class TPluginHost {
 public:
  // No host: nothing is watched.
  TPluginHost() = default;
  // Watches the process that ProcessFd (a process descriptor, or -1) refers to; the
  // descriptor becomes the host's, closed with it.
  explicit TPluginHost(int processFd) : FProcess(processFd) {}
  ~TPluginHost();
  TPluginHost(TPluginHost&& other) noexcept;
  TPluginHost& operator=(TPluginHost&& other) noexcept;
  TPluginHost(const TPluginHost&) = delete;
  TPluginHost& operator=(const TPluginHost&) = delete;

  // The host that the environment names: when the variable holds the decimal number
  // (digits only) of an open process descriptor (one whose descriptor information has
  // a "Pid" line), that descriptor, made close-on-exec so that the program's own
  // children do not inherit it. Otherwise no host, and the named descriptor, whatever
  // it is, stays as it was. The variable is removed either way, so that no program
  // this one starts takes the number for its own.
  static TPluginHost FromEnvironment();

  bool Watched() const { return FProcess >= 0; }
  // True once the host process has ended; false while it runs, and without a host.
  bool Ended() const;

 private:
  int FProcess = -1;
};

// Removes what a plug-in run left in the temporary folder once no host is left to: the
// exchange file ExchangeFile, and RuntimeFolder with all it holds when the plug-in made
// it for the run (a folder, not a link, named "PSP" and six characters, in the
// exchange file's folder); a runtime folder of the session lies elsewhere and stays.
// Failures are ignored: there is no one left to tell.
void RemovePluginRunFiles(const std::filesystem::path& exchangeFile, const std::filesystem::path& runtimeFolder);

}  // namespace quill

#endif  // QUILL_PLATFORM_PLUGINHOST_H_
