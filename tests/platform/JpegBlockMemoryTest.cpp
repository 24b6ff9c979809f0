#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "CodecTestSupport.h"
#include "JpegSupport.h"

namespace {

namespace fs = std::filesystem;

using JpegBlockMemory = quill::CodecTest;

// Reader's coefficients written again by Writer; runs libjpeg inside its setjmp. False
// too when Memory is given and the arrays are not its own.
bool Transcode(quill::TJpegDecompressor& reader, quill::TJpegCompressor& writer, const quill::TJpegBlockMemory* memory) {
  if (setjmp(reader.Error.Jump)) return false;
  if (setjmp(writer.Error.Jump)) return false;
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&reader.Info);
  if (memory != nullptr && memory->Row(arrays[0], 0) == nullptr) return false;
  jpeg_copy_critical_parameters(&reader.Info, &writer.Info);
  jpeg_write_coefficients(&writer.Info, arrays);
  jpeg_finish_compress(&writer.Info);
  return true;
}

// File's coefficients read and written again, through Memory when it is given. Empty
// when anything fails.
std::vector<uint8_t> Transcode(const std::vector<uint8_t>& file, quill::TJpegBlockMemory* memory) {
  quill::TJpegDecompressor reader;
  quill::TJpegCompressor writer;
  if (!quill::ReadJpegHeader(reader, file.data(), file.size(), true)) return {};
  if (memory != nullptr) {
    memory->Serve(reader);
    memory->Serve(writer);
  }
  if (!Transcode(reader, writer, memory)) return {};
  return writer.Output;
}

// A transcoding whose coefficient arrays live in the memory writes what libjpeg's own
// memory makes it write, for a sequential and a progressive source.
TEST_F(JpegBlockMemory, HoldsTheArraysOfATranscodingUnchanged) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 90, 70);
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "sequential");
    quill::WriteLibJpeg(Path("source.jpg"), picture.GetPixels(), 2, 2, progressive);
    const std::vector<uint8_t> source = quill::FileBytes(Path("source.jpg"));
    quill::TJpegBlockMemory memory;
    const std::vector<uint8_t> ours = Transcode(source, &memory), theirs = Transcode(source, nullptr);
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(ours, theirs);
  }
}

// Memory of a pool reuses the blocks an earlier memory gave back, zeroed again: a
// progressive read, which only adds to its coefficients, still reads each file alike.
TEST_F(JpegBlockMemory, APoolHandsItsBlocksOnZeroed) {
  TZelLTBitmap first, second;
  quill::MakePicture(first, 90, 70);
  quill::MakePicture(second, 90, 70);
  ASSERT_TRUE(second.FlipHorizontal());
  quill::WriteLibJpeg(Path("first.jpg"), first.GetPixels(), 2, 2, true);
  quill::WriteLibJpeg(Path("second.jpg"), second.GetPixels(), 2, 2, true);
  quill::TJpegBlockPool pool;
  const JBLOCK* firstRow = nullptr;
  {
    quill::TJpegBlockMemory memory(&pool);
    const jvirt_barray_ptr array = memory.Allocate(30, 20);
    ASSERT_NE(array, nullptr);
    firstRow = memory.Row(array, 0);
    EXPECT_EQ(Transcode(quill::FileBytes(Path("first.jpg")), &memory),
              Transcode(quill::FileBytes(Path("first.jpg")), nullptr));
  }
  quill::TJpegBlockMemory memory(&pool);
  const jvirt_barray_ptr array = memory.Allocate(30, 20);
  EXPECT_EQ(memory.Row(array, 0), firstRow);  // the same block again
  EXPECT_EQ(Transcode(quill::FileBytes(Path("second.jpg")), &memory),
            Transcode(quill::FileBytes(Path("second.jpg")), nullptr));
}

// Arrays of its own start zeroed and give their rows; it has no rows of arrays it did
// not make, nor beyond an array's last row.
TEST_F(JpegBlockMemory, GivesTheRowsOfItsOwnArraysAlone) {
  quill::TJpegBlockMemory memory;
  const jvirt_barray_ptr array = memory.Allocate(5, 3);
  ASSERT_NE(array, nullptr);
  for (JDIMENSION row = 0; row < 3; ++row) {
    const JBLOCK* blocks = memory.Row(array, row);
    ASSERT_NE(blocks, nullptr);
    EXPECT_TRUE(std::all_of(blocks[0], blocks[0] + 5 * 64, [](JCOEF c) { return c == 0; }));
  }
  EXPECT_EQ(memory.Row(array, 3), nullptr);
  EXPECT_EQ(memory.Row(reinterpret_cast<jvirt_barray_ptr>(&memory), 0), nullptr);
}

// An access past an array's rows, through a served object's memory manager, is a
// libjpeg error that ends the call, not a read outside the array.
bool AccessRow(quill::TJpegCompressor& writer, jvirt_barray_ptr array, JDIMENSION row) {
  if (setjmp(writer.Error.Jump)) return false;
  return (*writer.Info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&writer.Info), array, row, 1, TRUE) !=
         nullptr;
}

TEST_F(JpegBlockMemory, AnAccessPastTheLastRowIsAnError) {
  quill::TJpegBlockMemory memory;
  quill::TJpegCompressor writer;
  memory.Serve(writer);
  const jvirt_barray_ptr array = memory.Allocate(2, 4);
  ASSERT_NE(array, nullptr);
  EXPECT_TRUE(AccessRow(writer, array, 3));
  EXPECT_FALSE(AccessRow(writer, array, 4));
}

}  // namespace
