#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "QtPrinters.h"
#include "TestLanguage.h"
#include "ZelFileDialogs.h"
#include "ZelFileFormats.h"

namespace {

// A table over a fixed list of rows.
class TableFormats : public TZelFileFormats {
 public:
  explicit TableFormats(TZelFileFormatArray rows) : rows_(std::move(rows)) {}
  int GetCount() const override { return static_cast<int>(rows_.size()); }
  const TZelFileFormatInfo* GetFormat(int index) const override {
    return index >= 0 && index < GetCount() ? &rows_[static_cast<size_t>(index)] : nullptr;
  }

 private:
  TZelFileFormatArray rows_;
};

class FileFormatsTest : public testing::Test {
 protected:
  quill::ScopedTestLanguage language_{"146=All supported formats\n147=All files\n"};
};

const TZelFileFormatArray kRows = {{0, "JPEG", "*.jpg;*.jpeg", ".jpg"},
                                   {2, "PNG", "*.png", ".png"},
                                   {2, "Other PNG", "*.pnx", ".pnx"},
                                   {-1, "Exchange", "*.xch", ".xch"}};

}  // namespace

TEST_F(FileFormatsTest, OpenListAddsAllSupportedAndAllFiles) {
  const TableFormats table(kRows);
  const TZelFileFormatArray formats = table.GetFormats();
  ASSERT_EQ(formats.size(), 4u);
  EXPECT_EQ(formats[1].Name, "PNG");
  EXPECT_EQ(formats[3].DefaultExt, ".xch");

  const TZelFileFormatArray open = table.GetOpenFormats();
  ASSERT_EQ(open.size(), 6u);
  EXPECT_EQ(open[4].Id, 0);
  EXPECT_EQ(open[4].Name, "All supported formats");
  EXPECT_EQ(open[4].Mask, "*.jpg;*.jpeg;*.png;*.pnx;*.xch");
  EXPECT_TRUE(open[4].DefaultExt.isEmpty());
  EXPECT_EQ(open[5].Id, 0);
  EXPECT_EQ(open[5].Name, "All files");
  EXPECT_EQ(open[5].Mask, "*.*");
}

TEST_F(FileFormatsTest, EmptyTableStillOffersTheTwoCollectiveEntries) {
  const TableFormats table({});
  EXPECT_TRUE(table.GetFormats().empty());
  const TZelFileFormatArray open = table.GetOpenFormats();
  ASSERT_EQ(open.size(), 2u);
  EXPECT_TRUE(open[0].Mask.isEmpty());
  EXPECT_EQ(open[1].Mask, "*.*");
  EXPECT_EQ(table.IndexOfFormat(0), -1);
}

TEST(FileFormats, IndexSearchesFindTheFirstMatch) {
  const TableFormats table(kRows);
  EXPECT_EQ(table.IndexOfFormat(2), 1);
  EXPECT_EQ(table.IndexOfFormat(-1), 3);
  EXPECT_EQ(table.IndexOfFormat(7), -1);
  EXPECT_EQ(IndexOfFileFormat(kRows, 2), 1);
  EXPECT_EQ(IndexOfFileFormat(kRows, 0), 0);
  EXPECT_EQ(IndexOfFileFormat(kRows, 5), -1);
  EXPECT_EQ(IndexOfFileFormat({}, 0), -1);
}

TEST(FileFormats, QtFiltersListMasksBlankSeparated) {
  EXPECT_TRUE(quill::NameFiltersFromFilterString("").isEmpty());
  // A table's filter string reaches the dialog as one filter per format, in order.
  EXPECT_TRUE(quill::NameFiltersFromFilterString(BuildFilterString({})).isEmpty());
  EXPECT_EQ(quill::NameFiltersFromFilterString(BuildFilterString(
                {{0, "JPEG", "*.jpg;*.jpeg", ".jpg"}, {1, "B", "*.b", ".b"}, {0, "None", "", ""}})),
            (QStringList{"JPEG (*.jpg *.jpeg)", "B (*.b)", "None ()"}));
  EXPECT_EQ(quill::NameFiltersFromFilterString("JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|All files (*.*)|*.*"),
            (QStringList{"JPEG (*.jpg *.jpeg)", "All files (*)"}));
  // A text that does not end with its masks keeps its words; a missing mask list is
  // ignored with its text.
  EXPECT_EQ(quill::NameFiltersFromFilterString("Pictures|*.png; *.bmp|Orphan"),
            (QStringList{"Pictures (*.png *.bmp)"}));
  EXPECT_EQ(quill::NameFiltersFromFilterString("None ()|"), (QStringList{"None ()"}));
}
