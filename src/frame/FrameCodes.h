#pragma once

// The numbers of the frame layer: view hints, board commands, menu commands
// and state icons. The codes that travel between windows are in
// model/MainWindowLink.h.

#include "model/DocViewLinks.h"
#include "model/MainWindowLink.h"

// What a board window asks of the board-message window.
namespace WinCmdShow {
enum : int { Hide = 0, Show = 1, ShowText = 2 };
}

// The interface languages as the setting Language holds them.
namespace UiLanguage {
enum : int { English = 1, Italian = 2 };
}

// The visualization levels the slider sets, 0 up to kMaxVisLevel; from
// kSecondSetLevel on, the second EEPROM set's commands are offered.
constexpr int kMaxVisLevel = 2;
constexpr int kSecondSetLevel = 1;

// A slave address is one byte; the address box, the boards and the trace
// manager compare that.
constexpr int kAddressByte = 0xFF;

// An all-board procedure's state (backup-all, EEPROM-all).
namespace ProcedureState {
enum : int { Idle = 0, GoingOnline = 1, ActionSent = 2 };
}

// Hints of the document's views update sent by the frames.
namespace FrameHint {
enum : long {
  Testpoints = DocHint::VarList,
  Units = DocHint::ParList,
  Layout = DocHint::DragStart | DocHint::SaveWidths,
  Values = DocHint::Reopen,
  All = DocHint::Views,
};
}

// Board command values written into par0.
namespace BoardCommand {
enum : int {
  EepromSave1 = 9999,
  EepromSave2 = 9998,
  EepromLoad1 = 8888,
  EepromLoad2 = 8887,
  DefaultBase = 5000,
  MsgOk = 4000,
  MsgCancel = 3000,
  MsgHide = 2000,
  ReadKTable = 10000,
  ReadAll = 10001,
};
}

// Menu and toolbar commands.
namespace Cmd {
enum : int {
  Undo = 32786,
  ReadAll = 32787,
  WriteAll = 32788,
  EepSave1 = 32790,
  EepLoad1 = 32791,
  DefLoad = 32792,
  InitDescriptions = 32793,
  InitLanguage = 32794,
  Reset = 32795,
  OnLine = 32796,
  FindFirstModified = 32798,
  FindNextModified = 32799,
  FindPrevModified = 32800,
  ToggleUnits = 32803,
  EnableAllTestpoints = 32804,
  BackupAll = 32785,
  MemorizeAllToEEP = 59430,
  ReadBuffer = 59431,
  EepSave2 = 59432,
  EepLoad2 = 59433,
  Find = 32797,
  Options = 32835,
  ImportFile = 32855,
  CompareFile = 32856,
  InternetUpdate = 32860,
  English = 32861,
  Italian = 32862,
  FileSaveAs = 322,
  Search = 330,
  FileNew = 57600,
  FileOpen = 57601,
  FileClose = 57602,
  FileSave = 57603,
  FilePrintSetup = 57606,
  FilePrint = 57607,
  FilePrintPreview = 57609,
  AppExit = 57665,
  AppAbout = 57664,
  AddressPlace = 59434, // the toolbar's place of the address box
  // The Window menu's entries, below every command id.
  WindowCascade = 1,
  WindowTile = 2,
};
}

// Icons of the connection state.
namespace StateIcon {
enum : int {
  Offline = 414,
  ErrorStop = 444,
  ErrorRun = 440,
  Error = 411,
  WarningStop = 447,
  WarningRun = 446,
  Warning = 413,
  OkStop = 441,
  OkRun = 445,
  Ok = 412,
};
}
