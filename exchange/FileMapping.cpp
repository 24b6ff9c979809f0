#include "FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

TFileMapping::TFileMapping(const std::filesystem::path& fileName, TAccess access)
    : FWritable(access == TAccess::ReadWrite) {
  // O_NONBLOCK: a named pipe opens at once instead of waiting for a writer, and is
  // then refused below; on a regular file it changes nothing.
  const int flags = FWritable ? (O_RDWR | O_CREAT) : O_RDONLY;
  do {
    FFile = ::open(fileName.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (FFile < 0 && errno == EINTR);
  if (FFile < 0) return;
  // A folder opens read-only under POSIX; it is no file to map.
  struct stat info;
  if (::fstat(FFile, &info) != 0 || !S_ISREG(info.st_mode) ||
      (FWritable && quill::IsReadOnlyFileMode(info.st_mode))) {
    ::close(FFile);
    FFile = -1;
  }
}

TFileMapping::~TFileMapping() {
  for (const TView& view : FViews) ::munmap(view.Base, view.Length);
  if (FFile >= 0) ::close(FFile);
}

int64_t TFileMapping::GetSize() const {
  struct stat info;
  if (FFile < 0 || ::fstat(FFile, &info) != 0) return -1;
  return info.st_size;
}

uint8_t* TFileMapping::MapView(int64_t offset, int64_t size) {
  const int64_t fileSize = GetSize();
  if (fileSize <= 0 || offset < 0 || size < 0 || offset >= fileSize) return nullptr;
  if (size == 0) size = fileSize - offset;
  if (size > fileSize - offset) return nullptr;
  // mmap wants a page-aligned offset: map from the page start and hand out the inside.
  const int64_t page = ::sysconf(_SC_PAGESIZE);
  const int64_t start = offset / page * page;
  const int64_t length = size + (offset - start);
  if (static_cast<uint64_t>(length) > SIZE_MAX) return nullptr;
  const int protection = PROT_READ | (FWritable ? PROT_WRITE : 0);
  void* base = ::mmap(nullptr, static_cast<size_t>(length), protection, MAP_SHARED, FFile,
                      static_cast<off_t>(start));
  if (base == MAP_FAILED) return nullptr;
  uint8_t* view = static_cast<uint8_t*>(base) + (offset - start);
  FViews.push_back({view, size, base, static_cast<size_t>(length)});
  return view;
}

int64_t TFileMapping::ViewSize(const uint8_t* view) const {
  for (const TView& v : FViews) {
    if (v.Address == view) return v.Size;
  }
  return 0;
}

bool TFileMapping::SetSize(int64_t size) {
  const int64_t oldSize = GetSize();
  if (oldSize < 0 || !FWritable || size < 0 || !FViews.empty()) return false;
  if (size <= oldSize) return ::ftruncate(FFile, static_cast<off_t>(size)) == 0;
  // Growing: allocate the blocks now, so a full disk fails here and not as a fault
  // while the view is written.
  if (::posix_fallocate(FFile, 0, static_cast<off_t>(size)) == 0) return true;
  (void)::ftruncate(FFile, static_cast<off_t>(oldSize));
  return false;
}

void TFileMapping::UnmapView(uint8_t* view) {
  const auto it = std::find_if(FViews.begin(), FViews.end(),
                               [view](const TView& v) { return v.Address == view; });
  if (it == FViews.end()) return;
  ::munmap(it->Base, it->Length);
  FViews.erase(it);
}
