#pragma once

#include "platform/Prompter.h"

// The prompter of a desktop session: QMessageBox, QFileDialog, QMenu.
class WidgetPrompter : public Prompter {
public:
  int MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *parent = nullptr) override;
  QString FileDialog(const FileDialogRequest &request, QWidget *parent = nullptr) override;
  int PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos, QWidget *parent = nullptr) override;
};
