// Language files, as the localizer reads them: the file parsed from its bytes into its
// strings table, then the same file found by a folder scan and made the language, whose
// texts must be the table's.

#include "FuzzSupport.h"
#include "ZelLocalizer.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TZelLanguageFile file(std::string_view(reinterpret_cast<const char*>(data), size));
  TZelLocalStringList table;
  TZelLocalizer::LoadStrings(table, file);

  static const std::filesystem::path folder = quill::fuzz::ScratchFolder() / "Languages";
  std::filesystem::create_directories(folder);
  quill::fuzz::WriteScratchFile("Languages/Language.ini", {data, size});
  TZelLocalizer localizer(QString::fromStdString(folder.string()), 1033);
  if (localizer.GetLanguages().empty()) return 0;
  Check(localizer.GetLanguages().front().LangId == file.ReadInteger("Language", "LangId", 0),
        "the scan found another language id than the file gives");
  localizer.SetLanguage(localizer.GetLanguages().front().LangId);
  for (const TZelLanguageFile::Line& line : file.SectionLines("Strings")) {
    const std::optional<int32_t> id = quill::ParseDecimalInt(line.Key);
    if (!id) continue;
    std::string text;
    Check(table.GetString(*id, text), "a string of the file is missing from its table");
    Check(localizer.GetLocalizedString(*id) == QString::fromStdString(text),
          "the localizer shows another text than the file holds");
  }
  return 0;
}
