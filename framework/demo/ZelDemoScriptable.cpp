#include "ZelDemoScriptable.h"

#include <functional>

#include "ZelDemoPlayback.h"
#include "ZelForms.h"

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

}  // namespace

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
