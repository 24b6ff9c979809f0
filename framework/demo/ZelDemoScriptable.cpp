#include "ZelDemoScriptable.h"

#include <functional>
#include <string>
#include <variant>

#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"
#include "ZelForms.h"
#include "ZelProperties.h"

namespace quill {
namespace {

// Runs Offer on the application's scriptable components in creation order until it
// returns true.
void OfferToScriptables(const std::function<bool(IZelDemoScriptable&)>& offer) {
  if (ZelApplication == nullptr) return;
  // By index: a command may create components (an open document's view, a dialog).
  for (int i = 0; i < ZelApplication->GetComponentCount(); ++i) {
    auto* scriptable = dynamic_cast<IZelDemoScriptable*>(ZelApplication->GetComponent(i));
    if (scriptable != nullptr && offer(*scriptable)) return;
  }
}

// The argument at Index; Unassigned when there is none.
TZelVariant ArgumentAt(const TZelProperties* params, int index) {
  TZelVariant value;
  if (params != nullptr && index >= 0 && index < params->GetCount()) params->GetVariant(index, value);
  return value;
}

bool HasArguments(const TZelProperties* params) { return params != nullptr && params->GetCount() > 0; }

}  // namespace

bool ScriptBoolean(const TZelProperties* params, bool defaultValue) {
  if (!HasArguments(params)) return defaultValue;
  bool value = false;
  ScriptBooleanIgnoringText(params, value);
  return value;
}

int32_t ScriptInteger(const TZelProperties* params, int32_t defaultValue) {
  return NumberToInteger(ArgumentAt(params, 0), defaultValue);
}

bool ScriptIntegerIgnoringText(const TZelProperties* params, int index, int32_t& value) {
  const TZelVariant argument = ArgumentAt(params, index);
  if (!IsNumeric(argument)) return false;
  value = NumberToInteger(argument, 0);
  return true;
}

bool ScriptBooleanIgnoringText(const TZelProperties* params, bool& value) {
  const TZelVariant argument = ArgumentAt(params, 0);
  if (!IsNumeric(argument)) return false;
  value = NumberToDouble(argument, 0) != 0;
  return true;
}

QString ScriptTargetName(const TZelProperties* params) {
  const TZelVariant value = ArgumentAt(params, 0);
  const std::string* text = std::get_if<std::string>(&value);
  return text != nullptr ? QString::fromStdString(*text).toUpper() : QString();
}

void OfferCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                  const TZelProperties* params) {
  OfferToScriptables([&](IZelDemoScriptable& scriptable) {
    scriptable.ExecuteCommand(sender, name, handled, params);
    return handled;
  });
}

void OfferTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      TPoint& point) {
  OfferToScriptables([&](IZelDemoScriptable& scriptable) {
    scriptable.GetTargetPoint(sender, params, found, point);
    return found;
  });
}

void OfferRecordingStarted(TZelDemoPlayback* sender) {
  OfferToScriptables([sender](IZelDemoScriptable& scriptable) {
    scriptable.RecordingStarted(sender);
    return false;
  });
}

void OfferRecordingStopped(TZelDemoPlayback* sender) {
  OfferToScriptables([sender](IZelDemoScriptable& scriptable) {
    scriptable.RecordingStopped(sender);
    return false;
  });
}

void ConnectScriptables(TZelDemoPlayback& playback) {
  playback.OnUserCommand = [](TZelDemoPlayback* sender, const std::string& name, bool& handled,
                              TZelDemoScriptUserAction*, const TZelDemoScriptParams& params) {
    OfferCommand(sender, QString::fromStdString(name), handled, &params);
  };
  playback.OnTargetPoint = [](TZelDemoPlayback* sender, const TZelDemoScriptParams& params,
                              bool& found, TPoint& point) {
    OfferTargetPoint(sender, &params, found, point);
  };
}

}  // namespace quill
