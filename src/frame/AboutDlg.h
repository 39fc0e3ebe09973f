#pragma once

#include <QDialog>
#include <QTimer>

class CXHyperLink;
class QLabel;

// The About box: version, three mail links and a picture with a credit line
// that changes every 1580 ms. Modal; its timer ends with it.
class CAboutDlg : public QDialog {
  Q_OBJECT
public:
  enum : int { kSteps = 4, kStepMs = 1580 };

  explicit CAboutDlg(QWidget *parent = nullptr);

  // Shows the current picture and credit line and moves the shared step on.
  void CreditsStep();
  // The step the next CreditsStep shows (shared by every About box).
  static int NextStep();
  QLabel *VersionField() const { return m_pVersion; }
  QLabel *CaptionLabel() const { return m_pCaption; }
  CXHyperLink *Link(int i) const { return i >= 0 && i < 3 ? m_pLinks[i] : nullptr; }
  bool TimerActive() const { return m_timer.isActive(); }
  // Picture of a step (our own drawing).
  static QPixmap Picture(int step);

private:
  QLabel *m_pVersion;
  QLabel *m_pCaption;
  QLabel *m_pPicture;
  CXHyperLink *m_pLinks[3]; // labels 289, 288, 287
  QTimer m_timer;
};
