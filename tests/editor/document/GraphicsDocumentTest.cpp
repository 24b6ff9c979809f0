// The graphics document: selection maps of the geometry operations, crop, resize,
// snapshots with the lossless JPEG object, the resampled copy and the operation state.

#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "CodecTestSupport.h"
#include "EditorTesting.h"
#include "ImageCodecs.h"
#include "ZelGraphicsDocument.h"

namespace quilltest {
namespace {

class GraphicsDocumentTest : public EditorTest {
 protected:
  TZelGraphicsDocument* OpenPicture(int width, int height) {
    return Open(QStringLiteral("/photos/p.png"), MakePicture(width, height), 2);
  }

  static QImage Current(TZelGraphicsDocument& document) {
    return PicturePixels(document.GetCurrentPixels());
  }
  static QImage Original(TZelGraphicsDocument& document) {
    return PicturePixels(document.GetOriginalPixels());
  }
};

// A JPEG of a picture with structure everywhere, so that a shifted save shows.
std::vector<uint8_t> MakeJpeg(int width, int height) {
  const QImage picture = MakePicture(width, height, 3);
  TZelPixels pixels;
  pixels.Attach({0, 0, width, height}, const_cast<uint8_t*>(picture.constBits()),
                static_cast<int32_t>(picture.bytesPerLine()), quill::kPixelFormat24);
  std::vector<uint8_t> jpeg;
  EXPECT_TRUE(quill::EncodeImage(pixels, "image/jpeg", 90, quill::TImageMetadata(), jpeg));
  return jpeg;
}

// The document's JPEG object loads Jpeg and the images take its decoded pixels, as a
// load through the lossless path leaves them.
void LoadJpeg(TZelGraphicsDocument& document, const std::vector<uint8_t>& jpeg) {
  ASSERT_TRUE(document.JPEG->LoadFromMemory(jpeg));
  ASSERT_TRUE(document.CurrentImage.SetSize(document.JPEG->GetWidth(), document.JPEG->GetHeight(),
                                            quill::kPixelFormat24));
  TZelPixels& pixels = document.GetCurrentPixels();
  ASSERT_TRUE(document.JPEG->Decode(pixels.Bits(), pixels.Stride()));
  document.SetOriginalImage(pixels);
  document.SyncCommittedCopy();
}

// What a lossless save of the document writes: its bounds from its current pixels.
std::vector<uint8_t> LosslessSave(TZelGraphicsDocument& document) {
  const quill::TRect bounds = document.GetBounds();
  quill::TLosslessJpeg& jpeg = *document.JPEG;
  jpeg.SetRegion(bounds);
  const TZelPixels& pixels = document.GetCurrentPixels();
  jpeg.SetPixels(pixels.GetPixelAddress(bounds.Left, bounds.Top), pixels.Stride());
  std::vector<uint8_t> output;
  EXPECT_TRUE(jpeg.SaveToMemory(output, quill::TLosslessJpegSaveOptions()));
  jpeg.EndSave();
  return output;
}

// The mean difference of a channel between the decoded File and the document's current
// image; 255 when the sizes differ. Chroma subsampling alone keeps it small; a picture
// shifted or turned against the screen makes it large.
double MeanDifference(const std::vector<uint8_t>& file, TZelGraphicsDocument& document) {
  TZelLTBitmap decoded;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  if (!quill::DecodeImage(file, decoded, format, metadata)) return 255;
  const TZelPixels& a = decoded.GetPixels();
  const TZelPixels& b = document.GetCurrentPixels();
  if (a.GetBounds() != b.GetBounds()) return 255;
  int64_t sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int i = 0; i < a.Width() * 3; ++i) sum += std::abs(a.GetScanLine(0, y)[i] - b.GetScanLine(0, y)[i]);
  }
  return static_cast<double>(sum) / (a.Width() * 3.0 * a.Height());
}

TEST_F(GraphicsDocumentTest, AGeometryChangeWithoutTheMemoryForItChangesNothing) {
  if (quill::kSanitized) GTEST_SKIP() << "an address-space limit stops the sanitizer itself";
  // A 3000 x 2000 photo (18 MB an image) whose original differs from the current image,
  // changed where the address space may grow by 8 MiB only: with the committed copy's
  // block given up, the original's new image can be had but not the current one's, so
  // the original must be put back.
  TZelGraphicsDocument* document = OpenPicture(3000, 2000);
  ASSERT_NE(document, nullptr);
  const QImage other = MakePicture(3000, 2000, 5);
  TZelPixels otherPixels;
  otherPixels.Attach({0, 0, 3000, 2000}, const_cast<uint8_t*>(other.constBits()),
                     static_cast<int32_t>(other.bytesPerLine()), quill::kPixelFormat24);
  ASSERT_TRUE(document->SetOriginalImage(otherPixels));
  document->SyncCommittedCopy();
  document->SetSelection({10, 20, 30, 40});
  const uint64_t current = Fingerprint(document->GetCurrentPixels());
  const uint64_t original = Fingerprint(document->OriginalImage);
  const auto unchanged = [&] {
    return Fingerprint(document->GetCurrentPixels()) == current && Fingerprint(document->OriginalImage) == original &&
           Fingerprint(document->CommittedCopy) == current && document->Selection == quill::TRect{10, 20, 30, 40} &&
           !document->IsReoriented() && View()->DocumentView->GetBounds() == quill::TRect{0, 0, 3000, 2000};
  };
  quill::ExpectWithMemoryLimit(__LINE__, 8, [&] {
    return !document->RotateLeft() && unchanged() && !document->FlipVertical() && unchanged() &&
           !document->Crop({0, 0, 2990, 2000}) && unchanged();
  });
  // With the memory there, the same turn is made.
  EXPECT_TRUE(document->RotateLeft());
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 2000, 3000}));
}

TEST_F(GraphicsDocumentTest, TurnsAndFlipsMapTheSelectionAndKeepTheImagesInStep) {
  TZelGraphicsDocument* document = OpenPicture(100, 50);
  ASSERT_NE(document, nullptr);
  document->SetSelection({10, 20, 30, 40});
  EXPECT_TRUE(document->RotateLeft());
  EXPECT_EQ(document->Selection, (quill::TRect{20, 70, 40, 90}));
  EXPECT_TRUE(document->RotateRight());
  EXPECT_EQ(document->Selection, (quill::TRect{10, 20, 30, 40}));
  EXPECT_TRUE(document->RotateRight());
  EXPECT_EQ(document->Selection, (quill::TRect{10, 10, 30, 30}));
  EXPECT_EQ(editor_->WStatusPanel->text(), "50");
  EXPECT_EQ(editor_->HStatusPanel->text(), "100");
  EXPECT_TRUE(document->RotateLeft());
  EXPECT_TRUE(document->FlipHorizontal());
  EXPECT_EQ(document->Selection, (quill::TRect{70, 20, 90, 40}));
  EXPECT_TRUE(document->FlipVertical());
  EXPECT_EQ(document->Selection, (quill::TRect{70, 10, 90, 30}));

  const QImage start = Current(*document);
  const quill::TRect selection = document->Selection;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(document->RotateLeft());
  EXPECT_EQ(Current(*document), start);
  EXPECT_EQ(Original(*document), start);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), start);
  EXPECT_EQ(document->Selection, selection);
  EXPECT_EQ(View()->DocumentView->GetBounds(), (quill::TRect{0, 0, 100, 50}));
}

TEST_F(GraphicsDocumentTest, TheSelectionIsNeverTheWholeImage) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  document->SetSelection({-5, -5, 60, 60});
  EXPECT_FALSE(document->HasSelection());
  EXPECT_EQ(document->GetBounds(), (quill::TRect{0, 0, 40, 30}));
  document->SetSelection({30, 20, 80, 80});
  EXPECT_EQ(document->GetBounds(), (quill::TRect{30, 20, 40, 30}));
}

TEST_F(GraphicsDocumentTest, ResizeScalesTheSelectionAndNeverLeavesAnInvalidOne) {
  TZelGraphicsDocument* document = OpenPicture(10, 10);
  ASSERT_NE(document, nullptr);
  document->SetSelection({1, 1, 9, 9});
  ASSERT_TRUE(document->Resize(15, 15));
  EXPECT_EQ(document->Selection, (quill::TRect{2, 2, 13, 13}));
  EXPECT_EQ(document->OriginalImage.GetBounds(), (quill::TRect{0, 0, 15, 15}));
  EXPECT_EQ(document->CommittedCopy.GetBounds(), (quill::TRect{0, 0, 15, 15}));

  // A thin selection shrunk below a pixel comes out inverted: it must not become the
  // bounds a save writes.
  document->SetSelection({5, 5, 6, 6});
  ASSERT_TRUE(document->Resize(4, 4));
  EXPECT_FALSE(document->HasSelection());
  EXPECT_EQ(document->GetBounds(), (quill::TRect{0, 0, 4, 4}));
}

TEST_F(GraphicsDocumentTest, ResizeOfAnUneditedPhotoCopiesNothingUntilIdleTime) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  while (document->PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes)) {
  }
  ASSERT_NE(document->OriginalImage.Bits(), document->GetCurrentPixels().Bits());
  const QImage before = Original(*document);
  TZelLTBitmap previousCurrent, previousOriginal;
  ASSERT_TRUE(document->Resize(30, 20, &previousCurrent, &previousOriginal));
  EXPECT_EQ(PicturePixels(previousOriginal.GetPixels()), before);
  EXPECT_EQ(PicturePixels(previousCurrent.GetPixels()), before);
  // Both views show the resampled image, the one block there is.
  EXPECT_EQ(document->OriginalImage.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_TRUE(document->NeedsPreparation());
  const QImage resized = Current(*document);
  // Idle time gives the original a block of its own, which the committed copy views.
  while (document->PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes)) {
  }
  EXPECT_FALSE(document->NeedsPreparation());
  EXPECT_NE(document->OriginalImage.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(Original(*document), resized);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), resized);
}

TEST_F(GraphicsDocumentTest, ResizeKeepsAnOriginalThatDiffersFromTheCurrentImage) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  TZelLTBitmap original;
  ASSERT_TRUE(original.AssignPixels(document->GetCurrentPixels()));
  ASSERT_TRUE(original.FlipHorizontal(nullptr));
  ASSERT_TRUE(document->SetOriginalImage(original.GetPixels()));
  // Each resize resamples both images on their own, the second as much as the first.
  for (const auto& [width, height] : {std::pair{30, 20}, {25, 17}}) {
    ASSERT_TRUE(document->Resize(width, height));
    ASSERT_TRUE(original.Resize(width, height));
    EXPECT_EQ(Original(*document), PicturePixels(original.GetPixels())) << width;
    EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document)) << width;
    while (document->PrepareSlice(TZelGraphicsDocument::kPrepareSliceBytes)) {
    }
    EXPECT_NE(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits()) << width;
    EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document)) << width;
  }
}

TEST_F(GraphicsDocumentTest, ResampledCopyKeepsEverySideAtLeastOnePixel) {
  TZelGraphicsDocument* document = OpenPicture(1, 1000);
  ASSERT_NE(document, nullptr);
  std::unique_ptr<TZelLTBitmap> copy = document->ResampledCopy(148);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetWidth(), 1);
  EXPECT_EQ(copy->GetHeight(), 148);

  document = OpenPicture(300, 200);
  copy = document->ResampledCopy(148);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetWidth(), 148);
  EXPECT_EQ(copy->GetHeight(), 99);  // MulDiv(200, 148, 300) = 98.67
}

TEST_F(GraphicsDocumentTest, CropKeepsTheRectangleAndAlignsTheLosslessOrigin) {
  TZelGraphicsDocument* document = OpenPicture(64, 48);
  ASSERT_NE(document, nullptr);
  LoadJpeg(*document, MakeJpeg(64, 48));
  ASSERT_EQ(document->JPEG->GetBlockWidth(), 16);
  ASSERT_EQ(document->JPEG->GetBlockHeight(), 16);
  const QImage before = Current(*document);
  document->SetSelection({1, 1, 5, 5});
  EXPECT_TRUE(document->Crop({13, 7, 50, 40}));
  EXPECT_EQ(Current(*document), before.copy(13, 7, 37, 33));
  EXPECT_FALSE(document->HasSelection());
  const quill::TLosslessJpeg::TGeometry geometry = document->JPEG->GetGeometry();
  EXPECT_EQ(geometry.Map, (std::array<int64_t, 6>{1, 0, 0, 0, 1, 0}));  // origin (0, 0)
  EXPECT_EQ(geometry.Width, 37);
  EXPECT_EQ(geometry.Height, 33);

  // Outside the image: nothing happens at all.
  EXPECT_TRUE(document->Crop({100, 100, 120, 120}));
  EXPECT_EQ(document->CurrentImage.GetBounds(), (quill::TRect{0, 0, 37, 33}));
}

// Undo and redo of a crop and a turn, as their records do them, followed by a lossless
// save: the save shows the pixels on screen, and after the redo it is the very file
// that the crop and turn made the first time.
TEST_F(GraphicsDocumentTest, UndoAndRedoKeepTheLosslessObjectInStepWithThePixels) {
  const std::vector<uint8_t> jpeg = MakeJpeg(96, 80);
  const quill::TRect crop{16, 16, 80, 64};

  TZelGraphicsDocument* fresh = OpenPicture(8, 8);
  ASSERT_NE(fresh, nullptr);
  LoadJpeg(*fresh, jpeg);
  const std::vector<uint8_t> unedited = LosslessSave(*fresh);
  EXPECT_TRUE(fresh->Crop(crop));
  EXPECT_TRUE(fresh->RotateLeft());
  const std::vector<uint8_t> edited = LosslessSave(*fresh);
  EXPECT_LE(MeanDifference(edited, *fresh), 3.0);

  TZelGraphicsDocument* document = OpenPicture(8, 8);
  ASSERT_NE(document, nullptr);
  LoadJpeg(*document, jpeg);
  TZelPixelBuffer current;
  TZelPixelBuffer original;
  quill::TLosslessJpeg::TGeometry geometry;
  ASSERT_TRUE(document->Snapshot(current, original, geometry));
  EXPECT_TRUE(document->Crop(crop));
  EXPECT_TRUE(document->RotateLeft());
  EXPECT_TRUE(document->RotateRight());  // undo the turn
  ASSERT_TRUE(document->Restore(current, original, geometry));  // undo the crop
  const std::vector<uint8_t> undone = LosslessSave(*document);
  EXPECT_EQ(undone, unedited);
  EXPECT_LE(MeanDifference(undone, *document), 3.0);

  EXPECT_TRUE(document->Crop(crop));     // redo the crop
  EXPECT_TRUE(document->RotateLeft());   // redo the turn
  const std::vector<uint8_t> redone = LosslessSave(*document);
  EXPECT_EQ(redone, edited);
  EXPECT_LE(MeanDifference(redone, *document), 3.0);
}

TEST_F(GraphicsDocumentTest, OperationStateAndDirtyRectangle) {
  TZelGraphicsDocument* document = OpenPicture(40, 30);
  ASSERT_NE(document, nullptr);
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  ASSERT_TRUE(document->BeginOperation(tool));
  document->AddDirtyRect({1, 1, 5, 5}, false);
  document->AddDirtyRect({10, 10, 12, 12}, false);
  EXPECT_EQ(document->DirtyRect, (quill::TRect{1, 1, 12, 12}));
  document->AddDirtyRect({3, 3, 4, 4}, true);
  EXPECT_EQ(document->DirtyRect, (quill::TRect{3, 3, 4, 4}));
  // Another requester ends the operation without a commit.
  document->EndOperation(editor_);
  EXPECT_FALSE(document->Running);
  EXPECT_TRUE(document->DirtyRect.IsEmpty());
  EXPECT_EQ(document->RunningTool, tool);
  EXPECT_EQ(document->GetHistory().GetCount(), 0);
}

// The state every load ends in (the view's paints may have prepared the opened
// picture already): the original image and the committed copy share its pixels.
void AsLoaded(TZelGraphicsDocument& document) {
  document.SetOriginalToCurrent();
  document.SyncCommittedCopy();
}

// Runs the idle-time preparation to its end; the number of slices it took.
int PrepareAll(TZelGraphicsDocument& document, int64_t sliceBytes) {
  int slices = 1;
  while (document.PrepareSlice(sliceBytes)) ++slices;
  return slices;
}

TEST_F(GraphicsDocumentTest, IdlePreparationLetsTheFirstEditCopyNothingAndKeepsTheOriginalAsOpened) {
  TZelGraphicsDocument* document = OpenPicture(300, 200);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  const QImage opened = Current(*document);
  // Opened: both views share the photo's pixels, and a block is still to be made.
  EXPECT_EQ(document->OriginalImage.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_TRUE(document->NeedsPreparation());
  // A slice of 16 rows (900 bytes each, padded to 900) at a time: 200 rows take 13.
  EXPECT_EQ(PrepareAll(*document, 16 * 900), 13);
  EXPECT_FALSE(document->NeedsPreparation());
  // One block made: the original's, which the committed copy views while they are equal.
  const uint8_t* originalBits = document->OriginalImage.Bits();
  EXPECT_NE(originalBits, document->GetCurrentPixels().Bits());
  EXPECT_EQ(document->CommittedCopy.Bits(), originalBits);
  EXPECT_EQ(Original(*document), opened);

  // The first edit makes no block, and its commit leaves the original as opened.
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  tool->Invert(View(), {10, 10, 50, 50});
  const QImage edited = Current(*document);
  EXPECT_NE(edited, opened);
  EXPECT_EQ(document->OriginalImage.Bits(), originalBits);
  EXPECT_EQ(Original(*document), opened);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), edited);
  // The edit copied the committed copy's block from the original's as it went (the
  // picture is smaller than a slice): the block is its own, and nothing is left.
  EXPECT_FALSE(document->NeedsPreparation());
  EXPECT_NE(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_NE(document->CommittedCopy.Bits(), originalBits);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), edited);
  // Undo puts the pixels back in the live image and the committed copy.
  editor_->UndoClick();
  EXPECT_EQ(Current(*document), opened);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), opened);
  EXPECT_EQ(Original(*document), opened);
}

// The first stroke after opening runs while the committed copy views the original's
// block: the idle time between its events copies the committed copy's block from that
// one, so that its commit leaves nothing for the next press to copy.
TEST_F(GraphicsDocumentTest, TheFirstOperationMakesTheCommittedBlockSoTheNextPressCopiesNothing) {
  TZelGraphicsDocument* document = OpenPicture(300, 200);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  const QImage opened = Current(*document);
  PrepareAll(*document, 1 << 20);
  const uint8_t* originalBits = document->OriginalImage.Bits();
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  ASSERT_TRUE(tool->BeginOperation(View()));
  // Half the block (rows 0 to 99), then a change across that boundary, then the rest.
  EXPECT_TRUE(document->PrepareSlice(100 * 900));
  tool->InvertRect({10, 50, 60, 150});
  EXPECT_EQ(PrepareAll(*document, 100 * 900), 1);
  EXPECT_EQ(document->CommittedCopy.Bits(), originalBits);
  tool->EndOperation();
  const QImage edited = Current(*document);
  EXPECT_NE(edited, opened);
  EXPECT_FALSE(document->NeedsPreparation());
  const uint8_t* committedBits = document->CommittedCopy.Bits();
  EXPECT_NE(committedBits, document->GetCurrentPixels().Bits());
  EXPECT_NE(committedBits, originalBits);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), edited);
  EXPECT_EQ(Original(*document), opened);
  // The next edit begins on that block as it is, and undo keeps all three in step.
  tool->Invert(View(), {100, 100, 300, 200});
  EXPECT_EQ(document->CommittedCopy.Bits(), committedBits);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));
  editor_->UndoClick();
  editor_->UndoClick();
  EXPECT_EQ(Current(*document), opened);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), opened);
  EXPECT_EQ(Original(*document), opened);

  // The press's change copies nothing (its paint waits for no fresh memory); each
  // later change of a stroke that leaves no idle time copies a slice (here the whole
  // small picture), as does the end of a click that found none.
  document = Open(QStringLiteral("/photos/s.png"), MakePicture(300, 200, 3), 2);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  PrepareAll(*document, 1 << 20);
  ASSERT_TRUE(tool->BeginOperation(View()));
  tool->InvertRect({0, 0, 20, 20});
  EXPECT_TRUE(document->PrepareSlice(100 * 900));
  tool->InvertRect({20, 0, 40, 20});
  EXPECT_FALSE(document->PrepareSlice(100 * 900));
  tool->EndOperation();
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));
  editor_->UndoClick();
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));

  // A stroke that leaves no idle time between its events: its commit leaves nothing.
  document = Open(QStringLiteral("/photos/r.png"), MakePicture(300, 200, 1), 2);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  PrepareAll(*document, 1 << 20);
  tool->Invert(View(), {0, 0, 20, 20});
  EXPECT_FALSE(document->NeedsPreparation());
  EXPECT_NE(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));
  editor_->UndoClick();

  // On another photo, a first operation cut short (cancelled) leaves its half block
  // for the next one, which finishes it and commits equal to the image.
  document = Open(QStringLiteral("/photos/q.png"), MakePicture(300, 200, 2), 2);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  const QImage other = Current(*document);
  PrepareAll(*document, 1 << 20);
  ASSERT_TRUE(tool->BeginOperation(View()));
  EXPECT_TRUE(document->PrepareSlice(100 * 900));
  tool->InvertRect({0, 0, 300, 200});
  tool->CancelOperation();
  EXPECT_EQ(Current(*document), other);
  ASSERT_TRUE(tool->BeginOperation(View()));
  PrepareAll(*document, 100 * 900);
  tool->InvertRect({0, 150, 300, 200});
  tool->EndOperation();
  EXPECT_FALSE(document->NeedsPreparation());
  EXPECT_NE(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));
}

TEST_F(GraphicsDocumentTest, APreparationCutShortByAnEditAnUndoOrATurnEndsEqualToTheImage) {
  TZelGraphicsDocument* document = OpenPicture(1000, 800);
  ASSERT_NE(document, nullptr);
  AsLoaded(*document);
  auto* tool = ZelApplication->NewComponent<InvertTool>();
  const QImage opened = Current(*document);
  // Half the original made (rows of 3000 bytes), then an edit: BeginOperation finishes
  // it first.
  EXPECT_TRUE(document->PrepareSlice(400 * 3000));
  tool->Invert(View(), {0, 0, 1000, 800});
  EXPECT_EQ(Original(*document), opened);
  // The edit's one change copied a slice of the committed copy's block from the
  // original (the picture is larger than a slice); more of it made, then undo and redo
  // change rows on both sides of where the copy has got to: the block takes them.
  EXPECT_TRUE(document->NeedsPreparation());
  EXPECT_TRUE(document->PrepareSlice(50 * 3000));
  editor_->UndoClick();
  EXPECT_TRUE(document->PrepareSlice(25 * 3000));
  editor_->RedoClick();
  const QImage inverted = Current(*document);
  EXPECT_NE(inverted, opened);
  PrepareAll(*document, 30 * 3000);
  EXPECT_NE(document->CommittedCopy.Bits(), document->GetCurrentPixels().Bits());
  EXPECT_EQ(PicturePixels(document->CommittedCopy), inverted);

  // A photo just loaded whose preparation a turn cuts short: the turn drops the
  // half-made block, and what is made afterwards is the turned photo.
  AsLoaded(*document);
  const QImage fresh = Current(*document);
  EXPECT_TRUE(document->PrepareSlice(400 * 3000));
  ASSERT_TRUE(document->RotateLeft());
  PrepareAll(*document, 30 * 2400);
  EXPECT_EQ(Original(*document), fresh.transformed(QTransform().rotate(-90)));
  EXPECT_EQ(PicturePixels(document->CommittedCopy), Current(*document));
  EXPECT_EQ(Current(*document), Original(*document));

  // While an operation runs, nothing is copied from the live image (it would copy
  // half-made changes), only the committed copy's block from the original's.
  ASSERT_TRUE(document->BeginOperation(tool));
  EXPECT_FALSE(document->PrepareSlice(1 << 20));
  document->EndOperation(editor_);
}

}  // namespace
}  // namespace quilltest
