#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QProgressBar>
#include <QString>

// A progress bar that paints itself and writes over the bar the time the
// operation still needs, estimated from the time since Restart and the
// fraction done. The clock is monotonic, so a changed system time never
// skews the estimate. GUI thread only.
class TProgressTimeToComplete : public QProgressBar {
  Q_OBJECT
public:
  enum : int { kChunks = 18, kChunkGap = 2 };

  explicit TProgressTimeToComplete(QWidget *parent = nullptr);

  void Restart();
  // The text for the seconds left; the fraction is there for subclasses.
  virtual QString FormatTimeLeft(double fraction, double secondsLeft) const;

  // Smooth: one block; otherwise up to 18 chunks.
  void SetSmooth(bool smooth);
  bool IsSmooth() const { return m_bSmooth; }
  // Fraction done, 0..1; 0 for an empty range.
  double Fraction() const;
  // Blocks a chunked bar draws for the current fraction (0..18).
  int ChunkCount() const;
  // What the bar writes now: empty at 2 % or less.
  QString TimeLeftText() const;
  qint64 ElapsedMs() const { return m_startTime.elapsed(); }

protected:
  void paintEvent(QPaintEvent *event) override;
  // Tests give the estimate a known elapsed time.
  virtual qint64 Elapsed() const { return m_startTime.elapsed(); }

private:
  QString TextForElapsed(qint64 elapsedMs) const;

  QElapsedTimer m_startTime;
  QFont m_font;
  bool m_bSmooth = true;
};
