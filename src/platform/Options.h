#pragma once

#include "platform/RgbValue.h"

#include <QString>

#include <vector>

// One integer setting, stored as decimal text. Set and Save put it on disk
// at once; a value changed in memory only (SetValue) is written back when the
// record is destroyed at a normal close.
class COptionInt {
public:
  COptionInt(const QString &section, const QString &entry, int defaultValue);
  ~COptionInt();
  COptionInt(const COptionInt &) = delete;
  COptionInt &operator=(const COptionInt &) = delete;

  int Get() const { return m_value; }
  int DefaultValue() const { return m_default; }
  // Stores the value and writes it to disk at once.
  void Set(int value);
  // Changes the value in memory; it reaches the profile at the next Save or
  // at close.
  void SetValue(int value) { m_value = value; }
  // Writes the value to disk at once.
  void Save() const;
  const QString &Section() const { return m_section; }
  const QString &Entry() const { return m_entry; }

private:
  void Write() const;
  int m_value;
  QString m_section;
  QString m_entry;
  int m_default;
};

// One text setting; written (to disk, at once) only by Save, never on
// destruction.
class COptionString {
public:
  COptionString(const QString &section, const QString &entry, const QString &defaultValue);
  COptionString(const COptionString &) = delete;
  COptionString &operator=(const COptionString &) = delete;

  QString Get() const { return m_value; }
  void SetValue(const QString &value) { m_value = value; }
  void Save() const;
  const QString &Section() const { return m_section; }
  const QString &Entry() const { return m_entry; }

private:
  QString m_value;
  QString m_section;
  QString m_entry;
};

// Integers under numbered entries "<stem>00", "<stem>01" ...; at most 255.
// Elements changed in place are written back when destroyed.
class COptionIntArray {
public:
  COptionIntArray(int count, const QString &section, const QString &stem, const int *defaults);
  ~COptionIntArray();
  COptionIntArray(const COptionIntArray &) = delete;
  COptionIntArray &operator=(const COptionIntArray &) = delete;

  int GetCount() const { return static_cast<int>(m_values.size()); }
  // Element i, or 0 for an index out of range.
  int At(int i) const;
  // False (and nothing stored) for an index out of range.
  bool SetAt(int i, int value);
  // Writes every element to disk at once; the values stay usable afterwards.
  void Save() const;
  static QString EntryName(const QString &stem, int i);
  const QString &Section() const { return m_section; }
  const QString &Stem() const { return m_stem; }

private:
  void Write() const;
  std::vector<int> m_values;
  QString m_section;
  QString m_stem;
};

// One colour setting (0x00BBGGRR), stored as an integer. Set and Save put it
// on disk at once; a colour changed in memory only (SetValue, RestoreDefault)
// is written back when the record is destroyed.
class COptionColor {
public:
  COptionColor(const QString &section, const QString &entry, COLORREF defaultValue);
  ~COptionColor();
  COptionColor(const COptionColor &) = delete;
  COptionColor &operator=(const COptionColor &) = delete;

  COLORREF Get() const { return m_value; }
  COLORREF DefaultValue() const { return m_default; }
  // Stores the colour and writes it to disk at once.
  void Set(COLORREF value);
  // Changes the colour in memory only; written at the next Save or on close.
  void SetValue(COLORREF value) { m_value = value; }
  void Save() const;
  // Back to the default in memory only; written at the next Save or on close.
  void RestoreDefault() { m_value = m_default; }
  const QString &Section() const { return m_section; }
  const QString &Entry() const { return m_entry; }

private:
  void Write() const;
  COLORREF m_value;
  QString m_section;
  QString m_entry;
  COLORREF m_default;
};

// Every user setting, loaded from the profile when constructed (by the main
// frame, before any window asks). When destroyed, the integers, arrays and
// colours write themselves back and the profile goes to disk once, after the
// last of them; the texts are not written. GUI thread.
class COptions {
public:
  COptions();
  virtual ~COptions();
  COptions(const COptions &) = delete;
  COptions &operator=(const COptions &) = delete;

  static constexpr auto kSettings = "2.1\\Settings";
  static constexpr auto kInternetUpdate = "2.1\\InternetUpdate";
  static constexpr auto kColWidth = "2.1\\ColWidth";
  static constexpr auto kSplitterWnd = "2.1\\SplitterWnd";
  static constexpr auto kColors = "2.1\\Colors";
  static constexpr int kParWidthCount = 11;
  static constexpr int kVarWidthCount = 10;
  static constexpr int kPanesCount = 12;
  static const QString kDefaultUpdatePath;

private:
  // Destroyed after every record below has written itself back.
  struct FlushOnClose {
    FlushOnClose() = default;
    ~FlushOnClose();
    FlushOnClose(const FlushOnClose &) = delete;
    FlushOnClose &operator=(const FlushOnClose &) = delete;
  } m_flushOnClose;

public:
  COptionInt com_port;
  COptionInt com_speed;
  COptionInt com_silent;
  COptionInt com_retry;
  COptionInt com_timeout;
  COptionInt Start_Timer;
  COptionInt Language;
  COptionInt Beep_on_error;
  COptionInt AuxTp;
  COptionInt TP_Autofilling;
  COptionInt TabsOnTop;
  COptionInt TabsImages;
  COptionInt HideTabsLess2Views;
  COptionInt C_conv_tXX_WithDefault;
  COptionInt ResetWriteIdx1;
  COptionInt ResetWriteIdx2;
  COptionInt ResetWriteIdx3;
  COptionInt VisLevel;

  COptionString Path0;
  COptionString InitializeLanguage;

  COptionIntArray ParWidth;
  COptionIntArray VarWidth;
  COptionIntArray Panes_;

  COptionColor CorpoTestoOfflineDef;
  COptionColor SfondoTestoOfflineDef;
  COptionColor CorpoTestoOffline;
  COptionColor SfondoTestoOffline;
  COptionColor CorpoTestoOnlineDef;
  COptionColor SfondoTestoOnlineDef;
  COptionColor CorpoTestoOnline1;
  COptionColor CorpoTestoOnline2;
  COptionColor SfondoTestoOnline1;
  COptionColor SfondoTestoOnline2;
  COptionColor CorpoTestoConDipend;
  COptionColor SfondoTestoConDipend;
  COptionColor CorpoTestoTrascinato;
  COptionColor SfondoTestoTrascinato;
  COptionColor CorpoTestoTrascConDip;
  COptionColor SfondoTestoTrascConDip;
  COptionColor CorpoTestoNormale;
  COptionColor SfondoTestoNormale;
};
