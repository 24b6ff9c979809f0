#include "ZelSDFWriter.h"

#include <QIODevice>

#include <vector>

#include "ZelSDFFormat.h"

namespace {

// The width code of a field holding Value, and the number of bytes it takes.
uint8_t WidthCode(uint32_t value) {
  if (value == 0) return 0;
  if (value <= 0xFF) return 1;
  if (value <= 0xFFFF) return 2;
  return 3;
}

int WidthBytes(uint8_t code) { return code == 3 ? 4 : code; }

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

TZelSDFWriter::TZelSDFWriter(QIODevice* stream, bool ownsStream)
    : stream_(stream), ownsStream_(ownsStream) {}

TZelSDFWriter::~TZelSDFWriter() {
  if (ownsStream_) delete stream_;
}

void TZelSDFWriter::BeginGuidNode(int32_t id, const QUuid& guid) {
  WriteHeader(quill::sdf::kNode, static_cast<uint32_t>(id), quill::sdf::kGuid, quill::sdf::kGuidSize);
  const auto bytes = quill::sdf::GuidBytes(guid);
  WriteBytes(bytes.data(), quill::sdf::kGuidSize);
}

void TZelSDFWriter::BeginIntNode(int32_t id, int32_t value) {
  WriteHeader(quill::sdf::kNode, static_cast<uint32_t>(id), quill::sdf::kInt32, 4);
  std::vector<uint8_t> bytes;
  AppendLittleEndian(bytes, static_cast<uint32_t>(value), 4);
  WriteBytes(bytes.data(), 4);
}

void TZelSDFWriter::EndNode() { WriteHeader(quill::sdf::kEnd, 0, 0, 0); }

void TZelSDFWriter::WriteByte(int32_t id, uint8_t value) {
  WriteHeader(quill::sdf::kValue, static_cast<uint32_t>(id), quill::sdf::kInt8, 1);
  WriteBytes(&value, 1);
}

void TZelSDFWriter::WriteInteger(int32_t id, int32_t value) {
  WriteHeader(quill::sdf::kValue, static_cast<uint32_t>(id), quill::sdf::kInt32, 4);
  std::vector<uint8_t> bytes;
  AppendLittleEndian(bytes, static_cast<uint32_t>(value), 4);
  WriteBytes(bytes.data(), 4);
}

void TZelSDFWriter::WriteWideString(int32_t id, const QString& text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(text.size()) * 2);
  for (const QChar c : text) AppendLittleEndian(bytes, c.unicode(), 2);
  WriteHeader(quill::sdf::kValue, static_cast<uint32_t>(id), quill::sdf::kText,
              static_cast<uint32_t>(bytes.size()));
  WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TZelSDFWriter::WriteBlob(int32_t id, const void* buffer, uint32_t size) {
  if (buffer == nullptr && size != 0) return;
  WriteHeader(quill::sdf::kValue, static_cast<uint32_t>(id), quill::sdf::kBlob, size);
  WriteBytes(buffer, size);
}

void TZelSDFWriter::WriteHeader(uint8_t kind, uint32_t id, uint32_t type, uint32_t size) {
  const uint8_t idCode = WidthCode(id);
  const uint8_t typeCode = WidthCode(type);
  const uint8_t sizeCode = WidthCode(size);
  std::vector<uint8_t> bytes;
  bytes.push_back(static_cast<uint8_t>(kind << 6 | idCode << 4 | typeCode << 2 | sizeCode));
  AppendLittleEndian(bytes, id, WidthBytes(idCode));
  AppendLittleEndian(bytes, type, WidthBytes(typeCode));
  AppendLittleEndian(bytes, size, WidthBytes(sizeCode));
  WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TZelSDFWriter::WriteBytes(const void* data, int64_t size) {
  if (stream_ == nullptr || size == 0) return;
  stream_->write(static_cast<const char*>(data), size);
}
