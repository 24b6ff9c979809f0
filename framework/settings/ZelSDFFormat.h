// The byte layout of the settings file (SDF), shared by its reader and writer.
//
// A file is a sequence of elements with no header or trailer of its own. Every element
// starts with one header byte:
//   bits 7-6  kind: 0 end of the current node, 1 value, 3 node (2 is read like 3)
//   bits 5-4  width code of the id field
//   bits 3-2  width code of the type field
//   bits 1-0  width code of the size field
// Width codes: 0 the field is absent (its value is 0), 1 one byte, 2 two bytes, 3 four
// bytes. The id, type and size fields follow in that order, little-endian and unsigned,
// then exactly "size" bytes of payload. A node's payload is its tag; the elements after
// it are its children, up to the matching end element (written as the single byte 00).
//
// This is stored data: every byte of it must stay readable by later versions.

#ifndef QUILL_FRAMEWORK_ZELSDFFORMAT_H_
#define QUILL_FRAMEWORK_ZELSDFFORMAT_H_

#include <QUuid>

#include <array>
#include <cstdint>

namespace quill::sdf {

enum Kind : uint8_t { kEnd = 0, kValue = 1, kNodeAlias = 2, kNode = 3 };

enum Type : uint32_t {
  kInt8 = 1,  // the writer's Booleans, 0 or 1
  kUInt8 = 2,
  kInt16 = 3,
  kUInt16 = 4,
  kInt32 = 5,
  kText = 12,  // UTF-16 little-endian code units, no terminator
  kGuid = 13,  // 16 bytes in the GUID memory layout
  kBlob = 14,  // raw bytes
};

constexpr int kGuidSize = 16;

// The GUID memory layout: Data1 as 32-bit little-endian, Data2 and Data3 as 16-bit
// little-endian, then the 8 bytes of Data4 (not the RFC 4122 byte order).
inline std::array<uint8_t, kGuidSize> GuidBytes(const QUuid& guid) {
  std::array<uint8_t, kGuidSize> bytes{};
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(guid.data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[4 + i] = static_cast<uint8_t>(guid.data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[6 + i] = static_cast<uint8_t>(guid.data3 >> (8 * i));
  for (int i = 0; i < 8; ++i) bytes[8 + i] = guid.data4[i];
  return bytes;
}

}  // namespace quill::sdf

#endif  // QUILL_FRAMEWORK_ZELSDFFORMAT_H_
