// TZelSDFWriter: writes settings-file elements (layout in ZelSDFFormat.h) sequentially.
//
// Every write appends at the stream's current position. The writer does not track
// nesting: callers pair every Begin...Node with EndNode. Each of id, type and size
// takes the smallest width that holds it, the value compared as an unsigned 32-bit
// number (so every negative id takes 4 bytes). Without a stream nothing is written.

#ifndef QUILL_FRAMEWORK_ZELSDFWRITER_H_
#define QUILL_FRAMEWORK_ZELSDFWRITER_H_

#include <QString>
#include <QUuid>

#include <cstdint>

class QIODevice;

class TZelSDFWriter {
 public:
  // Writes into Stream (may be null); frees it with the writer when OwnsStream.
  TZelSDFWriter(QIODevice* stream, bool ownsStream);
  ~TZelSDFWriter();
  TZelSDFWriter(const TZelSDFWriter&) = delete;
  TZelSDFWriter& operator=(const TZelSDFWriter&) = delete;

  // Opens a node tagged with a GUID (type 13, size 16).
  void BeginGuidNode(int32_t id, const QUuid& guid);
  // Opens a node tagged with a 32-bit integer (type 5, size 4).
  void BeginIntNode(int32_t id, int32_t value);
  // Closes the innermost open node: the byte 00.
  void EndNode();

  // A value of type 1, size 1; Booleans are written as 0 or 1.
  void WriteByte(int32_t id, uint8_t value);
  // Type 5, size 4.
  void WriteInteger(int32_t id, int32_t value);
  // Type 12, size 2 x the length, the UTF-16 code units little-endian.
  void WriteWideString(int32_t id, const QString& text);
  // Type 14, then Size bytes of Buffer.
  void WriteBlob(int32_t id, const void* buffer, uint32_t size);

 private:
  void WriteHeader(uint8_t kind, uint32_t id, uint32_t type, uint32_t size);
  void WriteBytes(const void* data, int64_t size);

  QIODevice* stream_;
  bool ownsStream_;
};

#endif  // QUILL_FRAMEWORK_ZELSDFWRITER_H_
