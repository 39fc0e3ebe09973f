#pragma once

#include "GenericServer.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// The serial manager: one worker thread that performs each queued request as
// Modbus RTU exchanges on the serial port and hands the packet back as its
// answer. The port and its libmodbus context live on the worker thread only.
//
// Device: an explicit path (SetDevicePath) wins, then the environment variable
// VELOTRIX_SERIAL_DEVICE, then the port number (DeviceForPort).
class CSerManager : public CGenericServer {
public:
  explicit CSerManager(WindowId frame);
  ~CSerManager() override; // stops the worker, closes the port, frees every packet

  // Port number (1..99), speed in baud, stop bits (the frame passes 2, the
  // Modbus framing without parity), time-out of one answer in ms, silent
  // time between frames in ms, retries after a failed exchange (-1 means
  // none), beep on error (0/1). A time-out below 1, a silent time below 0 or
  // retries below -1 take the defaults 300, 16 and 5. Takes effect at the
  // next exchange; a changed port or speed reopens the port.
  void SetCommParam(uint8_t port, int32_t speed, uint8_t stopBits, int timeoutMs, int silentMs, int retries,
                    int beepOnError);
  // An explicit device path; empty goes back to the environment and the port rule.
  void SetDevicePath(const QString &path);
  // The device the next open will use.
  QString DevicePath() const;
  // The port rule: port n is /dev/ttyUSB(n-1); numbers below 1 count as 1.
  static QString DeviceForPort(int port);

  // Nonzero while the port is open.
  int IsActive() const { return m_portOpen.load(); }

protected:
  void DoWork() override;
  void EndWork() override;

private:
  struct Settings {
    int port = 1;
    int speed = 19200;
    int stopBits = 2;
    int timeoutMs = 300;
    int silentMs = 16;
    int retries = 5;
    bool beep = true;
    QString device; // explicit path, may be empty
    unsigned generation = 0;
  };
  class Worker; // libmodbus side, worker thread only

  Settings CurrentSettings() const;

  mutable std::mutex m_settingsLock;
  Settings m_settings; // guarded by m_settingsLock
  std::atomic<int> m_portOpen{0};
  std::unique_ptr<Worker> m_worker; // used on the worker thread only
};
