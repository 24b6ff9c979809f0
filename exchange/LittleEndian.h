// Little-endian 32-bit integers in byte buffers, whatever the machine's byte order:
// the exchange file, the settings records of the main window and the tool panel. The
// caller sees to it that four bytes are there.

#ifndef QUILL_EXCHANGE_LITTLEENDIAN_H_
#define QUILL_EXCHANGE_LITTLEENDIAN_H_

#include <cstdint>

namespace quill {

inline int32_t GetInt32LE(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

inline void PutInt32LE(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace quill

#endif  // QUILL_EXCHANGE_LITTLEENDIAN_H_
