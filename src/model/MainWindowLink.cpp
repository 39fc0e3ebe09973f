#include "MainWindowLink.h"

#include "platform/Trace.h"

int IBoardWindow::SendCode(int code)
{
  switch (code) {
  case ChildCode::GoOnline:
    return GoOnline();
  case ChildCode::BackupReadAll:
    BackupReadAll();
    return 0;
  case ChildCode::EepromSaveAll:
    EepromSaveAll();
    return 0;
  case ChildCode::GetReadState:
    return GetReadState();
  case ChildCode::GetCmdState:
    return GetCmdState();
  default:
    qCWarning(lcModel, "board window: unknown code %d", code);
    return 0;
  }
}
