#include "ZelLanguageIds.h"

namespace {

struct LanguageIdEntry {
  uint16_t langId;
  QLocale::Language language;
  QLocale::Territory territory;
};

// The first entry of each language is the one a locale of another territory falls
// back to.
constexpr LanguageIdEntry kLanguageIds[] = {
    {1033, QLocale::English, QLocale::UnitedStates},
    {1031, QLocale::German, QLocale::Germany},
    {1036, QLocale::French, QLocale::France},
    {1049, QLocale::Russian, QLocale::Russia},
    {3082, QLocale::Spanish, QLocale::Spain},
    {1040, QLocale::Italian, QLocale::Italy},
    {1043, QLocale::Dutch, QLocale::Netherlands},
    {1046, QLocale::Portuguese, QLocale::Brazil},
    {1045, QLocale::Polish, QLocale::Poland},
    {1029, QLocale::Czech, QLocale::Czechia},
    {1051, QLocale::Slovak, QLocale::Slovakia},
    {1038, QLocale::Hungarian, QLocale::Hungary},
    {1048, QLocale::Romanian, QLocale::Romania},
    {1026, QLocale::Bulgarian, QLocale::Bulgaria},
    {1050, QLocale::Croatian, QLocale::Croatia},
    {1060, QLocale::Slovenian, QLocale::Slovenia},
    {1052, QLocale::Albanian, QLocale::Albania},
    {1058, QLocale::Ukrainian, QLocale::Ukraine},
    {1059, QLocale::Belarusian, QLocale::Belarus},
    {1061, QLocale::Estonian, QLocale::Estonia},
    {1062, QLocale::Latvian, QLocale::Latvia},
    {1063, QLocale::Lithuanian, QLocale::Lithuania},
    {1030, QLocale::Danish, QLocale::Denmark},
    {1035, QLocale::Finnish, QLocale::Finland},
    {1039, QLocale::Icelandic, QLocale::Iceland},
    {1044, QLocale::NorwegianBokmal, QLocale::Norway},
    {1053, QLocale::Swedish, QLocale::Sweden},
    {1032, QLocale::Greek, QLocale::Greece},
    {1055, QLocale::Turkish, QLocale::Turkey},
    {1037, QLocale::Hebrew, QLocale::Israel},
    {1025, QLocale::Arabic, QLocale::SaudiArabia},
    {1054, QLocale::Thai, QLocale::Thailand},
    {1066, QLocale::Vietnamese, QLocale::Vietnam},
    {1057, QLocale::Indonesian, QLocale::Indonesia},
    {1027, QLocale::Catalan, QLocale::Spain},
    {1041, QLocale::Japanese, QLocale::Japan},
    {1042, QLocale::Korean, QLocale::SouthKorea},
    {2052, QLocale::Chinese, QLocale::China},
    {1028, QLocale::Chinese, QLocale::Taiwan},
    {2057, QLocale::English, QLocale::UnitedKingdom},
    {3081, QLocale::English, QLocale::Australia},
    {4105, QLocale::English, QLocale::Canada},
    {3079, QLocale::German, QLocale::Austria},
    {2055, QLocale::German, QLocale::Switzerland},
    {3084, QLocale::French, QLocale::Canada},
    {2060, QLocale::French, QLocale::Belgium},
    {4108, QLocale::French, QLocale::Switzerland},
    {2064, QLocale::Italian, QLocale::Switzerland},
    {2067, QLocale::Dutch, QLocale::Belgium},
    {2070, QLocale::Portuguese, QLocale::Portugal},
    {2058, QLocale::Spanish, QLocale::Mexico},
};

}  // namespace

namespace quill {

std::optional<QLocale> LocaleOfLangId(uint16_t langId) {
  for (const LanguageIdEntry& entry : kLanguageIds) {
    if (entry.langId == langId) return QLocale(entry.language, entry.territory);
  }
  return std::nullopt;
}

uint16_t LangIdOfLocale(const QLocale& locale) {
  if (locale.language() == QLocale::C) return 1033;
  const LanguageIdEntry* sameLanguage = nullptr;
  for (const LanguageIdEntry& entry : kLanguageIds) {
    if (entry.language != locale.language()) continue;
    if (entry.territory == locale.territory()) return entry.langId;
    if (sameLanguage == nullptr) sameLanguage = &entry;
  }
  return sameLanguage != nullptr ? sameLanguage->langId : 0;
}

}  // namespace quill

uint16_t GetUserDefaultLangID() { return quill::LangIdOfLocale(QLocale::system()); }

void SetThreadLocale(uint16_t langId) {
  if (const std::optional<QLocale> locale = quill::LocaleOfLangId(langId)) QLocale::setDefault(*locale);
}

namespace quill {

uint16_t AnsiCodePageOfLangId(uint16_t langId) {
  switch (langId) {  // languages whose code page depends on the territory
    case 0x0404: case 0x0C04: case 0x1404: return 950;  // Chinese: Taiwan, Hong Kong, Macao
    case 0x0804: case 0x1004: return 936;               // Chinese: China, Singapore
    case 0x0C1A: case 0x1C1A: return 1251;              // Serbian, Cyrillic
    default: break;
  }
  switch (langId & 0x3FF) {  // the primary language
    case 0x01: return 1256;  // Arabic
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: return 1251;  // Bulgarian, Russian, Ukrainian, Belarusian, Macedonian
    case 0x03: case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0F:
    case 0x10: case 0x13: case 0x14: case 0x16: case 0x1D: case 0x21: case 0x2D: case 0x36:
      return 1252;  // Catalan, Danish, German, English, Spanish, Finnish, French, Icelandic,
                    // Italian, Dutch, Norwegian, Portuguese, Swedish, Indonesian, Basque, Afrikaans
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x1C: case 0x24:
      return 1250;  // Czech, Hungarian, Polish, Romanian, Croatian and Serbian (Latin),
                    // Slovak, Albanian, Slovenian
    case 0x08: return 1253;  // Greek
    case 0x0D: return 1255;  // Hebrew
    case 0x11: return 932;   // Japanese
    case 0x12: return 949;   // Korean
    case 0x1E: return 874;   // Thai
    case 0x1F: return 1254;  // Turkish
    case 0x25: case 0x26: case 0x27: return 1257;  // Estonian, Latvian, Lithuanian
    case 0x2A: return 1258;  // Vietnamese
    default: return 0;
  }
}

uint16_t SystemAnsiCodePage() {
  const uint16_t codePage = AnsiCodePageOfLangId(GetUserDefaultLangID());
  return codePage != 0 ? codePage : 1252;
}

}  // namespace quill
