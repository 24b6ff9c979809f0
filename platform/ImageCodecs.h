// The image codecs: JPEG, PNG, TIFF, BMP and GIF decoded by their content (never by a
// file's extension) straight into 24-bit pixel-format-4114 images (B, G, R, rows padded
// to 4 bytes), encoders chosen by MIME type (GIF has none), the property items of each
// format (EXIF and the ICC profile), file information and thumbnails.
//
// Decoding applies no colour management and no orientation: every format gives its
// pixels as stored and keeps its Orientation item, so that a picture saved in any
// format reads back as it was opened. Alpha is dropped and the colours kept as stored
// (unassociated alpha is not multiplied in), 16-bit samples are scaled to 8 bits, grey
// and palette images become B, G, R, CMYK and YCCK JPEGs are converted to RGB, a GIF
// gives its first frame. The ICC profile item is kept only when it describes RGB data.
//
// Sizes come from untrusted headers: a size that ImageSizeAllowed (ImageLimits.h)
// refuses is refused before anything is allocated, and so is a file too short
// for the pixels its header promises (a JPEG's blocks, a PNG's rows, uncompressed BMP
// rows); every library error is a failed call (the libraries neither exit, print nor
// longjmp past us), and so is a failed allocation: no exception leaves these
// functions. A decode that fails part-way reports failure; the image is then left
// empty.
//
// Files are read where the decoders need them (TImageSource), never whole: the file
// information reads headers only, under kHeaderReadLimit bytes, and a thumbnail is
// averaged from the rows as they are decoded (a JPEG at a reduced scale), never
// holding the full picture.
//
// Every function is reentrant: the open dialog's preview thread calls the file
// information and thumbnail functions beside the main thread.

#ifndef QUILL_PLATFORM_IMAGECODECS_H_
#define QUILL_PLATFORM_IMAGECODECS_H_

#include <cstdint>
#include <filesystem>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>
#include <QString>

#include "ImageLimits.h"
#include "ImageProperties.h"
#include "ImageSource.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"

namespace quill {

// GIF has no row in the document's format table: the loader reports it under an id of
// its own, never -1 (the exchange file's).
enum class TImageRawFormat { Unknown, Jpeg, Tiff, Png, Bmp, Gif };

// The format of Data by its first bytes: FF D8 FF (JPEG), the PNG signature, "II*\0" or
// "MM\0*" (TIFF), "BM" (BMP), "GIF87a" or "GIF89a" (GIF).
TImageRawFormat DetectImageFormat(std::span<const uint8_t> data);

// The format of Source by its first bytes.
TImageRawFormat DetectImageFormat(TImageSource& source);

// Reads a whole regular file into Data. False when it cannot be opened or read, is no
// regular file (a named pipe or a device is refused at once, without waiting for a
// writer), or its memory cannot be had.
bool ReadFileBytes(const std::filesystem::path& fileName, std::vector<uint8_t>& data);

// Why a decode failed: the file could not be read (missing, unreadable, or no regular
// file), its content is of no known format, its header gives a size that
// ImageSizeAllowed refuses, or it does not decode whole (damaged or cut short, or its
// pixels could not be allocated).
enum class TImageLoadFailure { None, CannotRead, UnknownFormat, TooLarge, Damaged };

// Decodes Data (or Source) into Image (pixel format 4114), Format and Metadata
// (property items replaced, resolution in dots per inch or 0). False for data of no
// known format or that does not decode whole; Image is empty then, and Failure says
// why (None on success).
bool DecodeImage(std::span<const uint8_t> data, TZelLTBitmap& image, TImageRawFormat& format,
                 TImageMetadata& metadata);
bool DecodeImage(TImageSource& source, TZelLTBitmap& image, TImageRawFormat& format, TImageMetadata& metadata,
                 TImageLoadFailure& failure);

// Format and Metadata of Data as DecodeImage gives them, read from the headers alone
// (no pixel is decoded). False for data of no known format or whose header does not
// read; Metadata is empty then.
bool ReadImageMetadata(std::span<const uint8_t> data, TImageRawFormat& format, TImageMetadata& metadata);
bool ReadImageMetadata(TImageSource& source, TImageRawFormat& format, TImageMetadata& metadata);

// DecodeImage of the file, read as the decoder needs it.
bool LoadImageFile(const std::filesystem::path& fileName, TZelLTBitmap& image,
                   TImageRawFormat& format, TImageMetadata& metadata);
// The same, saying why it failed.
bool LoadImageFile(const std::filesystem::path& fileName, TZelLTBitmap& image,
                   TImageRawFormat& format, TImageMetadata& metadata, TImageLoadFailure& failure);

// The encoder for a MIME type, compared exactly (case counts): 0 "image/bmp",
// 1 "image/jpeg", 2 "image/tiff", 3 "image/png"; -1 for any other.
int FindImageEncoder(std::string_view mimeType);

// The JPEG quality used when the caller gives none (a negative Quality).
constexpr int32_t kDefaultJpegQuality = 75;

// Encodes the whole of Pixels (24-bit, 4114) with the encoder of MimeType into Output,
// with Metadata's property items (thumbnail items are never written) and resolution.
// Quality 0..100 (clamped) is used by "image/jpeg" only; the JPEG always begins with a
// JFIF APP0 segment, and carries the ICC profile in APP2 segments. TIFF is written as
// 8-bit RGB with Deflate compression and the profile as tag 34675, PNG as 8-bit RGB with
// an iCCP and an eXIf chunk, BMP as 24-bit bottom-up with the profile alone (embedded
// through a version 5 header). False for an
// unknown MIME type, pixels that are not 24-bit or empty, or an encoder failure.
bool EncodeImage(const TZelPixels& pixels, std::string_view mimeType, int32_t quality,
                 const TImageMetadata& metadata, std::vector<uint8_t>& output);

// Why WriteFileReplacing wrote nothing: ReadOnly for an existing file refused because
// it is read-only; otherwise Error, the system's error number of the step that failed
// (ENOSPC a full file system, EFBIG a file beyond the process's size limit, EACCES,
// EROFS, ENOENT a missing folder, EISDIR a folder in the way, ELOOP a chain of links
// that does not end), or 0 when the system gives none (the target is a device or a
// named pipe).
struct TFileWriteFailure {
  int Error = 0;
  bool ReadOnly = false;
};

// Replaces FileName's content with Data: writes a temporary file in the same folder,
// flushes it and renames it over FileName, so a failure leaves the old file whole and
// removes the temporary file. When FileName is a symbolic link (or a chain of them)
// its final target is replaced that way, beside the target, and the link stays as it
// was; a chain of links that does not end is refused. An existing file that is
// read-only (no write permission bit for anyone, as a file manager shows it; this
// holds for root too), that this process may not write, or that is not a regular
// file, is refused and left alone. A new file gets the usual permissions, a replaced
// one keeps its own. On failure, Failure says why; on success it is cleared.
bool WriteFileReplacing(const std::filesystem::path& fileName, std::span<const uint8_t> data,
                        TFileWriteFailure& failure);
// The same, for callers that need no reason.
bool WriteFileReplacing(const std::filesystem::path& fileName, std::span<const uint8_t> data);

// EncodeImage, then WriteFileReplacing.
bool SaveImageFile(const std::filesystem::path& fileName, const TZelPixels& pixels,
                   std::string_view mimeType, int32_t quality, const TImageMetadata& metadata);

// The document format's header test: 16 bytes that begin FF D8 FF and hold "I" or "i"
// at offset 8 and "F" or "f" at offset 9 (the end of "JFIF" or "Exif").
bool IsJpegHeader(std::span<const uint8_t, 16> bytes);

}  // namespace quill

// The document format stores a JPEG with its first 16 bytes inverted (each XOR 0xFF).
// RestoreZliHeader inverts Data's first 16 bytes when the inverted bytes pass the JPEG
// test; InvertZliHeader inverts them when they pass it as they stand. Both need more
// than 16 bytes, change nothing otherwise and report whether they inverted. They work
// on memory: files are read whole and written whole, never patched in place.
bool RestoreZliHeader(std::vector<uint8_t>& data);
bool InvertZliHeader(std::vector<uint8_t>& data);

namespace quill {

// RestoreZliHeader for a source: when its first 16 bytes, inverted, pass the JPEG test
// (and it holds more than 16 bytes), they are overlaid inverted (TImageSource::Overlay).
bool RestoreZliHeader(TImageSource& source);

// What the open dialog shows of a file, read from its header without decoding pixels.
struct TImageFileInfo {
  TImageRawFormat Format = TImageRawFormat::Unknown;
  int32_t Width = 0;
  int32_t Height = 0;
  QString DateTime;  // property 306
  QString Make;      // property 271
  QString Model;     // property 272
};

// The most bytes ReadImageFileInfo reads of a file, whatever its size or content.
constexpr uint64_t kHeaderReadLimit = uint64_t{512} << 10;

// Info from the file's headers, read under kHeaderReadLimit. False when it is no image
// or its header does not read within the limit.
bool ReadImageFileInfo(const std::filesystem::path& fileName, TImageFileInfo& info);
// The same from Source, under whatever read limit the caller set.
bool ReadImageFileInfo(TImageSource& source, TImageFileInfo& info);

// The format's display name: "BMP", "JPEG", "PNG", "TIFF"; empty for any other (GIF
// too: the description names only those).
QString ImageFormatName(TImageRawFormat format);

// The labels of the description, localised by the caller.
struct TImageDescriptionLabels {
  QString Format;
  QString Size;
  QString Date;
  QString Camera;
};

}  // namespace quill

// The description text: "<Format label>: <name>", then each on a new line (one line
// feed) "<Size label>: W x H", "<Date label>: <date>", "<Camera label>: <make> <model>";
// each piece only when its value is not empty, so an unknown format makes the text
// begin with the line feed.
QString BuildImageDescription(const quill::TImageFileInfo& info, const quill::TImageDescriptionLabels& labels);

namespace quill {

// A thumbnail of the file for a Width x Height box: the image fitted into the box with
// its proportions kept (smaller images are enlarged), each thumbnail pixel the mean of
// the picture's pixels under it. The rows are averaged as they are decoded (a JPEG at
// the smallest DCT scale that still covers the box), so that the picture is never held
// whole, and the decoding libraries get at most kThumbnailLibraryMemory for their own
// buffers. False when the file does not decode or the box is empty, and soon after Stop
// is requested (the decode gives up at its next rows).
constexpr int64_t kThumbnailLibraryMemory = int64_t{128} << 20;
bool MakeThumbnail(const std::filesystem::path& fileName, int32_t width, int32_t height,
                   QImage& thumbnail, std::stop_token stop = {});
bool MakeThumbnail(TImageSource& source, int32_t width, int32_t height, QImage& thumbnail,
                   std::stop_token stop = {});

}  // namespace quill

#endif  // QUILL_PLATFORM_IMAGECODECS_H_
