#include "ZelSDFReader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "ZelSDFFormat.h"

namespace {

int WidthBytes(uint8_t code) { return code == 3 ? 4 : code; }

// Reads a little-endian field of Width bytes (0 gives 0). False when the stream
// cannot give all of them.
bool ReadField(QIODevice& stream, int width, uint32_t& value) {
  uint8_t bytes[4] = {};
  if (width > 0 && stream.read(reinterpret_cast<char*>(bytes), width) != width) return false;
  value = 0;
  for (int i = 0; i < width; ++i) value |= uint32_t{bytes[i]} << (8 * i);
  return true;
}

}  // namespace

TZelSDFReader::TZelSDFReader(QIODevice* stream, bool ownsStream)
    : stream_(stream), ownsStream_(ownsStream) {
  Parse();
}

TZelSDFReader::~TZelSDFReader() {
  if (ownsStream_) delete stream_;
}

void TZelSDFReader::Parse() {
  if (stream_ == nullptr) return;
  const int64_t streamSize = stream_->size();
  int64_t position = stream_->pos();
  int32_t open = -1;
  try {
    while (position < streamSize && elements_.size() < std::numeric_limits<int32_t>::max()) {
      char header = 0;
      if (!stream_->seek(position) || !stream_->getChar(&header)) break;
      const auto bits = static_cast<uint8_t>(header);
      TZelSDFElement fields;
      if (!ReadField(*stream_, WidthBytes(bits >> 4 & 3), fields.Id) ||
          !ReadField(*stream_, WidthBytes(bits >> 2 & 3), fields.Type) ||
          !ReadField(*stream_, WidthBytes(bits & 3), fields.Size)) {
        break;
      }
      position = stream_->pos();
      const uint8_t kind = bits >> 6;
      if (kind == quill::sdf::kEnd) {
        if (open < 0) break;  // a stray end on the top level ends the file
        elements_[static_cast<size_t>(open)].end = static_cast<int32_t>(elements_.size());
        open = elements_[static_cast<size_t>(open)].parent;
        continue;
      }
      fields.PayloadPosition = position;
      const auto index = static_cast<int32_t>(elements_.size());
      const bool node = kind != quill::sdf::kValue;
      elements_.push_back(Element{fields, open, index + 1, node});
      if (node) open = index;
      // The payload may run past the end; the element is kept and nothing follows it.
      position += fields.Size;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory while growing the list: keep what was parsed.
  }
  for (int32_t n = open; n >= 0; n = elements_[static_cast<size_t>(n)].parent) {
    elements_[static_cast<size_t>(n)].end = static_cast<int32_t>(elements_.size());
  }
  current_ = -1;
}

int32_t TZelSDFReader::FindChild(uint32_t id, bool node, int32_t after) const {
  const int32_t end = current_ < 0 ? static_cast<int32_t>(elements_.size())
                                   : elements_[static_cast<size_t>(current_)].end;
  int32_t i = after < 0 ? current_ + 1 : elements_[static_cast<size_t>(after)].end;
  for (; i < end; i = elements_[static_cast<size_t>(i)].end) {
    const Element& element = elements_[static_cast<size_t>(i)];
    if (element.node == node && element.fields.Id == id) return i;
  }
  return -1;
}

bool TZelSDFReader::EnterNode(int32_t id) {
  const int32_t found = FindChild(static_cast<uint32_t>(id), true, -1);
  if (found < 0) return false;
  current_ = found;
  return true;
}

bool TZelSDFReader::EnterGuidNode(int32_t id, const QUuid& guid) {
  const auto wanted = quill::sdf::GuidBytes(guid);
  for (int32_t i = FindChild(static_cast<uint32_t>(id), true, -1); i >= 0;
       i = FindChild(static_cast<uint32_t>(id), true, i)) {
    const TZelSDFElement& fields = elements_[static_cast<size_t>(i)].fields;
    if (fields.Type != quill::sdf::kGuid || fields.Size != quill::sdf::kGuidSize) continue;
    uint8_t tag[quill::sdf::kGuidSize];
    if (ReadPayload(fields, tag, quill::sdf::kGuidSize) == quill::sdf::kGuidSize &&
        std::memcmp(tag, wanted.data(), quill::sdf::kGuidSize) == 0) {
      current_ = i;
      return true;
    }
  }
  return false;
}

void TZelSDFReader::LeaveNode() {
  if (current_ >= 0) current_ = elements_[static_cast<size_t>(current_)].parent;
}

const TZelSDFElement* TZelSDFReader::FindValue(int32_t id) const {
  if (id == 0 && current_ >= 0) return &elements_[static_cast<size_t>(current_)].fields;
  const int32_t found = FindChild(static_cast<uint32_t>(id), false, -1);
  return found < 0 ? nullptr : &elements_[static_cast<size_t>(found)].fields;
}

int64_t TZelSDFReader::ReadPayload(const TZelSDFElement& element, void* buffer, int64_t size) {
  const int64_t available = stream_->size() - element.PayloadPosition;
  const int64_t count = std::min({size, int64_t{element.Size}, available});
  if (count <= 0 || !stream_->seek(element.PayloadPosition)) return 0;
  return std::max<int64_t>(0, stream_->read(static_cast<char*>(buffer), count));
}

bool TZelSDFReader::ReadInteger(int32_t id, int32_t& value) {
  const TZelSDFElement* element = FindValue(id);
  if (element == nullptr) return false;
  const uint32_t type = element->Type;
  const uint32_t size = element->Size;
  const bool known = (type == quill::sdf::kInt32 && size == 4) ||
                     ((type == quill::sdf::kInt8 || type == quill::sdf::kUInt8) && size == 1) ||
                     ((type == quill::sdf::kInt16 || type == quill::sdf::kUInt16) && size == 2);
  if (!known) return true;
  uint8_t bytes[4] = {};
  if (ReadPayload(*element, bytes, size) != size) return false;
  uint32_t raw = 0;
  for (uint32_t i = 0; i < size; ++i) raw |= uint32_t{bytes[i]} << (8 * i);
  switch (type) {
    case quill::sdf::kInt8: value = static_cast<int8_t>(raw); break;
    case quill::sdf::kInt16: value = static_cast<int16_t>(raw); break;
    default: value = static_cast<int32_t>(raw); break;  // zero-extended or 32 bits
  }
  return true;
}

bool TZelSDFReader::ReadBoolean(int32_t id, bool& value) {
  int32_t number = value ? 1 : 0;
  if (!ReadInteger(id, number)) return false;
  value = number != 0;
  return true;
}

bool TZelSDFReader::ReadWideString(int32_t id, QString& text) {
  const TZelSDFElement* element = FindValue(id);
  if (element == nullptr) return false;
  if (element->Type != quill::sdf::kText) return true;
  const int64_t bytes = int64_t{element->Size / 2} * 2;
  // Checked against the stream before anything is allocated from the stated size.
  if (stream_->size() - element->PayloadPosition < bytes) return false;
  std::vector<uint8_t> payload(static_cast<size_t>(bytes));
  if (ReadPayload(*element, payload.data(), bytes) != bytes) return false;
  QString result(static_cast<qsizetype>(bytes / 2), Qt::Uninitialized);
  for (qsizetype i = 0; i < result.size(); ++i) {
    result[i] = QChar(static_cast<char16_t>(payload[2 * i] | payload[2 * i + 1] << 8));
  }
  text = result;
  return true;
}

bool TZelSDFReader::ReadBlob(int32_t id, void* buffer, uint32_t size) {
  const TZelSDFElement* element = FindValue(id);
  if (element == nullptr || element->Size != size) return false;
  ReadPayload(*element, buffer, size);
  return true;
}
