// TFileMapping: a file opened by name and mapped into memory, through which both the
// program and the plug-in read and write the exchange file.
//
// One object serves one read or one write: open, optionally SetSize, MapView, work on
// the view, UnmapView, destroy. Views are plain memory; a view never reaches past the
// size the file had when it was mapped, and callers must keep within ViewSize.
// Sizes and offsets are 64-bit throughout.

#ifndef QUILL_EXCHANGE_FILEMAPPING_H_
#define QUILL_EXCHANGE_FILEMAPPING_H_

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace quill {

// Whether a file of Mode is read-only as a file manager shows it: no write permission
// bit for anyone. The program refuses to write such a file whatever its own rights, so
// root keeps the rule too.
inline bool IsReadOnlyFileMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

}  // namespace quill

class TFileMapping {
 public:
  enum class TAccess {
    // Opens an existing file only, read-only: probing a name never creates a file.
    ReadExisting,
    // Opens the file for reading and writing, creating it empty when it is missing. A
    // read-only file (IsReadOnlyFileMode) is not opened.
    ReadWrite,
  };

  // Opens FileName; anything but a regular file is refused, a named pipe without
  // waiting for a writer. Failure is not reported here: every later operation then
  // fails.
  TFileMapping(const std::filesystem::path& fileName, TAccess access);
  // Unmaps every view still mapped and closes the file.
  ~TFileMapping();
  TFileMapping(const TFileMapping&) = delete;
  TFileMapping& operator=(const TFileMapping&) = delete;

  // Whether the file is open.
  bool IsOpen() const { return FFile >= 0; }

  // The file's size in bytes, or -1 when it is not open.
  int64_t GetSize() const;

  // Maps Size bytes from Offset (Size 0: up to the end of the file), readable, and
  // writable when the file was opened ReadWrite; writes reach the file. Null when the
  // file is not open, empty, the range lies outside it, or the map fails.
  uint8_t* MapView(int64_t offset, int64_t size);

  // The length of a view returned by MapView; 0 for anything else.
  int64_t ViewSize(const uint8_t* view) const;

  // Gives the file exactly Size bytes (new bytes read as zero), reserving the disk
  // space for them, so that writing through a later view cannot fail half-way. False,
  // with the file's size unchanged, when it is not open for writing, a view is still
  // mapped, or the file cannot be given that size.
  bool SetSize(int64_t size);

  // Unmaps a view returned by MapView; anything else is ignored.
  void UnmapView(uint8_t* view);

 private:
  struct TView {
    uint8_t* Address;  // what MapView returned
    int64_t Size;
    void* Base;  // the page-aligned mapping around it
    size_t Length;
  };

  int FFile = -1;
  bool FWritable = false;
  std::vector<TView> FViews;
};

#endif  // QUILL_EXCHANGE_FILEMAPPING_H_
