// minimal_qt: the smallest Qt Widgets program with a main window, built with
// the same compiler and flags as velotrix; startup_bench times both to their
// first painted window.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char **argv)
{
  QApplication app(argc, argv);
  QMainWindow window;
  window.menuBar()->addMenu(QStringLiteral("&File"));
  window.setCentralWidget(new QLabel(QStringLiteral("minimal"), &window));
  window.resize(1024, 700);
  window.show();
  return app.exec();
}
