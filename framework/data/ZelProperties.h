// Property lists: ordered lists of typed values keyed by an integer id, and a list of
// points.
//
// A list holds at most one item per id. Setting an existing id keeps the item's
// position and replaces its type and bytes; a new id goes to the end. Items are read
// back by index as variants. TZelProperties can also hold references to shared
// objects (type 16); each list holds its own reference and drops it with the item.

#ifndef QUILL_FRAMEWORK_ZELPROPERTIES_H_
#define QUILL_FRAMEWORK_ZELPROPERTIES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ZelTypes.h"

namespace quill {

// Type codes with a meaning of their own; any other code stores raw bytes.
enum : int32_t {
  kPropertyInteger = 5,     // signed 32-bit integer, 4 bytes
  kPropertyFloat = 10,      // IEEE double, 8 bytes
  kPropertyString = 11,     // single-byte text without terminator
  kPropertyInterface = 16,  // a shared reference (TZelProperties only)
};

// One item: its id, its type code and its value bytes.
struct TZelPropertyItem {
  int32_t Id = 0;
  int32_t Size = 0;
  int32_t Type = 0;
  std::vector<uint8_t> Bytes;       // Size bytes
  std::shared_ptr<void> Reference;  // the referenced object of a type-16 item

  const uint8_t* Data() const { return Bytes.data(); }
};

// A property value read back by index: Unassigned (monostate), a 32-bit integer, a
// double or a single-byte string.
using TZelVariant = std::variant<std::monostate, int32_t, double, std::string>;

}  // namespace quill

class TZelCustomProperties {
 public:
  TZelCustomProperties() = default;
  virtual ~TZelCustomProperties() = default;
  TZelCustomProperties(const TZelCustomProperties&) = delete;
  TZelCustomProperties& operator=(const TZelCustomProperties&) = delete;

  // Releases what an item's value holds before the item is freed or reused. Empty here.
  virtual void FreeItemData(quill::TZelPropertyItem& item);
  // Clears this list, then copies every item of Source (when given) in its order.
  virtual void Assign(const TZelCustomProperties* source);

  // Stores Size bytes from Data under Id with the type code Type. A negative Size, or
  // a null Data with a positive Size, stores nothing.
  void SetValue(int32_t id, int32_t type, int32_t size, const void* data);
  void SetInteger(int32_t id, int32_t value);
  void SetFloat(int32_t id, double value);
  // Type 11, the bytes of Text without terminator (an empty text has size 0).
  void SetString(int32_t id, std::string_view text);

  // The index of the item with Id, searching from the last item; -1 when none.
  int IndexOf(int32_t id) const;
  // Removes the item with Id (after its FreeItemData); nothing when there is none.
  void Delete(int32_t id);
  int GetCount() const { return static_cast<int>(items_.size()); }
  // The item at Index; nullptr outside 0 .. count - 1.
  const quill::TZelPropertyItem* GetItem(int index) const;
  // The value at Index: Unassigned outside 0 .. count - 1, for a type other than 5,
  // 10 and 11, and for an item too small for its type.
  void GetVariant(int index, quill::TZelVariant& value) const;
  // Frees every item, each after its FreeItemData.
  void Clear();

 protected:
  quill::TZelPropertyItem* MutableItem(int index) { return items_[static_cast<size_t>(index)].get(); }

 private:
  std::vector<std::unique_ptr<quill::TZelPropertyItem>> items_;
};

class TZelProperties : public TZelCustomProperties {
 public:
  ~TZelProperties() override;

  // Drops the reference that a type-16 item holds.
  void FreeItemData(quill::TZelPropertyItem& item) override;
  // Copies every item; a type-16 copy holds a reference of its own.
  void Assign(const TZelCustomProperties* source) override;

  // Stores a reference to Object under Id (type 16).
  void SetInterface(int32_t id, std::shared_ptr<void> object);
  // The object that the type-16 item at Index refers to; nullptr for any other item.
  std::shared_ptr<void> GetInterface(int index) const;
};

// A list of points, each entry its own copy.
class TZelPointList {
 public:
  // Appends a copy of Point and returns its index.
  int Add(const quill::TPoint& point);
  // The point at Index; (0, 0) outside 0 .. count - 1.
  quill::TPoint GetPoint(int index) const;
  int GetCount() const { return static_cast<int>(points_.size()); }
  void Delete(int index);
  void Clear() { points_.clear(); }

 private:
  std::vector<quill::TPoint> points_;
};

#endif  // QUILL_FRAMEWORK_ZELPROPERTIES_H_
