#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Starts other programs and opens files or addresses with the desktop's
// handler. Arguments travel as a list, never through a shell. Injectable so
// tests record instead of starting anything.
class Launcher {
public:
  virtual ~Launcher() = default;

  // The installed launcher; a ProcessLauncher until one is installed.
  static Launcher &Instance();
  static std::unique_ptr<Launcher> SetInstance(std::unique_ptr<Launcher> launcher);

  // True when the program was started.
  virtual bool StartProgram(const QString &program, const QStringList &arguments) = 0;
  // A local path or a URL ("http:", "mailto:" ...); true when a handler took it.
  virtual bool Open(const QString &pathOrUrl) = 0;
};

// Starts programs with QProcess; opening files or addresses needs a desktop,
// so Open refuses. The launcher until a desktop session installs its own.
class ProcessLauncher : public Launcher {
public:
  bool StartProgram(const QString &program, const QStringList &arguments) override;
  bool Open(const QString &pathOrUrl) override;
};
