#pragma once

// The numbered commands between the frames. Each one is a typed call on its
// receiver; the numbers stay where the code itself travels as data (sent to
// every child, queried in a loop, passed on by the splitter), through the
// receivers' SendCode.

// Codes a child frame takes (its SendCode).
namespace ChildCode {
enum : int {
  GoOffline = 106,  // result: online and connecting bits before
  GoOnline = 107,   // result: online and connecting bits before
  QueryState = 108, // result: 8 online, 4 connecting
  Poll = 110,       // periodic read of the shown items
  GetAddress = 112, // result: slave address
  SetAddress = 113, // lParam: new address (low byte)
  TestpointsOn = 118,
  TestpointsOff = 119,
  ShowError = 121,     // lParam: const QString * status text
  GetVersion = 124,    // lParam: QString * firmware version
  BackupReadAll = 126, // read state 3, read all
  EepromSaveAll = 127, // command state 3, par0 := 9999
  Answer = 129,        // lParam: const CRequestPacket *
  LevelChanged = 133,  // visualization level moved
  SaveAs = 142,        // result: the save's result
  SaveBackup = 143,    // lParam: replace flag; result: the save's result
  NotifyMainFrame = 144,
  WinCmdAnswer = 145, // lParam: 1 OK, 2 Cancel, 218 Hide
  GetReadState = 146,
  GetCmdState = 147,
  GetBufferName = 149,   // lParam: QString *
  TrackLabelFirst = 172, // 172..177, lParam: QString *
  TrackLabelLast = 177,
  TrackScaleFirst = 178, // 178..183, lParam: double *
  TrackScaleLast = 183,
  ReadBuffer = 196,
  ClearBufferRead = 410,
  PaneLayout = 435, // lParam: int[5] layout record, passed to the main frame
};
}

// Codes the main frame takes (its SendCode).
namespace MainCode {
enum : int {
  TestpointQuery = 409, // result: 1 when TP_Autofilling is 0
  ApplySerial = 430,
  Statistics = 432, // lParam: CSerStatistics * of the page; 0 back to the page
  ResetStatistics = 433,
  LoadPanes = 435,    // lParam: int[5] layout record
  StorePanes = 436,   // lParam: int[5] layout record
  GetParWidths = 440, // lParam: int[11]
  SetParWidths = 441,
  GetVarWidths = 442, // lParam: int[10]
  SetVarWidths = 443,
  TimerAndTabs = 452,
};
}

// Hints of the document's views update sent by the frames.
namespace FrameHint {
enum : long {
  Testpoints = 0x0800,
  Units = 0x2000,
  Layout = 0x2801,
  Values = 0xA000,
  All = 0xF800,
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
