// The library's face to the host: its start and unload, the exported ENTRYPOINT and the
// property resource.
//
// When the library is loaded it reads the main program's path from the installed setting
// "Path" in Norvane/Pictoria/Quillmere.conf (see PluginSystem.h for where that file is
// looked for; without it the path is empty, and Start reports that the program cannot be
// run) and makes the one filter object; when it is unloaded it frees the object.
//
// The property resource, section ".pipl": int16 1, int32 version 0, int32 count 8, then
// 8 properties, each: vendor code "8BIM", key, int32 id 0, int32 length, and the data
// padded with zero bytes to that length (the data's size rounded up to a multiple of 4).
// Integers are little-endian; four-character codes are stored as little-endian 32-bit
// numbers, so "8BIM" is stored as the bytes "MIB8". The properties, in order: kind
// "8BFM" (a filter); name, the menu item "Quillmere..." as a length-prefixed string;
// catg, the menu category "Norvane", length-prefixed; vers, version 2.5 (major in the
// high 16 bits); wx86, the entry point's name, zero-terminated; mode, the bytes
// 10 00 00 00 (RGB images only); enbl, the enable expression
// "in (PSHOP_ImageMode,RGBMode)", zero-terminated; fici, seven filter cases of four
// bytes {1, 1, 6, 0}.

#include <array>
#include <cstddef>
#include <string_view>

#include "ExternalPhotoshopFilter.h"
#include "PluginHost.h"
#include "PluginSystem.h"

namespace {

// Bytes appended at compile time, in the resource's byte order.
struct TResourceWriter {
  std::array<uint8_t, 512> Bytes{};
  size_t Size = 0;

  constexpr void Byte(uint8_t value) { Bytes[Size++] = value; }
  constexpr void Int16(int16_t value) {
    for (int i = 0; i < 2; ++i) Byte(static_cast<uint8_t>(static_cast<uint16_t>(value) >> (8 * i)));
  }
  constexpr void Int32(int32_t value) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
  }
  // A four-character code as a little-endian number: its characters in reverse.
  constexpr void Code(std::string_view code) {
    for (size_t i = code.size(); i-- > 0;) Byte(static_cast<uint8_t>(code[i]));
  }
  // One property: Write appends its data, which is then padded to a multiple of 4.
  template <typename TWrite>
  constexpr void Property(std::string_view key, size_t dataSize, TWrite write) {
    const size_t length = (dataSize + 3) / 4 * 4;
    Code("8BIM");
    Code(key);
    Int32(0);
    Int32(static_cast<int32_t>(length));
    const size_t end = Size + length;
    write(*this);
    while (Size < end) Byte(0);
  }
  constexpr void Text(std::string_view text) {
    for (char c : text) Byte(static_cast<uint8_t>(c));
  }
  constexpr void LengthPrefixed(std::string_view text) {
    Byte(static_cast<uint8_t>(text.size()));
    Text(text);
  }
};

constexpr std::string_view kMenuItem = "Quillmere...";
constexpr std::string_view kCategory = "Norvane";
constexpr std::string_view kEntryPoint = "ENTRYPOINT";
constexpr std::string_view kEnable = "in (PSHOP_ImageMode,RGBMode)";

constexpr TResourceWriter WriteResource() {
  TResourceWriter w;
  w.Int16(1);
  w.Int32(0);
  w.Int32(8);
  w.Property("kind", 4, [](TResourceWriter& d) { d.Code("8BFM"); });
  w.Property("name", 1 + kMenuItem.size(), [](TResourceWriter& d) { d.LengthPrefixed(kMenuItem); });
  w.Property("catg", 1 + kCategory.size(), [](TResourceWriter& d) { d.LengthPrefixed(kCategory); });
  w.Property("vers", 4, [](TResourceWriter& d) { d.Int32(2 << 16 | 5); });
  w.Property("wx86", kEntryPoint.size() + 1, [](TResourceWriter& d) {
    d.Text(kEntryPoint);
    d.Byte(0);
  });
  w.Property("mode", 4, [](TResourceWriter& d) { d.Int32(0x10); });
  w.Property("enbl", kEnable.size() + 1, [](TResourceWriter& d) {
    d.Text(kEnable);
    d.Byte(0);
  });
  w.Property("fici", 7 * 4, [](TResourceWriter& d) {
    for (int i = 0; i < 7; ++i) {
      for (uint8_t b : {1, 1, 6, 0}) d.Byte(b);
    }
  });
  return w;
}

constexpr TResourceWriter kResource = WriteResource();

constexpr std::array<uint8_t, kResource.Size> ExactResource() {
  std::array<uint8_t, kResource.Size> bytes{};
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = kResource.Bytes[i];
  return bytes;
}

[[gnu::section(".pipl"), gnu::used]] constexpr std::array<uint8_t, kResource.Size> kPropertyResource =
    ExactResource();

[[gnu::constructor]] void StartLibrary() {
  try {
    // The constructor makes the new object the FilterInstance.
    new TExternalPhotoshopFilter(ReadRegistryString("Path", "", "Norvane/Pictoria/Quillmere.conf"),
                                 "About Quillmere Plug-in", "Quillmere Plug-in\nVersion: 3.4.0\nMade by Norvane");
  } catch (...) {
    // Out of memory: without a filter object every selector answers -30100.
  }
}

[[gnu::destructor]] void UnloadLibrary() { delete FilterInstance; }

}  // namespace

extern "C" [[gnu::visibility("default")]] void ENTRYPOINT(int16_t selector, void* record, void*, int16_t* result) {
  if (result == nullptr) return;
  *result = quill::kResultUnhandled;
  if (FilterInstance == nullptr || selector < quill::kSelectorAbout || selector > quill::kSelectorFinish) return;
  auto* filterRecord = static_cast<FilterRecord*>(record);
  // No exception may cross into the host.
  try {
    switch (selector) {
      case quill::kSelectorAbout:
        *result = FilterInstance->About(record);
        break;
      case quill::kSelectorParameters:
        *result = FilterInstance->Parameters(filterRecord);
        break;
      case quill::kSelectorPrepare:
        *result = FilterInstance->Prepare(filterRecord);
        break;
      case quill::kSelectorStart:
        *result = FilterInstance->Start(filterRecord);
        break;
      case quill::kSelectorContinue:
        *result = FilterInstance->Continue(filterRecord);
        break;
      case quill::kSelectorFinish:
        *result = FilterInstance->Finish(filterRecord);
        break;
    }
  } catch (...) {
    // Out of memory: the host is to ask for nothing more.
    if (filterRecord != nullptr && selector != quill::kSelectorAbout) ClearRects(*filterRecord);
  }
}
