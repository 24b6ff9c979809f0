// The ids, in the language files, of the texts that more than one unit shows. A text
// that only one unit shows keeps its id in that unit.

#ifndef QUILL_FRAMEWORK_ZELSTRINGIDS_H_
#define QUILL_FRAMEWORK_ZELSTRINGIDS_H_

#include <cstdint>

namespace quill {

constexpr int32_t kOkText = 1;
constexpr int32_t kCancelText = 2;
constexpr int32_t kOpenText = 12;  // "Open", also the open dialog's title
constexpr int32_t kSaveText = 15;  // "Save", also the save dialog's title
constexpr int32_t kSizeText = 154;
constexpr int32_t kWidthText = 505;
constexpr int32_t kHeightText = 506;
constexpr int32_t kWriteBackErrorText = 1031;

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELSTRINGIDS_H_
