// IZelDemoScriptable: how the modules of the program take part in demo scripts, and
// the dispatch that offers a player's commands and targets to them.
//
// A component owned by the application object that implements the interface is
// offered every script command the player does not know itself (ExecuteCommand: Name
// arrives trimmed and upper-cased, Params holds the arguments by position, Sender is
// the player, through which a command reports a script error) and every target that
// a pointer command names (GetTargetPoint: the target's name is the first argument;
// Point is in screen pixels). Each sets Handled or Found only for what is its own.
//
// ConnectScriptables makes a player offer its user commands and targets to those
// components in their creation order, stopping at the first that takes one. A
// command nobody takes is reported by the player as unknown; a target nobody answers
// is an invalid argument (ZelDemoActions.h).
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_

#include <QString>

#include "ZelTypes.h"

class TZelDemoPlayback;
class TZelProperties;

class IZelDemoScriptable {
 public:
  virtual void ExecuteCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                              const TZelProperties* params) = 0;
  virtual void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                              quill::TPoint& point) = 0;

 protected:
  ~IZelDemoScriptable() = default;
};

namespace quill {

// Sets Playback's OnUserCommand and OnTargetPoint to the dispatch described above.
void ConnectScriptables(TZelDemoPlayback& playback);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_
