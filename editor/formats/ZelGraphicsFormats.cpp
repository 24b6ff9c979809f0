// Placeholder until the loading and saving of image files are written: the table's
// rows and nothing that reads or writes a file.

#include "ZelGraphicsFormats.h"

const TZelFileFormatArray GraphicsFormatTable = {
    {0, QStringLiteral("JPEG"), QStringLiteral("*.jpg;*.jpeg"), QStringLiteral(".jpg")},
    {1, QStringLiteral("TIFF"), QStringLiteral("*.tif;*.tiff"), QStringLiteral(".tif")},
    {2, QStringLiteral("PNG"), QStringLiteral("*.png"), QStringLiteral(".png")},
    {3, QStringLiteral("BMP"), QStringLiteral("*.bmp;*.rle;*.dib"), QStringLiteral(".bmp")},
    {4, QStringLiteral("ZLI"), QStringLiteral("*.zli"), QStringLiteral(".zli")},
};

TZelGraphicsFormats::TZelGraphicsFormats() = default;

int TZelGraphicsFormats::GetCount() const { return static_cast<int>(GraphicsFormatTable.size()); }

const TZelFileFormatInfo* TZelGraphicsFormats::GetFormat(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return &GraphicsFormatTable[static_cast<size_t>(index)];
}

bool TZelGraphicsFormats::GetFileInfo(const QString& fileName,
                                      std::unique_ptr<TZelFileInfo>& info) const {
  return TZelFileFormats::GetFileInfo(fileName, info);
}

bool TZelGraphicsFormats::GetThumbnail(const QString& fileName, int32_t maxWidth,
                                       int32_t maxHeight,
                                       std::unique_ptr<TZelThumbnail>& thumbnail) const {
  return TZelFileFormats::GetThumbnail(fileName, maxWidth, maxHeight, thumbnail);
}

bool TZelGraphicsFormats::Load(TZelDocument* /*document*/, const QString& /*fileName*/,
                               int32_t& /*formatId*/) {
  return false;
}

bool TZelGraphicsFormats::Save(TZelDocument* /*document*/, const QString& /*fileName*/,
                               int32_t /*formatId*/) {
  return false;
}
