// The graphics format table on real files: readers chosen by content, a photo with
// EXIF through every format, the .zli header, the quality question, lossless saves of
// a selection, failed opens and saves, the open dialog's description and thumbnail,
// and the exchange file into a document and back.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QPainter>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "CodecTestSupport.h"
#include "EditorTesting.h"
#include "ImageCodecs.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsFormats.h"
#include "ZelJPEGOptionsForm.h"
#include "ZelLocalizer.h"

namespace quilltest {
namespace {

namespace fs = std::filesystem;

class GraphicsFormatsTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    folder_ = fs::temp_directory_path() /
              ("quill-formats-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    // A save that asks for a quality where it must not fails the test.
    quill::SetJPEGQualityAsker([](int32_t&) {
      ADD_FAILURE() << "the quality was asked";
      return false;
    });
  }
  void TearDown() override {
    quill::SetJPEGQualityAsker({});
    fs::remove_all(folder_);
    EditorTest::TearDown();
  }

  fs::path Path(const std::string& name) const { return folder_ / name; }
  static QString Name(const fs::path& path) { return QString::fromStdString(path.string()); }

  std::unique_ptr<TZelGraphicsDocument> NewDocument() {
    return std::make_unique<TZelGraphicsDocument>(editor_);
  }

  // A new document loaded from File; null when the load fails. FormatId gets the id.
  std::unique_ptr<TZelGraphicsDocument> Load(const fs::path& file, int32_t& formatId) {
    std::unique_ptr<TZelGraphicsDocument> document = NewDocument();
    formatId = -2;
    if (!formats_.Load(document.get(), Name(file), formatId)) return nullptr;
    return document;
  }

  TZelGraphicsFormats formats_;
  fs::path folder_;
};

// Picture as pixels an encoder reads (no copy).
TZelPixels Pixels(const QImage& picture) {
  TZelPixels pixels;
  pixels.Attach({0, 0, picture.width(), picture.height()}, const_cast<uint8_t*>(picture.constBits()),
                static_cast<int32_t>(picture.bytesPerLine()), quill::kPixelFormat24);
  return pixels;
}

void WritePicture(const fs::path& file, const QImage& picture, const char* mimeType,
                  const quill::TImageMetadata& metadata = {}) {
  ASSERT_TRUE(quill::SaveImageFile(file, Pixels(picture), mimeType, 90, metadata));
}

// Bytes decoded by the codecs, as a picture; a null picture when they do not decode.
QImage Decoded(const std::vector<uint8_t>& bytes) {
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  if (!quill::DecodeImage(bytes, image, format, metadata)) return {};
  return PicturePixels(image.GetPixels());
}

QImage Decoded(const fs::path& file) { return Decoded(quill::FileBytes(file)); }

// Current, original and committed copy hold the same picture, which is returned.
QImage CheckedPicture(TZelGraphicsDocument& document) {
  const QImage current = PicturePixels(document.GetCurrentPixels());
  EXPECT_EQ(PicturePixels(document.GetOriginalPixels()), current);
  EXPECT_EQ(PicturePixels(document.CommittedCopy), current);
  return current;
}

std::string PropertyText(const TZelGraphicsDocument& document, uint32_t id) {
  quill::TImageMetadata metadata;
  WriteImageProperties(document.Properties, metadata);
  return ReadPropertyText(metadata.Items, id);
}

// The document's Orientation item; 0 without one.
int OrientationItem(const TZelGraphicsDocument& document) {
  const int index = document.Properties.IndexOf(quill::kPropertyOrientation);
  return index < 0 ? 0 : document.Properties.GetItem(index)->Bytes.at(0);
}

// The values exiftool reads for Tags (such as "-Model -Make"), one line each.
std::string ExiftoolValues(const fs::path& file, const std::string& tags) {
  std::string output;
  quill::RunCommand("exiftool -s -s -s " + tags + " '" + file.string() + "'", &output);
  return output;
}

void PutInt32(std::vector<uint8_t>& bytes, int32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

// "PSPF", the header {32, Mode, 0, 0, Width, Height, RowBytes, Planes} and Rows.
std::vector<uint8_t> ExchangeFile(int32_t mode, int32_t width, int32_t height, int32_t rowBytes,
                                  int32_t planes, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> bytes = {'P', 'S', 'P', 'F'};
  for (int32_t value : {32, mode, 0, 0, width, height, rowBytes, planes}) PutInt32(bytes, value);
  bytes.insert(bytes.end(), rows.begin(), rows.end());
  return bytes;
}

// An EXIF block of Items whose data is padded to Size bytes.
std::vector<uint8_t> ExifBlock(const quill::TImagePropertyList& items, size_t size) {
  std::vector<uint8_t> data = quill::BuildExifData(items);
  data.resize(std::max(data.size(), size), 0);
  std::vector<uint8_t> block = {'E', 'X', 'I', 'F'};
  PutInt32(block, static_cast<int32_t>(data.size()));
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

TEST_F(GraphicsFormatsTest, ReadsByContentNeverByExtension) {
  const QImage picture = MakePicture(40, 30);
  WritePicture(Path("png.jpg"), picture, "image/png");
  WritePicture(Path("jpeg.png"), picture, "image/jpeg");
  WritePicture(Path("tiff.bmp"), picture, "image/tiff");
  WritePicture(Path("bmp.tif"), picture, "image/bmp");

  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("png.jpg"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(id, 2);
  EXPECT_FALSE(document->JPEG->HasImage());
  EXPECT_EQ(CheckedPicture(*document), picture);

  document = Load(Path("jpeg.png"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(id, 0);
  EXPECT_TRUE(document->JPEG->HasImage());  // through the lossless reader
  EXPECT_EQ(CheckedPicture(*document), Decoded(Path("jpeg.png")));

  document = Load(Path("tiff.bmp"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(CheckedPicture(*document), picture);

  document = Load(Path("bmp.tif"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(id, 3);
  EXPECT_EQ(CheckedPicture(*document), picture);
}

// A real photo with camera EXIF opens through the lossless reader and is saved in
// every format; each file opens again with the document's pixels and its EXIF.
TEST_F(GraphicsFormatsTest, PhotoWithExifRoundTripsThroughEveryFormat) {
  const QImage photo = Decoded(QUILL_TEST_DATA_DIR "/rocket.jpg");
  ASSERT_FALSE(photo.isNull());
  quill::TImageMetadata camera;
  camera.Items = quill::SampleProperties();
  WritePicture(Path("camera.jpg"), photo, "image/jpeg", camera);

  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("camera.jpg"), id);
  ASSERT_NE(document, nullptr);
  ASSERT_EQ(id, 0);
  ASSERT_TRUE(document->JPEG->HasImage());
  const QImage pixels = CheckedPicture(*document);
  EXPECT_EQ(PropertyText(*document, quill::kPropertyMake), "Quillmere Optics");

  // Thumbnail items in the document: a codec save drops them, except 20506.
  document->Properties.SetValue(0x5012, 3, 2, "\1\0");
  document->Properties.SetValue(0x501A, 3, 2, "\2\0");
  document->Properties.SetValue(0x503B, 3, 2, "\3\0");
  document->Properties.SetValue(0x503C, 3, 2, "\4\0");

  struct TCase {
    const char* Name;
    int32_t FormatId;
    bool Exif;
  };
  for (const TCase& each : {TCase{"again.png", 2, true}, TCase{"again.tif", 1, true},
                            TCase{"again.bmp", 3, false}, TCase{"again.jpg", 0, true},
                            TCase{"again.zli", 4, true}}) {
    SCOPED_TRACE(each.Name);
    ASSERT_TRUE(formats_.Save(document.get(), Name(Path(each.Name)), each.FormatId));
    std::unique_ptr<TZelGraphicsDocument> again = Load(Path(each.Name), id);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(id, each.FormatId);
    // The lossless saves of the unedited photo keep every coefficient: the same pixels.
    EXPECT_EQ(CheckedPicture(*again), pixels);
    EXPECT_EQ(PropertyText(*again, quill::kPropertyMake), each.Exif ? "Quillmere Optics" : "");
    EXPECT_EQ(PropertyText(*again, quill::kPropertyExif | 0x9003), each.Exif ? "2024:05:06 07:08:00" : "");
    if (each.FormatId != 4 && each.Exif && quill::HaveTool("exiftool")) {
      EXPECT_EQ(ExiftoolValues(Path(each.Name), "-Model -GPSLatitudeRef"), "QM-1\nNorth\n");
    }
  }
  const TZelGraphicsDocumentProperties& kept = document->Properties;
  EXPECT_EQ(kept.IndexOf(0x5012), -1);
  EXPECT_EQ(kept.IndexOf(0x503B), -1);
  EXPECT_NE(kept.IndexOf(0x501A), -1);
  EXPECT_NE(kept.IndexOf(0x503C), -1);
  EXPECT_NE(kept.IndexOf(quill::kPropertyMake), -1);
}

// A photo stored turned (Orientation 6), turned upright in the program: every format
// that carries the item says top-left (1) in the saved file, through the JPEG object
// and through the codecs alike, while the document keeps the item as opened; turned
// back, the saves say 6 again.
TEST_F(GraphicsFormatsTest, ATurnedPhotoIsSavedTopLeftInEveryFormatThatCarriesTheItem) {
  quill::TImageMetadata camera;
  camera.Items = quill::SampleProperties();
  WritePicture(Path("sideways.jpg"), MakePicture(64, 48, 3), "image/jpeg", camera);
  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("sideways.jpg"), id);
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(document->JPEG->HasImage());
  EXPECT_TRUE(document->RotateRight());

  const auto saved = [&](const char* name, int32_t formatId) {
    EXPECT_TRUE(formats_.Save(document.get(), Name(Path(name)), formatId)) << name;
    return quill::ReadOrientation(Path(name));
  };
  EXPECT_EQ(saved("lossless.jpg", 0), 1);
  EXPECT_EQ(saved("lossless.zli", 4), 1);
  EXPECT_EQ(saved("turned.png", 2), 1);
  EXPECT_EQ(saved("turned.tif", 1), 1);
  quill::SetJPEGQualityAsker([](int32_t&) { return true; });
  document->JPEG = nullptr;  // as without the lossless library
  EXPECT_EQ(saved("codec.jpg", 0), 1);
  EXPECT_EQ(saved("codec.zli", 4), 1);
  EXPECT_EQ(PropertyText(*document, quill::kPropertyMake), "Quillmere Optics");
  const quill::TZelPropertyItem* kept = document->Properties.GetItem(document->Properties.IndexOf(0x0112));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Bytes, (std::vector<uint8_t>{6, 0}));

  EXPECT_TRUE(document->RotateLeft());
  EXPECT_EQ(saved("back.png", 2), 6);
  EXPECT_EQ(saved("back.jpg", 0), 6);
}

// Every reader gives the pixels as stored, whatever the EXIF orientation says: a JPEG
// or PNG of each of the 8 orientations, saved in every format and opened again, shows
// the same pixels (within the codec's error for a JPEG asked a quality, or a .zli
// written by the codecs) with the same Orientation item, and the open dialog's
// thumbnails of the saved files agree.
TEST_F(GraphicsFormatsTest, EveryOrientationOpensAsStoredAfterASaveInEveryFormat) {
  TZelLTBitmap smooth;  // a photograph-like picture, as JPEG expects
  quill::MakePicture(smooth, 48, 32);
  const QImage picture = PicturePixels(smooth.GetPixels());
  quill::SetJPEGQualityAsker([](int32_t& quality) {
    quality = 95;
    return true;
  });
  struct TWriter {
    const char* Extension;
    int32_t FormatId;
    bool CarriesExif;
  };
  const TWriter writers[] = {{"png", 2, true}, {"bmp", 3, false}, {"tif", 1, true}, {"jpg", 0, true}, {"zli", 4, true}};
  for (const char* source : {"jpg", "png"}) {
    for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE(std::string(source) + " orientation " + std::to_string(orientation));
      quill::TImageMetadata metadata;
      metadata.Items = {{quill::kPropertyOrientation, quill::kTiffShort, {static_cast<uint8_t>(orientation), 0}}};
      const fs::path original = Path(std::string("in.") + source);
      WritePicture(original, picture, source == std::string("jpg") ? "image/jpeg" : "image/png", metadata);
      int32_t id = 0;
      std::unique_ptr<TZelGraphicsDocument> document = Load(original, id);
      ASSERT_NE(document, nullptr);
      const bool lossless = document->JPEG->HasImage();
      const QImage opened = CheckedPicture(*document);
      if (!lossless) {
        EXPECT_EQ(opened, picture);
      }
      QImage firstThumbnail;
      for (const TWriter& writer : writers) {
        SCOPED_TRACE(writer.Extension);
        const fs::path saved = Path(std::string("out.") + writer.Extension);
        ASSERT_TRUE(formats_.Save(document.get(), Name(saved), writer.FormatId));
        std::unique_ptr<TZelGraphicsDocument> again = Load(saved, id);
        ASSERT_NE(again, nullptr);
        const bool exact = writer.FormatId == 1 || writer.FormatId == 2 || writer.FormatId == 3 || lossless;
        if (exact) {
          EXPECT_EQ(CheckedPicture(*again), opened);
        } else {
          // Close to the picture, far from it mirrored or upside down.
          EXPECT_LT(quill::MeanDifference(again->GetCurrentPixels(), Pixels(opened)), 4.0);
          EXPECT_GT(quill::MeanDifference(again->GetCurrentPixels(), Pixels(opened.mirrored(true, false))), 12.0);
          EXPECT_GT(quill::MeanDifference(again->GetCurrentPixels(), Pixels(opened.mirrored(false, true))), 12.0);
        }
        EXPECT_EQ(quill::ReadOrientation(saved), writer.CarriesExif ? orientation : 0);
        EXPECT_EQ(OrientationItem(*again), writer.CarriesExif ? orientation : 0);
        if (writer.FormatId == 0 || writer.FormatId == 4) continue;  // JPEG previews decode at a reduced scale
        std::unique_ptr<TZelThumbnail> thumbnail;
        ASSERT_TRUE(formats_.GetThumbnail(Name(saved), 24, 24, thumbnail));
        const QImage image = static_cast<TZelGraphicsThumbnail&>(*thumbnail).Image;
        if (firstThumbnail.isNull()) firstThumbnail = image;
        EXPECT_EQ(image, firstThumbnail);
      }
    }
  }
}

TEST_F(GraphicsFormatsTest, CodecJpegAsksTheLastConfirmedQualityAndCancelWritesNothing) {
  const QImage picture = MakePicture(48, 32);
  WritePicture(Path("p.png"), picture, "image/png");
  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("p.png"), id);
  ASSERT_NE(document, nullptr);

  std::vector<int32_t> asked;
  int32_t answer = -1;  // Cancel
  quill::SetJPEGQualityAsker([&](int32_t& quality) {
    asked.push_back(quality);
    if (answer < 0) return false;
    quality = answer;
    return true;
  });
  EXPECT_FALSE(formats_.Save(document.get(), Name(Path("p.jpg")), 0));
  EXPECT_FALSE(fs::exists(Path("p.jpg")));
  EXPECT_EQ(formats_.JPEGQuality, 80);

  answer = 35;
  EXPECT_TRUE(formats_.Save(document.get(), Name(Path("p.jpg")), 0));
  EXPECT_EQ(formats_.JPEGQuality, 35);
  answer = 95;
  EXPECT_TRUE(formats_.Save(document.get(), Name(Path("q.jpg")), 0));
  EXPECT_EQ(asked, (std::vector<int32_t>{80, 80, 35}));
  // The lower quality gives the smaller file and the larger error.
  EXPECT_LT(fs::file_size(Path("p.jpg")), fs::file_size(Path("q.jpg")));
  EXPECT_GT(quill::MeanDifference(Pixels(Decoded(Path("p.jpg"))), Pixels(picture)),
            quill::MeanDifference(Pixels(Decoded(Path("q.jpg"))), Pixels(picture)));

  // A .zli through the codecs asks nothing and is written at quality 100.
  asked.clear();
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("p.zli")), 4));
  EXPECT_TRUE(asked.empty());
  std::unique_ptr<TZelGraphicsDocument> zli = Load(Path("p.zli"), id);
  ASSERT_NE(zli, nullptr);
  EXPECT_LT(quill::MeanDifference(zli->GetCurrentPixels(), Pixels(picture)),
            quill::MeanDifference(Pixels(Decoded(Path("q.jpg"))), Pixels(picture)));
}

TEST_F(GraphicsFormatsTest, ZliHeaderIsInvertedOnDiskAndOpeningWritesNothing) {
  const QImage picture = MakePicture(40, 24);
  WritePicture(Path("p.png"), picture, "image/png");
  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("p.png"), id);
  ASSERT_NE(document, nullptr);
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("doc.zli")), 4));

  std::vector<uint8_t> bytes = quill::FileBytes(Path("doc.zli"));
  ASSERT_GT(bytes.size(), 16u);
  EXPECT_FALSE(quill::DetectImageFormat(bytes) == quill::TImageRawFormat::Jpeg);
  std::vector<uint8_t> restored = bytes;
  ASSERT_TRUE(RestoreZliHeader(restored));

  // Read-only, so that a load that tried to write would fail.
  ::chmod(Path("doc.zli").c_str(), 0444);
  std::unique_ptr<TZelGraphicsDocument> opened = Load(Path("doc.zli"), id);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(id, 4);
  EXPECT_TRUE(opened->JPEG->HasImage());
  EXPECT_EQ(CheckedPicture(*opened), Decoded(restored));
  EXPECT_EQ(quill::FileBytes(Path("doc.zli")), bytes);

  // Saved again as .zli through the lossless object: the same JPEG, inverted again.
  ::chmod(Path("doc.zli").c_str(), 0644);
  ASSERT_TRUE(formats_.Save(opened.get(), Name(Path("again.zli")), 4));
  std::vector<uint8_t> again = quill::FileBytes(Path("again.zli"));
  ASSERT_TRUE(RestoreZliHeader(again));
  EXPECT_TRUE(Decoded(Path("again.zli")).isNull());  // not a plain JPEG on disk
  EXPECT_EQ(Decoded(again), Decoded(restored));

  // A file of exactly 16 bytes is never a .zli, whatever its bytes.
  std::vector<uint8_t> sixteen(restored.begin(), restored.begin() + 16);
  for (uint8_t& byte : sixteen) byte = static_cast<uint8_t>(~byte);
  quill::WriteBytes(Path("short.zli"), sixteen);
  EXPECT_EQ(Load(Path("short.zli"), id), nullptr);
  EXPECT_EQ(quill::FileBytes(Path("short.zli")), sixteen);
}

// A lossless save of a selection writes the selection, and the JPEG object still
// shows the whole picture for the next save.
TEST_F(GraphicsFormatsTest, LosslessSaveOfASelectionLeavesTheJpegObjectAsItWas) {
  WritePicture(Path("p.jpg"), MakePicture(64, 48, 5), "image/jpeg");
  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("p.jpg"), id);
  ASSERT_NE(document, nullptr);
  const QImage pixels = CheckedPicture(*document);
  document->SetSelection({16, 16, 48, 48});
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("part.jpg")), 0));
  // Only the chroma interpolated across the new edges differs.
  EXPECT_LT(quill::MeanDifference(Pixels(Decoded(Path("part.jpg"))), Pixels(pixels.copy(16, 16, 32, 32))), 3.0);

  document->ClearSelection();
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("whole.jpg")), 0));
  EXPECT_EQ(document->JPEG->GetWidth(), 64);
  EXPECT_EQ(Decoded(Path("whole.jpg")), pixels);
}

// The mean difference a plain JPEG of Pixels at quality 90 (the quality of the files
// the tests write) shows against them.
double EncodingError(const TZelPixels& pixels) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(quill::EncodeImage(pixels, "image/jpeg", 90, {}, bytes));
  return quill::MeanDifference(Pixels(Decoded(bytes)), pixels);
}

// The lossless save compares with the document's original image where it still shows
// the file's blocks: never after a crop off the block grid or a resize, whose
// original, changed alike, equals the picture but not the file; again after the resize
// is put back.
TEST_F(GraphicsFormatsTest, LosslessSavesShowThePictureAfterCropsAndResizes) {
  WritePicture(Path("p.jpg"), MakePicture(64, 48, 5), "image/jpeg");
  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> cropped = Load(Path("p.jpg"), id);
  ASSERT_NE(cropped, nullptr);
  ASSERT_TRUE(cropped->Crop({5, 3, 50, 40}));
  ASSERT_TRUE(formats_.Save(cropped.get(), Name(Path("cropped.jpg")), 0));
  EXPECT_LT(quill::MeanDifference(Pixels(Decoded(Path("cropped.jpg"))), cropped->GetCurrentPixels()),
            EncodingError(cropped->GetCurrentPixels()) + 1.0);

  std::unique_ptr<TZelGraphicsDocument> resized = Load(Path("p.jpg"), id);
  ASSERT_NE(resized, nullptr);
  TZelPixelBuffer current, original;
  quill::TLosslessJpeg::TGeometry geometry;
  ASSERT_TRUE(resized->Snapshot(current, original, geometry));
  ASSERT_TRUE(resized->Resize(32, 24));
  ASSERT_TRUE(formats_.Save(resized.get(), Name(Path("resized.jpg")), 0));
  EXPECT_LT(quill::MeanDifference(Pixels(Decoded(Path("resized.jpg"))), resized->GetCurrentPixels()),
            EncodingError(resized->GetCurrentPixels()) + 1.0);
  ASSERT_TRUE(resized->Restore(current, original, geometry));
  ASSERT_TRUE(formats_.Save(resized.get(), Name(Path("restored.jpg")), 0));
  EXPECT_EQ(quill::ReadCoefficients(Path("restored.jpg")).Components, quill::ReadCoefficients(Path("p.jpg")).Components);
}

TEST_F(GraphicsFormatsTest, FailedOpensAndSavesChangeNothing) {
  const QImage picture = MakePicture(32, 32);
  WritePicture(Path("p.jpg"), picture, "image/jpeg");
  std::vector<uint8_t> jpeg = quill::FileBytes(Path("p.jpg"));
  quill::WriteBytes(Path("half.jpg"), {jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2)});
  quill::WriteBytes(Path("empty.png"), {});
  quill::WriteBytes(Path("text.png"), {'n', 'o', ' ', 'i', 'm', 'a', 'g', 'e', ' ', 'a', 't', ' ', 'a', 'l', 'l', '!', '!'});
  fs::create_directories(Path("folder.jpg"));
  ASSERT_EQ(::mkfifo(Path("pipe.jpg").c_str(), 0600), 0);

  int32_t id = 0;
  for (const char* name : {"missing.jpg", "half.jpg", "empty.png", "text.png", "folder.jpg", "pipe.jpg"}) {
    EXPECT_EQ(Load(Path(name), id), nullptr) << name;
  }
  EXPECT_FALSE(formats_.Load(nullptr, Name(Path("p.jpg")), id));
  EXPECT_EQ(quill::FileBytes(Path("p.jpg")), jpeg);

  // Saves that fail leave the old file whole: no image, an id without encoder, Cancel
  // in the quality dialog (which needs no report), a folder in the way and a read-only
  // file (each with its reason).
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  quill::WriteBytes(Path("old.png"), old);
  std::unique_ptr<TZelGraphicsDocument> empty = NewDocument();
  EXPECT_FALSE(formats_.Save(empty.get(), Name(Path("old.png")), 2));
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("p.jpg"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(formats_.Save(document.get(), Name(Path("old.png")), 5));
  document->JPEG = nullptr;  // as without the lossless library: JPEG asks the quality
  quill::SetJPEGQualityAsker([](int32_t&) { return false; });
  TZelSaveFailure failure;
  EXPECT_FALSE(formats_.Save(document.get(), Name(Path("old.png")), 0, failure));
  EXPECT_TRUE(failure.Cancelled);  // the user's own choice
  EXPECT_EQ(quill::FileBytes(Path("old.png")), old);
  EXPECT_FALSE(formats_.Save(document.get(), Name(Path("folder.jpg")), 2, failure));
  EXPECT_FALSE(failure.Cancelled);
  EXPECT_EQ(failure.Reason, QString::fromLocal8Bit(std::strerror(EISDIR)) + u'.');
  EXPECT_TRUE(fs::is_directory(Path("folder.jpg")));
  ::chmod(Path("old.png").c_str(), 0444);
  EXPECT_FALSE(formats_.Save(document.get(), Name(Path("old.png")), 2, failure));
  EXPECT_EQ(failure.Reason, GetLocalizedString(1035));
  EXPECT_EQ(quill::FileBytes(Path("old.png")), old);
  // A save that works clears what the last one said.
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("new.png")), 2, failure));
  EXPECT_FALSE(failure.Cancelled);
  EXPECT_TRUE(failure.Reason.isEmpty());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 8);  // no leftovers
}

TEST_F(GraphicsFormatsTest, DescriptionAndThumbnailForTheOpenDialog) {
  ASSERT_EQ(GetLocalizedString(215), "Format");
  WritePicture(Path("plain.png"), MakePicture(640, 480), "image/png");
  quill::TImageMetadata camera;
  camera.Items = quill::SampleProperties();
  WritePicture(Path("camera.jpg"), MakePicture(64, 48), "image/jpeg", camera);
  fs::create_directories(Path("folder.png"));

  std::unique_ptr<TZelFileInfo> info;
  ASSERT_TRUE(formats_.GetFileInfo(Name(Path("plain.png")), info));
  EXPECT_EQ(info->GetDescription(), GetLocalizedString(215) + ": PNG\n" + GetLocalizedString(504) + ": 640 x 480");
  ASSERT_TRUE(formats_.GetFileInfo(Name(Path("camera.jpg")), info));
  EXPECT_EQ(info->GetDescription(),
            "Format: JPEG\nSize: 64 x 48\nDate: 2024:05:06 07:08:09\nCamera: Quillmere Optics QM-1");
  info.reset();
  EXPECT_FALSE(formats_.GetFileInfo(Name(Path("folder.png")), info));
  EXPECT_FALSE(formats_.GetFileInfo(Name(Path("missing.png")), info));
  EXPECT_EQ(info, nullptr);

  // A 100 x 50 picture for a 200 x 200 box: enlarged to 200 x 100, drawn centred.
  WritePicture(Path("wide.png"), MakePicture(100, 50), "image/png");
  std::unique_ptr<TZelThumbnail> thumbnail;
  ASSERT_TRUE(formats_.GetThumbnail(Name(Path("wide.png")), 200, 200, thumbnail));
  EXPECT_EQ(static_cast<TZelGraphicsThumbnail&>(*thumbnail).Image.size(), QSize(200, 100));
  QImage canvas(220, 220, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  quill::TRect drawn;
  {
    QPainter painter(&canvas);
    ASSERT_TRUE(thumbnail->Draw(painter, {10, 10, 210, 210}, drawn));
  }
  EXPECT_EQ(drawn, (quill::TRect{10, 60, 210, 160}));
  EXPECT_EQ(canvas.pixel(110, 59), qRgb(0, 0, 0));
  EXPECT_EQ(canvas.pixel(110, 160), qRgb(0, 0, 0));
  EXPECT_NE(canvas.pixel(110, 60), qRgb(0, 0, 0));
  EXPECT_FALSE(formats_.GetThumbnail(Name(Path("folder.png")), 200, 200, thumbnail));
}

TEST_F(GraphicsFormatsTest, ExchangeFileIntoTheDocumentAndBack) {
  // Planes 4, RowBytes 8: the first three bytes of every four are red, green, blue;
  // an EXIF block follows with more than 496 bytes.
  quill::TImagePropertyList items;
  items.push_back({quill::kPropertyMake, 2, {'H', 'o', 's', 't', 0}});
  items.push_back({quill::kPropertyXResolution, 5, {44, 1, 0, 0, 1, 0, 0, 0}});  // 300 / 1
  items.push_back({quill::kPropertyYResolution, 5, {150, 0, 0, 0, 1, 0, 0, 0}});  // 150 / 1
  std::vector<uint8_t> file = ExchangeFile(3, 2, 1, 8, 4, {10, 20, 30, 99, 40, 50, 60, 99});
  const std::vector<uint8_t> block = ExifBlock(items, 600);
  file.insert(file.end(), block.begin(), block.end());
  quill::WriteBytes(Path("x.tmp"), file);

  int32_t id = 0;
  std::unique_ptr<TZelGraphicsDocument> document = Load(Path("x.tmp"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(id, -1);
  const uint8_t* pixels = document->GetCurrentPixels().Bits();
  EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 6), (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
  CheckedPicture(*document);
  EXPECT_EQ(PropertyText(*document, quill::kPropertyMake), "Host");
  EXPECT_EQ(document->Properties.HorizontalResolution, 300);
  EXPECT_EQ(document->Properties.VerticalResolution, 150);

  // A block with only 496 bytes after the rows is no block.
  file = ExchangeFile(3, 2, 1, 8, 4, {10, 20, 30, 99, 40, 50, 60, 99});
  std::vector<uint8_t> small = ExifBlock(items, 0);
  small.resize(496, 0);
  file.insert(file.end(), small.begin(), small.end());
  quill::WriteBytes(Path("small.tmp"), file);
  document = Load(Path("small.tmp"), id);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->Properties.GetCount(), 0);

  // Mode 1, and a file shorter than its rows, are not opened at all.
  quill::WriteBytes(Path("mode1.tmp"), ExchangeFile(1, 2, 1, 8, 4, {10, 20, 30, 99, 40, 50, 60, 99}));
  EXPECT_EQ(Load(Path("mode1.tmp"), id), nullptr);
  quill::WriteBytes(Path("short.tmp"), ExchangeFile(3, 2, 2, 8, 4, {10, 20, 30, 99, 40, 50, 60, 99}));
  EXPECT_EQ(Load(Path("short.tmp"), id), nullptr);

  // Written back: the whole 5 x 2 image (not the selection), RowBytes 16, Planes 3, the
  // sixteenth byte of each row as the file held it, the old EXIF block cut off.
  document = NewDocument();
  PutPixels(*document, MakePicture(5, 2));
  document->SetSelection({1, 0, 3, 2});
  quill::WriteBytes(Path("back.tmp"), std::vector<uint8_t>(100, 0xEE));
  ASSERT_TRUE(formats_.Save(document.get(), Name(Path("back.tmp")), -1));
  const std::vector<uint8_t> back = quill::FileBytes(Path("back.tmp"));
  ASSERT_EQ(back.size(), 68u);
  std::vector<uint8_t> header = ExchangeFile(3, 5, 2, 16, 3, {});
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 36), header);
  EXPECT_EQ(back[36 + 15], 0xEE);
  EXPECT_EQ(back[36 + 16 + 15], 0xEE);
  std::unique_ptr<TZelGraphicsDocument> reread = Load(Path("back.tmp"), id);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(CheckedPicture(*reread), MakePicture(5, 2));
}

}  // namespace
}  // namespace quilltest
