#pragma once

#include "platform/WindowId.h"

#include <QString>

#include <cstdint>

struct CRequestPacket;

// The connection bits a board reports (its state flags, QueryState).
namespace BoardState {
enum : int { Connecting = 4, Online = 8, Connected = Online | Connecting };
}

// What the board document asks of the frames above it. The child frame and
// the main frame implement these; the model never sees them otherwise.

// The child frame that shows a document: its answer window.
class IDocAnswerWindow {
public:
  virtual ~IDocAnswerWindow() = default;
  // The id that every request of this document names as its answer window.
  virtual WindowId GetAnswerWindowId() const = 0;
  // An online value write (the WM_APP+4 / WM_APP+5 of the child frame):
  // write then read back; marked, the read-back reopens the list's editor.
  // The value comes as the user gave it (an infinity already limited, never
  // a NaN): the frame clamps it to the parameter's limits before it sends.
  // Synchronous; the value is the caller's.
  virtual void WriteParameterOnline(std::int16_t index, double value, bool marked) = 0;
  // After a description was loaded (posted, so it runs once the load is over):
  // the frame refreshes its caption, icon and commands.
  virtual void OnDescriptionLoaded() = 0;
};

// Services of the application that every document uses; the main frame
// implements them.
class IDocHost {
public:
  virtual ~IDocHost() = default;
  // The setting "Initialize Language".
  virtual QString GetInitializeLanguage() const = 0;
  // The serial manager's queue. Ownership passes: the pointer is nulled.
  virtual void AddRequest(CRequestPacket *&packet) = 0;
  virtual void AddHeadRequest(CRequestPacket *&packet) = 0;
  // The program folder (help files, the board description library), with a
  // trailing '/'. By default the executable's folder.
  virtual QString GetProgramFolder() const;
  // Where the library copy goes when the program folder is not writable.
  // By default the per-user application data folder, with a trailing '/'.
  virtual QString GetUserDataFolder() const;
};
