// IZelDemoScriptable: how the modules of the program take part in demo scripts, and
// the dispatch that offers a player's commands, targets and recordings to them.
//
// A component owned by the application object that implements the interface is
// offered every script command that no registration covers (ExecuteCommand: Name
// arrives trimmed and upper-cased, Params holds the arguments by position, Sender is
// the player, through which a command reports a script error) and every such target
// that a pointer command names (GetTargetPoint: the target's name is the first
// argument; Point is in screen pixels). Each sets Handled or Found only for what is
// its own. RecordingStarted and RecordingStopped tell it that Sender begins or ends
// recording, so that it appends the lines of what the user does while it records.
//
// The Offer functions visit those components in their creation order: a command or a
// target stops at the first that takes it; a recording's start and end reach them
// all. A command nobody takes is reported by the player as unknown; a target nobody
// answers is an invalid argument (ZelDemoActions.h). The demonstration module offers
// what its own registry does not answer (ZelDemonstrationModule.h); ConnectScriptables
// gives a player without the module the same dispatch.
//
// The arguments of every command offered to a component, and of every registered
// command, are read by one set of rules (the Script* functions below):
// - a Boolean argument: the command's default when the line gives none, otherwise
//   true exactly when the first argument is a number other than 0 (text is false;
//   the script's True is -1);
// - an integer argument: the argument's number, a fraction rounded to the nearest,
//   halves to even, and kept to 32 bits (NumberToInteger); the command's default for
//   text, NaN or no argument;
// - a target's name: the first argument in upper case when it is text.
// Some commands do nothing at all when their argument is not a number (the brush
// tools' options, the editor's own sizes and points): they read it with the
// ...IgnoringText forms, which say whether there was a number to take.
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_

#include <QString>

#include <cstdint>

#include "ZelTypes.h"

class TZelDemoPlayback;
class TZelProperties;

class IZelDemoScriptable {
 public:
  virtual void ExecuteCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                              const TZelProperties* params) = 0;
  virtual void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                              quill::TPoint& point) = 0;
  virtual void RecordingStarted(TZelDemoPlayback* sender) = 0;
  virtual void RecordingStopped(TZelDemoPlayback* sender) = 0;

 protected:
  ~IZelDemoScriptable() = default;
};

namespace quill {

// Name (upper case) to the scriptable components until one sets Handled.
void OfferCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                  const TZelProperties* params);
// Params to the scriptable components until one sets Found.
void OfferTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      TPoint& point);
// RecordingStarted (RecordingStopped) of every scriptable component.
void OfferRecordingStarted(TZelDemoPlayback* sender);
void OfferRecordingStopped(TZelDemoPlayback* sender);

// The Boolean (integer) value of a command's first argument, or Default when the
// line gives none (rules atop this header).
bool ScriptBoolean(const TZelProperties* params, bool defaultValue);
int32_t ScriptInteger(const TZelProperties* params, int32_t defaultValue);
// Value := the argument at Index as an integer (or the first as a Boolean) when it is
// a number; false, and Value unchanged, otherwise: the command ignores text.
bool ScriptIntegerIgnoringText(const TZelProperties* params, int index, int32_t& value);
bool ScriptBooleanIgnoringText(const TZelProperties* params, bool& value);
// The first argument in upper case when it is text; empty otherwise.
QString ScriptTargetName(const TZelProperties* params);

// Sets Playback's OnUserCommand and OnTargetPoint to OfferCommand and OfferTargetPoint.
void ConnectScriptables(TZelDemoPlayback& playback);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPTABLE_H_
