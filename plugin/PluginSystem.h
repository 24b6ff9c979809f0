// What the plug-in needs of the system: its one installed setting, temporary files,
// starting the main program and waiting for it, and standard error. POSIX only, so the
// library loads into any host without pulling in a toolkit.
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

// Value := Default; then, when the key-value file Key (a path relative to the
// configuration folders) is found, readable and at most 64 KiB, and holds ValueName
// with a value of at most 1023 bytes, Value := that value. The first line naming
// ValueName counts.
std::string ReadRegistryString(std::string_view valueName, std::string_view defaultValue,
                               std::string_view key);

// The temporary folder with its trailing slash: $TMPDIR, or /tmp when it is unset or
// empty.
std::string GetTempDirectory();

// Creates a new empty file Folder + the first three characters of Prefix + six unique
// characters + ".tmp", readable and writable by the user only, and opens it for
// reading and writing (closed on exec). Returns the descriptor and sets Name; -1 on
// failure, with Name empty.
int MakeTempFileName(const std::string& folder, std::string_view prefix, std::string& name);

namespace quill {

// Starts Program with the arguments {Program, Argument} and the caller's environment,
// in the folder WorkingDirectory (unchanged when empty), with no descriptor but
// standard input, output and error, default signal handling and no blocked signals.
// Returns 0 and sets Process, or the error number of the failure.
int StartProgram(const std::string& program, const std::string& argument,
                 const std::string& workingDirectory, pid_t& process);

// Waits until Process ends: polls its state and runs Idle whenever it still runs.
// True only when it exited normally with status 0; a process killed by a signal, any
// other status and a failure to query the process give false.
bool WaitForExit(pid_t process, const std::function<void()>& idle);

// Sleeps 10 ms: the wait loop's pause between two polls.
void SleepTenMilliseconds();

// Writes Text to standard error in full (a failure to write is ignored).
void WriteToStandardError(std::string_view text);

}  // namespace quill

#endif  // QUILL_PLUGIN_PLUGINSYSTEM_H_
