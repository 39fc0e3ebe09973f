#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

// Button sets, icons and answers of a message box, with the values the rest of
// the program stores and compares.
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
  MB_DEFMASK = 0xF00,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// What a file dialog is asked for. The filter uses the "Text|*.a;*.b|...||"
// form; FilterToQt converts it.
struct FileDialogRequest {
  bool open = true;
  QString title;
  QString initialPath;
  QString defaultExtension; // without the dot
  QString filter;
  bool fileMustExist = false;
  bool overwritePrompt = true;
};

struct PopupMenuItem {
  int id = 0; // 0 with an empty text: a separator
  QString text;
  bool enabled = true;
  bool checked = false;
};

// Every modal question the program asks the user goes through here, so tests
// can answer without a person. GUI thread only.
class Prompter {
public:
  virtual ~Prompter() = default;

  // The installed prompter; a HeadlessPrompter until one is installed.
  static Prompter &Instance();
  // Installs a prompter (tests install a scripted one); returns the previous.
  static std::unique_ptr<Prompter> SetInstance(std::unique_ptr<Prompter> prompter);

  // One of the ID* answers. An empty caption means the application's name.
  virtual int MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *parent = nullptr) = 0;
  // The chosen path, or empty when cancelled.
  virtual QString FileDialog(const FileDialogRequest &request, QWidget *parent = nullptr) = 0;
  // The chosen item's id, or 0 when the menu was dismissed.
  virtual int PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos, QWidget *parent = nullptr) = 0;

  // "A|*.a|B|*.b;*.c||" -> "A (*.a);;B (*.b *.c)".
  static QString FilterToQt(const QString &filter);
  // The answer of a box of that type closed without a button (Escape): Cancel
  // where there is one, else No, Abort or OK; always one of the box's own.
  static int EscapeAnswer(unsigned type);
};

// The prompter of a session without a desktop (tools, a program before its
// widgets part registers its own): logs each question and answers as if the
// user had closed it, so nothing waits for a person.
class HeadlessPrompter : public Prompter {
public:
  int MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *parent = nullptr) override;
  QString FileDialog(const FileDialogRequest &request, QWidget *parent = nullptr) override;
  int PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos, QWidget *parent = nullptr) override;
};

// The message box with the application's caption, as the program's code asks it.
int AfxMessageBox(const QString &text, unsigned type = MB_OK);
