#include "ZelFileFormats.h"

#include <QStringList>

#include "ZelLocalizer.h"

namespace {

constexpr int32_t kAllSupportedFormatsText = 146;
constexpr int32_t kAllFilesText = 147;

}  // namespace

bool TZelFileFormats::GetFileInfo(const QString& /*fileName*/,
                                  std::unique_ptr<TZelFileInfo>& /*info*/) const {
  return false;
}

bool TZelFileFormats::GetThumbnail(const QString& /*fileName*/, int32_t /*maxWidth*/,
                                   int32_t /*maxHeight*/,
                                   std::unique_ptr<TZelThumbnail>& /*thumbnail*/,
                                   std::stop_token /*stop*/) const {
  return false;
}

TZelFileFormatArray TZelFileFormats::GetFormats() const {
  TZelFileFormatArray formats;
  const int count = GetCount();
  formats.reserve(count > 0 ? static_cast<size_t>(count) : 0);
  for (int i = 0; i < count; ++i) {
    if (const TZelFileFormatInfo* format = GetFormat(i)) formats.push_back(*format);
  }
  return formats;
}

TZelFileFormatArray TZelFileFormats::GetOpenFormats() const {
  TZelFileFormatArray formats = GetFormats();
  QStringList masks;
  for (const TZelFileFormatInfo& format : formats) masks.append(format.Mask);
  formats.push_back({0, GetLocalizedString(kAllSupportedFormatsText), masks.join(u';'), QString()});
  formats.push_back({0, GetLocalizedString(kAllFilesText), QStringLiteral("*.*"), QString()});
  return formats;
}

int TZelFileFormats::IndexOfFormat(int32_t id) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    const TZelFileFormatInfo* format = GetFormat(i);
    if (format != nullptr && format->Id == id) return i;
  }
  return -1;
}

int IndexOfFileFormat(const TZelFileFormatArray& formats, int32_t id) {
  for (size_t i = 0; i < formats.size(); ++i) {
    if (formats[i].Id == id) return static_cast<int>(i);
  }
  return -1;
}

QString BuildFilterString(const TZelFileFormatArray& formats) {
  QString filter;
  for (size_t i = 0; i < formats.size(); ++i) {
    if (i > 0) filter += u'|';
    filter += formats[i].Name + QStringLiteral(" (") + formats[i].Mask + QStringLiteral(")|") +
              formats[i].Mask;
  }
  return filter;
}
