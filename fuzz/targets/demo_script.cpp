// Demo scripts: any bytes load as a script, save, load again to the same bytes, give a
// title and the picture's file name, and every script line shows in a message without a
// NUL and parses into arguments; a text argument, quoted again for a recorded line,
// reads back as the same text.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "ZelDemoScript.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TZelDemoScript script;
  script.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string saved = script.SaveToBytes();
  TZelDemoScript again;
  again.LoadFromBytes(saved);
  Check(again.SaveToBytes() == saved, "a saved script loads back to other bytes");
  (void)script.GetTitle();
  (void)script.DecodeFileName(script.GetInfoValue("Image"));
  for (const std::string& line : script.GetScriptLines()) {
    Check(!quill::ShownScriptText(line).contains(QChar(u'\0')), "a shown script line holds a NUL");
    TZelDemoScriptParams params;
    ParseScriptArguments(params, line);
    for (int i = 0; i < params.GetCount(); ++i) {
      const quill::TZelVariant value = quill::ParamAt(params, i);
      const std::string text = quill::VariantToText(value);
      (void)quill::NumberToInteger(value, 0);
      (void)script.DecodeFileName(text);
      const QString decoded = script.DecodeText(text);
      QString quoted;
      if (!quill::QuoteScriptText(decoded, quoted)) continue;
      TZelDemoScriptParams reread;
      const QByteArray bytes = quoted.toUtf8();
      ParseScriptArguments(reread, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
      const QByteArray expected = decoded.toUtf8();
      Check(reread.GetCount() == 1 &&
                quill::VariantToText(quill::ParamAt(reread, 0)) == std::string_view(expected.constData(), expected.size()),
            "a quoted text reads back as another text");
    }
  }
  return 0;
}
