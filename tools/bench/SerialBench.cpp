// serial_bench: measures the serial link against tools/boardsim over a pty.
//  1. Exchanges per second without wire emulation (one-register reads).
//  2. A read of 3000 parameters in blocks of 120 registers with the board
//     emulating the wire at 115200 baud, against the time the frames and
//     their 3.5-character gaps need on the wire.
// Measures and prints; it asserts nothing. Not run by ctest.

#include "modbus/RequestPacket.h"
#include "modbus/SerManager.h"

#include "SimBoard.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<CSerManager> StartManager(const QString &device, int speed)
{
  auto manager = std::make_unique<CSerManager>(kNoWindow);
  manager->SetCommParam(1, speed, 2, 500, 0, 2, 0);
  manager->SetDevicePath(device);
  manager->CreateThread(0, 0, nullptr, 0xFFFFFFFF);
  return manager;
}

// Waits for n answers; returns how many failed, or -1 on a stall.
int Drain(CSerManager &manager, int n)
{
  int failed = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (n > 0) {
    if (CRequestPacket *p = manager.GetAnsware()) {
      failed += p->error != 0;
      delete p;
      --n;
    } else if (Clock::now() > deadline) {
      return -1;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }
  return failed;
}

double Seconds(Clock::time_point from)
{
  return std::chrono::duration<double>(Clock::now() - from).count();
}

void ExchangeRate()
{
  SimBoard board({});
  if (board.Device().isEmpty()) {
    std::printf("boardsim did not start\n");
    return;
  }
  auto manager = StartManager(board.Device(), 115200);
  constexpr int kCount = 5000;
  // Warm-up: opens the port.
  CRequestPacket *first = new CRequestPacket(kNoWindow, 1, REQ_READ_ONE);
  manager->AddRequest(first);
  Drain(*manager, 1);

  auto start = Clock::now();
  for (int i = 0; i < kCount; ++i) {
    CRequestPacket *p = new CRequestPacket(kNoWindow, 1, REQ_READ_ONE);
    p->PktType.par.first_par = static_cast<uint16_t>(i % 200);
    p->PktType.par.num_par = 1;
    manager->AddRequest(p);
  }
  int failed = Drain(*manager, kCount);
  double s = Seconds(start);
  std::printf("queued:     %d one-register reads in %.3f s = %.0f exchanges/s (%d failed)\n", kCount, s, kCount / s,
              failed);

  constexpr int kOneByOne = 1000;
  start = Clock::now();
  failed = 0;
  for (int i = 0; i < kOneByOne; ++i) {
    CRequestPacket *p = new CRequestPacket(kNoWindow, 1, REQ_READ_ONE);
    p->PktType.par.num_par = 1;
    manager->AddRequest(p);
    failed += Drain(*manager, 1);
  }
  s = Seconds(start);
  std::printf("one by one: %d one-register reads in %.3f s = %.0f exchanges/s, %.3f ms each (%d failed)\n", kOneByOne,
              s, kOneByOne / s, 1000 * s / kOneByOne, failed);
}

// 3000 16-bit parameters in 30 blocks of 100 positions: registers 0..2999.
bool WriteLargeDocument(const QString &path)
{
  std::ofstream out(path.toStdString(), std::ios::binary);
  out << "#Norv tembrano v1.1\r\nVersion = BENCH 3000 v1.00;\r\nInit = std;\r\nMODBUS = 1;\r\n"
         "K[] = 4096;\r\nN[] = 1;\r\n";
  for (int b = 1; b <= 30; ++b)
    out << "b" << b << " Block " << b << "#0; b=" << (b - 1) * 10 << "; a=0;\r\n";
  for (int i = 0; i < 3000; ++i)
    out << "p" << i << " par" << i << "=" << i << "; m=0; d=0; M=32767; k=-1; n=-1; s=0; b=" << i / 100 + 1
        << "; p=" << i % 100 << "; v=0; a=0; u=-1;\r\n";
  out << "v0 state; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n\r\n";
  return static_cast<bool>(out);
}

void ReadAllOnTheWire()
{
  constexpr int kBaud = 115200;
  constexpr int kParameters = 3000;
  constexpr int kBlock = 120;
  QTemporaryDir dir;
  const QString doc = dir.filePath(QStringLiteral("bench-3000.vtx"));
  if (!WriteLargeDocument(doc)) {
    std::printf("cannot write %s\n", qPrintable(doc));
    return;
  }
  SimBoard board({QStringLiteral("--doc"), doc, QStringLiteral("--wire-baud"), QString::number(kBaud)});
  if (board.Device().isEmpty()) {
    std::printf("boardsim did not start\n");
    return;
  }
  auto manager = StartManager(board.Device(), kBaud);
  CRequestPacket *first = new CRequestPacket(kNoWindow, 1, REQ_READ_ONE);
  manager->AddRequest(first);
  Drain(*manager, 1);

  const int blocks = (kParameters + kBlock - 1) / kBlock;
  double wireChars = 0;
  const auto start = Clock::now();
  for (int b = 0; b < blocks; ++b) {
    CRequestPacket *p = new CRequestPacket(kNoWindow, 1, REQ_READ_BLOCK);
    p->PktType.par.first_par = static_cast<uint16_t>(b * kBlock);
    p->PktType.par.num_par = static_cast<uint16_t>(std::min(kBlock, kParameters - b * kBlock));
    p->PktType.par.step = static_cast<uint16_t>(b + 1);
    // Request: slave, function, address, count, CRC = 8 bytes; answer: slave,
    // function, byte count, 2 per register, CRC; each frame ends with 3.5
    // silent characters (Modbus over serial line, 2.5.1.1).
    wireChars += 8 + 3.5 + (5 + 2 * p->PktType.par.num_par) + 3.5;
    manager->AddRequest(p);
  }
  const int failed = Drain(*manager, blocks);
  const double s = Seconds(start);
  const double wire = wireChars * 11 / kBaud;
  std::printf("read all:   %d parameters in %d blocks of %d at %d baud (11 bits a character)\n", kParameters, blocks,
              kBlock, kBaud);
  std::printf("            wire time %.1f ms, measured %.1f ms, ratio %.3f (%d failed)\n", wire * 1000, s * 1000,
              s / wire, failed);
}

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  ExchangeRate();
  ReadAllOnTheWire();
  return 0;
}
