#include "ZelDemoScriptable.h"

#include <functional>

#include "ZelDemoPlayback.h"
#include "ZelForms.h"

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

void quill::ConnectScriptables(TZelDemoPlayback& playback) {
  playback.OnUserCommand = [](TZelDemoPlayback* sender, const std::string& name, bool& handled,
                              TZelDemoScriptUserAction*, const TZelDemoScriptParams& params) {
    const QString command = QString::fromStdString(name);
    OfferToScriptables([&](IZelDemoScriptable& scriptable) {
      scriptable.ExecuteCommand(sender, command, handled, &params);
      return handled;
    });
  };
  playback.OnTargetPoint = [](TZelDemoPlayback* sender, const TZelDemoScriptParams& params,
                              bool& found, TPoint& point) {
    OfferToScriptables([&](IZelDemoScriptable& scriptable) {
      scriptable.GetTargetPoint(sender, &params, found, point);
      return found;
    });
  };
}
