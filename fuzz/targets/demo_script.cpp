// Demo scripts: any bytes load as a script, save, load again to the same bytes, give a
// title, and every script line parses into arguments.

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
  for (const std::string& line : script.GetScriptLines()) {
    TZelDemoScriptParams params;
    ParseScriptArguments(params, line);
    for (int i = 0; i < params.GetCount(); ++i) {
      const quill::TZelVariant value = quill::ParamAt(params, i);
      (void)quill::VariantToText(value);
      (void)quill::NumberToInteger(value, 0);
    }
  }
  return 0;
}
