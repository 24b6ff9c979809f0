#include <gtest/gtest.h>

#include <QBuffer>

#include <cstdint>
#include <functional>
#include <vector>

#include "QtPrinters.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

const QUuid kMainWindowGuid("{7AF6D7FF-618B-41D9-882E-419D500DF28B}");
const QUuid kEditorGuid("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");
const QUuid kHelpGuid("{3F084D7D-FB21-44A5-BA4F-B6FF3AE0B41D}");

Bytes Write(const std::function<void(TZelSDFWriter&)>& write) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  TZelSDFWriter writer(&buffer, false);
  write(writer);
  const QByteArray& data = buffer.data();
  return Bytes(data.begin(), data.end());
}

// A reader over its own copy of Bytes.
std::unique_ptr<TZelSDFReader> Read(const Bytes& bytes) {
  auto* buffer = new QBuffer();
  buffer->setData(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<qsizetype>(bytes.size()));
  buffer->open(QIODevice::ReadOnly);
  return std::make_unique<TZelSDFReader>(buffer, true);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

TEST(SDFWriter, WritesTheDocumentedBytes) {
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.BeginGuidNode(1, kMainWindowGuid); }),
            (Bytes{0xD5, 0x01, 0x0D, 0x10, 0xFF, 0xD7, 0xF6, 0x7A, 0x8B, 0x61,
                   0xD9, 0x41, 0x88, 0x2E, 0x41, 0x9D, 0x50, 0x0D, 0xF2, 0x8B}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteInteger(1, 0x12345678); }),
            (Bytes{0x55, 0x01, 0x05, 0x04, 0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteByte(1, 1); }),
            (Bytes{0x55, 0x01, 0x01, 0x01, 0x01}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteWideString(1, QString()); }),
            (Bytes{0x54, 0x01, 0x0C}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.EndNode(); }), (Bytes{0x00}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.BeginIntNode(1, 3); }),
            (Bytes{0xD5, 0x01, 0x05, 0x04, 0x03, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteWideString(2, QStringLiteral("Ä€")); }),
            (Bytes{0x55, 0x02, 0x0C, 0x04, 0xC4, 0x00, 0xAC, 0x20}));

  uint8_t block[44];
  for (int i = 0; i < 44; ++i) block[i] = static_cast<uint8_t>(i);
  const Bytes blob = Write([&](TZelSDFWriter& w) { w.WriteBlob(2, block, sizeof(block)); });
  ASSERT_EQ(blob.size(), 48u);
  EXPECT_EQ(Bytes(blob.begin(), blob.begin() + 4), (Bytes{0x55, 0x02, 0x0E, 0x2C}));
  EXPECT_EQ(Bytes(blob.begin() + 4, blob.end()), Bytes(block, block + 44));
}

TEST(SDFWriter, GivesEachFieldItsSmallestUnsignedWidth) {
  // Id 0 and size 0 are absent: the header byte alone says so.
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteInteger(0, 0); }),
            (Bytes{0x45, 0x05, 0x04, 0, 0, 0, 0}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteBlob(255, nullptr, 0); }),
            (Bytes{0x54, 0xFF, 0x0E}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteByte(256, 0); }),
            (Bytes{0x65, 0x00, 0x01, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteByte(300, 0); }),
            (Bytes{0x65, 0x2C, 0x01, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteByte(65535, 0); }),
            (Bytes{0x65, 0xFF, 0xFF, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.WriteByte(70000, 0); }),
            (Bytes{0x75, 0x70, 0x11, 0x01, 0x00, 0x01, 0x01, 0x00}));
  // Negative values compare as large unsigned numbers.
  EXPECT_EQ(Write([](TZelSDFWriter& w) { w.BeginIntNode(-1, -2); }),
            (Bytes{0xF5, 0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0x04, 0xFE, 0xFF, 0xFF, 0xFF}));
  const Bytes text = Write([](TZelSDFWriter& w) { w.WriteWideString(1, QString(200, u'x')); });
  EXPECT_EQ(Bytes(text.begin(), text.begin() + 5), (Bytes{0x56, 0x01, 0x0C, 0x90, 0x01}));
  EXPECT_EQ(text.size(), 405u);
}

TEST(SDFReader, ReadsBackNestedNodesAndValues) {
  uint8_t placement[44];
  for (int i = 0; i < 44; ++i) placement[i] = static_cast<uint8_t>(100 + i);
  const auto reader = Read(Write([&](TZelSDFWriter& w) {
    w.BeginGuidNode(1, kEditorGuid);
    w.BeginIntNode(1, 2);
    w.WriteWideString(1, QStringLiteral("/home/ann/Bilder/Brücke.jpg"));
    w.WriteWideString(2, QStringLiteral("/tmp/a.png"));
    w.EndNode();
    w.EndNode();
    w.BeginGuidNode(1, kMainWindowGuid);
    w.WriteBlob(2, placement, sizeof(placement));
    w.WriteInteger(1, 1031);
    w.WriteByte(3, 1);
    w.EndNode();
  }));

  ASSERT_TRUE(reader->EnterGuidNode(1, kMainWindowGuid));
  int32_t language = 0;
  EXPECT_TRUE(reader->ReadInteger(1, language));
  EXPECT_EQ(language, 1031);
  uint8_t copy[44] = {};
  EXPECT_TRUE(reader->ReadBlob(2, copy, sizeof(copy)));
  EXPECT_EQ(Bytes(copy, copy + 44), Bytes(placement, placement + 44));
  bool flag = false;
  EXPECT_TRUE(reader->ReadBoolean(3, flag));
  EXPECT_TRUE(flag);
  reader->LeaveNode();

  ASSERT_TRUE(reader->EnterGuidNode(1, kEditorGuid));
  ASSERT_TRUE(reader->EnterNode(1));
  int32_t count = 0;
  EXPECT_TRUE(reader->ReadInteger(0, count));  // id 0: the node's own tag
  EXPECT_EQ(count, 2);
  QString first;
  QString second;
  EXPECT_TRUE(reader->ReadWideString(1, first));
  EXPECT_TRUE(reader->ReadWideString(2, second));
  EXPECT_EQ(first, QStringLiteral("/home/ann/Bilder/Brücke.jpg"));
  EXPECT_EQ(second, QStringLiteral("/tmp/a.png"));
  EXPECT_FALSE(reader->ReadWideString(3, first));
  reader->LeaveNode();
  reader->LeaveNode();
  reader->LeaveNode();                             // at the top level nothing changes
  EXPECT_FALSE(reader->ReadInteger(1, language));  // values inside nodes are not top-level values
  EXPECT_TRUE(reader->EnterGuidNode(1, kMainWindowGuid));
}

TEST(SDFReader, TellsNodesWithTheSameIdApartByTheirGuid) {
  const auto reader = Read(Write([](TZelSDFWriter& w) {
    w.BeginIntNode(1, 99);
    w.EndNode();
    w.BeginGuidNode(1, kEditorGuid);
    w.WriteInteger(1, 10);
    w.EndNode();
    w.BeginGuidNode(1, kHelpGuid);
    w.WriteInteger(1, 20);
    w.EndNode();
  }));
  int32_t value = 0;
  ASSERT_TRUE(reader->EnterGuidNode(1, kHelpGuid));
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, 20);
  reader->LeaveNode();
  ASSERT_TRUE(reader->EnterGuidNode(1, kEditorGuid));
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, 10);
  reader->LeaveNode();
  EXPECT_FALSE(reader->EnterGuidNode(1, kMainWindowGuid));
  EXPECT_FALSE(reader->EnterGuidNode(2, kHelpGuid));
  // A failed enter leaves the reader where it was.
  EXPECT_TRUE(reader->EnterNode(1));
  EXPECT_TRUE(reader->ReadInteger(0, value));
  EXPECT_EQ(value, 99);
}

TEST(SDFReader, ReadsIntegersByTypeAndSize) {
  const auto reader = Read({
      0x55, 0x01, 0x03, 0x02, 0xFF, 0xFF,        // id 1: int16 FF FF
      0x55, 0x02, 0x04, 0x02, 0xFF, 0xFF,        // id 2: uint16 FF FF
      0x55, 0x03, 0x01, 0x01, 0x80,              // id 3: int8 80
      0x55, 0x04, 0x02, 0x01, 0x80,              // id 4: uint8 80
      0x55, 0x05, 0x0E, 0x04, 1,    2,    3, 4,  // id 5: a blob of 4 bytes
      0x55, 0x06, 0x05, 0x02, 1,    2,           // id 6: int32 of the wrong size
      0x55, 0x07, 0x02, 0x01, 0x00,              // id 7: uint8 0
  });
  int32_t value = 0;
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, -1);
  EXPECT_TRUE(reader->ReadInteger(2, value));
  EXPECT_EQ(value, 65535);
  EXPECT_TRUE(reader->ReadInteger(3, value));
  EXPECT_EQ(value, -128);
  EXPECT_TRUE(reader->ReadInteger(4, value));
  EXPECT_EQ(value, 128);
  value = 42;
  EXPECT_TRUE(reader->ReadInteger(5, value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(reader->ReadInteger(6, value));
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(reader->ReadInteger(8, value));

  bool flag = true;
  EXPECT_TRUE(reader->ReadBoolean(7, flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(reader->ReadBoolean(5, flag));  // no integer: unchanged
  EXPECT_FALSE(flag);
  QString text = QStringLiteral("kept");
  EXPECT_TRUE(reader->ReadWideString(1, text));
  EXPECT_EQ(text, QStringLiteral("kept"));
}

TEST(SDFReader, ReadsABlobOnlyAtItsStoredSize) {
  const auto reader = Read({0x55, 0x02, 0x0E, 0x03, 7, 8, 9});
  uint8_t buffer[4] = {1, 1, 1, 1};
  EXPECT_FALSE(reader->ReadBlob(2, buffer, 4));
  EXPECT_FALSE(reader->ReadBlob(2, buffer, 2));
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 1, 1, 1}));
  EXPECT_TRUE(reader->ReadBlob(2, buffer, 3));
  EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{7, 8, 9, 1}));
}

TEST(SDFReader, TreatsKindTwoAsANode) {
  const auto reader =
      Read({0x95, 0x04, 0x05, 0x04, 9, 0, 0, 0, 0x55, 0x01, 0x05, 0x04, 5, 0, 0, 0, 0x00});
  ASSERT_TRUE(reader->EnterNode(4));
  int32_t value = 0;
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, 5);
}

TEST(SDFReader, AnEmptyStreamGivesAnEmptyTree) {
  const auto reader = Read({});
  EXPECT_EQ(reader->GetElementCount(), 0);
  EXPECT_FALSE(reader->EnterGuidNode(1, kMainWindowGuid));
  EXPECT_FALSE(reader->EnterNode(1));
}

TEST(SDFReader, AStrayEndOnTheTopLevelEndsTheFile) {
  const Bytes node = Write([](TZelSDFWriter& w) {
    w.BeginGuidNode(1, kHelpGuid);
    w.EndNode();
  });
  const auto reader = Read(Concat({node, {0x00}, Write([](TZelSDFWriter& w) {
                                     w.BeginGuidNode(1, kEditorGuid);
                                     w.EndNode();
                                   })}));
  EXPECT_TRUE(reader->EnterGuidNode(1, kHelpGuid));
  reader->LeaveNode();
  EXPECT_FALSE(reader->EnterGuidNode(1, kEditorGuid));
}

// Cut short inside the last node: that node keeps what was read of it and the reader
// is back at the top level, so every component finds its node.
TEST(SDFReader, AFileCutInsideItsLastNodeKeepsEveryNodeReachable) {
  const Bytes file = Write([](TZelSDFWriter& w) {
    w.BeginGuidNode(1, kEditorGuid);
    w.WriteInteger(1, 10);
    w.EndNode();
    w.BeginGuidNode(1, kMainWindowGuid);
    w.WriteInteger(1, 1031);
    w.WriteInteger(2, 77);
    w.EndNode();
  });
  const auto reader = Read(Bytes(file.begin(), file.end() - 3));  // into value 2
  int32_t value = 0;
  ASSERT_TRUE(reader->EnterGuidNode(1, kEditorGuid));
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, 10);
  reader->LeaveNode();
  ASSERT_TRUE(reader->EnterGuidNode(1, kMainWindowGuid));
  EXPECT_TRUE(reader->ReadInteger(1, value));
  EXPECT_EQ(value, 1031);
  value = -5;
  EXPECT_FALSE(reader->ReadInteger(2, value));  // cut short: absent
  EXPECT_EQ(value, -5);
}

TEST(SDFReader, EveryCutOfARealFileLoadsAndKeepsTheEarlierNodes) {
  uint8_t dock[47];
  for (int i = 0; i < 47; ++i) dock[i] = static_cast<uint8_t>(3 * i);
  const QUuid guids[] = {kEditorGuid, kMainWindowGuid, kHelpGuid};
  std::vector<size_t> nodeEnds;
  Bytes file;
  for (int n = 0; n < 3; ++n) {
    const Bytes node = Write([&](TZelSDFWriter& w) {
      w.BeginGuidNode(1, guids[n]);
      w.BeginIntNode(1, n);
      w.WriteWideString(1, QStringLiteral("Ünïcode %1").arg(n));
      w.EndNode();
      w.WriteInteger(2, 1000 + n);
      w.WriteBlob(3, dock, sizeof(dock));
      w.WriteByte(4, 1);
      w.EndNode();
    });
    file.insert(file.end(), node.begin(), node.end());
    nodeEnds.push_back(file.size());
  }

  for (size_t cut = 0; cut <= file.size(); ++cut) {
    SCOPED_TRACE(cut);
    const auto reader = Read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)));
    for (int n = 0; n < 3; ++n) {
      if (nodeEnds[static_cast<size_t>(n)] > cut) break;
      ASSERT_TRUE(reader->EnterGuidNode(1, guids[n]));
      int32_t value = 0;
      EXPECT_TRUE(reader->ReadInteger(2, value));
      EXPECT_EQ(value, 1000 + n);
      uint8_t copy[47] = {};
      EXPECT_TRUE(reader->ReadBlob(3, copy, sizeof(copy)));
      EXPECT_EQ(Bytes(copy, copy + 47), Bytes(dock, dock + 47));
      ASSERT_TRUE(reader->EnterNode(1));
      QString text;
      EXPECT_TRUE(reader->ReadWideString(1, text));
      EXPECT_EQ(text, QStringLiteral("Ünïcode %1").arg(n));
      reader->LeaveNode();
      reader->LeaveNode();
    }
    // Whatever the cut, the reader is usable: lookups of the rest fail cleanly.
    int32_t value = 0;
    uint8_t copy[47];
    QString text;
    if (reader->EnterGuidNode(1, kHelpGuid)) {
      reader->ReadInteger(2, value);
      reader->ReadBlob(3, copy, sizeof(copy));
      reader->ReadWideString(1, text);
    }
  }
}

TEST(SDFReader, SizesPastTheEndAllocateNothingAndReadAsAbsent) {
  // A text claiming 0xFFFFFFFB bytes, of which 4 exist.
  const auto hugeText = Read({0x57, 0x01, 0x0C, 0xFB, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0});
  QString text = QStringLiteral("default");
  EXPECT_FALSE(hugeText->ReadWideString(1, text));
  EXPECT_EQ(text, QStringLiteral("default"));
  EXPECT_EQ(hugeText->GetElementCount(), 1);

  const auto shortInteger = Read({0x55, 0x01, 0x05, 0x04, 0x78, 0x56});
  int32_t value = 9;
  EXPECT_FALSE(shortInteger->ReadInteger(1, value));
  EXPECT_EQ(value, 9);

  // A cut-short blob copies the bytes that exist and leaves the rest.
  const auto shortBlob = Read({0x55, 0x02, 0x0E, 0x08, 1, 2, 3});
  uint8_t buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_TRUE(shortBlob->ReadBlob(2, buffer, 8));
  EXPECT_EQ(Bytes(buffer, buffer + 8), (Bytes{1, 2, 3, 9, 9, 9, 9, 9}));

  // A node tag cut short matches no GUID.
  const Bytes node = Write([](TZelSDFWriter& w) { w.BeginGuidNode(1, kHelpGuid); });
  EXPECT_FALSE(Read(Bytes(node.begin(), node.end() - 1))->EnterGuidNode(1, kHelpGuid));

  // A header whose fields are cut short is not an element.
  EXPECT_EQ(Read({0x75, 0x01, 0x02})->GetElementCount(), 0);
}

TEST(SDFReader, AMillionNestedNodesDoNotExhaustTheStack) {
  Bytes file(1'000'000, 0xC0);  // nodes with no id, type or size
  for (const uint8_t byte : {0x55, 0x01, 0x05, 0x04, 1, 0, 0, 0}) file.push_back(byte);
  const auto reader = Read(file);
  EXPECT_EQ(reader->GetElementCount(), 1'000'001);
  // Back at the top level after parsing: the outermost node is found.
  EXPECT_TRUE(reader->EnterNode(0));
  int32_t value = 0;
  EXPECT_FALSE(reader->ReadInteger(1, value));
}
