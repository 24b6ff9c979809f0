// What the plug-in needs of the system: its one installed setting, temporary files and
// folders, starting the main program and waiting for it, and standard error. POSIX and
// Linux only, so the library loads into any host without pulling in a toolkit.
//
// The installed setting is a small key-value file: lines "name=value", blank lines and
// lines beginning with "#" skipped. It is looked for under $XDG_CONFIG_HOME (default
// ~/.config), then under each folder of $XDG_CONFIG_DIRS (default /etc/xdg); the first
// file that opens is the one read. Folders given as relative paths are skipped.

#ifndef QUILL_PLUGIN_PLUGINSYSTEM_H_
#define QUILL_PLUGIN_PLUGINSYSTEM_H_

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Value := Default; then, when the key-value file Key (a path relative to the
// configuration folders) is found, readable and at most 64 KiB, and holds ValueName
// with a value of at most 1023 bytes, Value := that value. The first line naming
// ValueName counts.
std::string ReadRegistryString(std::string_view valueName, std::string_view defaultValue,
                               std::string_view key);

// The temporary folder with its trailing slash: $TMPDIR (made absolute when relative,
// quill::FromWorkingFolder), or /tmp when it is unset or empty.
std::string GetTempDirectory();

// Creates a new empty file Folder + the first three characters of Prefix + six unique
// characters + ".tmp", readable and writable by the user only, and opens it for
// reading and writing (closed on exec). Returns the descriptor and sets Name; -1 on
// failure, with Name empty.
int MakeTempFileName(const std::string& folder, std::string_view prefix, std::string& name);

namespace quill {

// Name as the caller means it: a relative name counts from the caller's working
// folder. An empty or absolute name, or any name when the working folder cannot be
// told, stays as it is.
std::string FromWorkingFolder(const std::string& name);

// A program that StartProgram started, until WaitForExit has seen it end.
struct TStartedProgram {
  pid_t Process = -1;
  // The helper's process descriptor; -1 when Process is the program, a plain child.
  int ProcessFd = -1;
  // The helper's stacks, unmapped once it has been reaped; null for a plain child.
  void* Stacks = nullptr;
};

// Starts Program with the arguments {Program, Argument} and the environment
// Environment ("name=value" entries), in the folder WorkingDirectory (unchanged when
// empty), with no descriptor but standard input, output and error and Passed (a
// close-on-exec descriptor, -1: none) as descriptor 3 (kHostProcessDescriptor),
// default signal handling and no blocked signals. A relative Program is first made
// absolute (FromWorkingFolder), as the caller means it: the program starts in another
// folder. Argument goes as it is, so it had better not be relative. Returns 0 and sets
// Started once the program has been started (its exec done), or the error number of
// the failure (a program that cannot be run gives the error of its exec).
//
// The host may reap children of its own (a SIGCHLD handler that waits for any child) or
// ignore SIGCHLD, and either would take the program's exit status before WaitForExit
// could read it. So the program is not the host's child: a helper process is, with an
// exit signal of 0, which neither a wait for any child nor ignoring SIGCHLD touches.
// The helper sets every signal to its default, starts the program, waits for it and
// ends with the program's exit code (128 + the signal when a signal ended it).
// The helper shares the host's memory, as posix_spawn's child does until its exec, so a
// start costs the same whatever memory the host holds, and nothing of the host is
// copied while the program runs. It runs beside the calling thread, which goes on at
// once and takes its signals as ever; so the helper makes raw system calls only, and
// never touches the calling thread's errno. When the calling thread ends, with the
// host, the helper is killed and so lets the host's memory go; the program lives on.
// The helper needs x86-64. Elsewhere, and where the kernel refuses the helper (EINVAL
// before Linux 5.2, ENOSYS or EPERM from a system-call filter), the program is started
// as a plain child instead, as exposed to the host's reaping as any child.
int StartProgram(const std::string& program, const std::string& argument,
                 const std::string& workingDirectory, const std::vector<std::string>& environment, int passed,
                 TStartedProgram& started);

// Waits until Started ends, then forgets it. It polls the program: while it runs, Idle
// runs (the host's events may be pumped there), then a pause of up to 10 ms, which the
// helper's end cuts short; the calling thread takes its signals as they come. Through
// the helper it reaps the helper, closes its process descriptor and unmaps its stacks.
// True only when the program exited normally with status 0; a program killed by a
// signal, any other status and a failure to query the process give false.
bool WaitForExit(TStartedProgram& started, const std::function<void()>& idle);

// The caller's environment, one "name=value" entry each.
std::vector<std::string> CurrentEnvironment();

// Sets Name to Value in Environment, replacing every entry of that name.
void SetEnvironmentValue(std::vector<std::string>& environment, std::string_view name,
                         std::string_view value);

// Creates a new folder Folder + the first three characters of Prefix + six unique
// characters, open to the user only. Returns its name, or an empty text on failure.
std::string MakeTempFolder(const std::string& folder, std::string_view prefix);

// Writes Text to standard error in full (a failure to write is ignored).
void WriteToStandardError(std::string_view text);

}  // namespace quill

#endif  // QUILL_PLUGIN_PLUGINSYSTEM_H_
