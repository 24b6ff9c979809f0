// TZelSDFReader: parses a settings file (layout in ZelSDFFormat.h) once into a tree of
// elements, then lets a caller walk into nodes and read typed values by their ids.
//
// The tree is a flat list of elements in file order: a node's children are the
// elements that follow it up to the end of its subtree. Parsing is iterative, so no
// depth of nesting can exhaust the stack, and it allocates nothing from the sizes the
// file states. Elements hold no payload copy: values are read from the stream on
// demand, so the stream must live as long as the reader and must be random-access.
//
// Damaged input: parsing stops at the first element that cannot be read whole, at a
// stray end element on the top level, or at the end of the stream; everything parsed
// before stays readable. After parsing the reader is at the top level, also when the
// stream ended inside an open node. A payload that runs past the end of the stream
// is kept, but only its bytes that exist are ever read.

#ifndef QUILL_FRAMEWORK_ZELSDFREADER_H_
#define QUILL_FRAMEWORK_ZELSDFREADER_H_

#include <QString>
#include <QUuid>

#include <cstdint>
#include <vector>

class QIODevice;

// One element of the tree: its id, type and size fields, and where its payload starts.
struct TZelSDFElement {
  uint32_t Id = 0;
  uint32_t Type = 0;
  uint32_t Size = 0;
  int64_t PayloadPosition = 0;
};

class TZelSDFReader {
 public:
  // Parses Stream from its current position; frees it with the reader when OwnsStream.
  TZelSDFReader(QIODevice* stream, bool ownsStream);
  ~TZelSDFReader();
  TZelSDFReader(const TZelSDFReader&) = delete;
  TZelSDFReader& operator=(const TZelSDFReader&) = delete;

  // Makes the first child node with Id (of the current node, or of the top level)
  // the current node. False and no change when there is none.
  bool EnterNode(int32_t id);
  // The same for the first child node with Id whose tag is Guid (type 13, size 16,
  // the 16 payload bytes equal); nodes with that id and another tag are passed over.
  bool EnterGuidNode(int32_t id, const QUuid& guid);
  // The current node becomes its parent; nothing changes at the top level.
  void LeaveNode();

  // The reads look for the first value with Id among the current node's children;
  // inside a node, id 0 names the node itself (its tag). All give False when there is
  // no such value.
  //
  // ReadInteger by (type, size): (5, 4) the 32-bit value; (1, 1) and (3, 2) sign-
  // extended; (2, 1) and (4, 2) zero-extended. Any other type or size: True with Value
  // unchanged. A payload cut short by the end of the stream: False.
  bool ReadInteger(int32_t id, int32_t& value);
  // ReadInteger, then Value := the integer <> 0 (unchanged where ReadInteger leaves it).
  bool ReadBoolean(int32_t id, bool& value);
  // Type 12: Size div 2 UTF-16 code units. Another type: True with Text unchanged.
  // A payload cut short: False.
  bool ReadWideString(int32_t id, QString& text);
  // True only when the value exists and its size equals Size; then its bytes are
  // copied into Buffer. A payload cut short leaves the rest of Buffer as it was.
  bool ReadBlob(int32_t id, void* buffer, uint32_t size);

  // The number of elements parsed (values, nodes; not end markers).
  int GetElementCount() const { return static_cast<int>(elements_.size()); }

 private:
  struct Element {
    TZelSDFElement fields;
    int32_t parent;  // index of the enclosing node, -1 on the top level
    int32_t end;     // index one past the element's subtree
    bool node;
  };

  void Parse();
  // The first child of the current node that is a node (or a value) with Id; -1 if none.
  int32_t FindChild(uint32_t id, bool node, int32_t after) const;
  const TZelSDFElement* FindValue(int32_t id) const;
  // Copies up to Size payload bytes that exist in the stream; returns how many.
  int64_t ReadPayload(const TZelSDFElement& element, void* buffer, int64_t size);

  QIODevice* stream_;
  bool ownsStream_;
  std::vector<Element> elements_;
  int32_t current_ = -1;
};

#endif  // QUILL_FRAMEWORK_ZELSDFREADER_H_
