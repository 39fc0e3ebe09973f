#include "PacketFactory.h"

#include "modbus/RequestPacket.h"
#include "platform/Prompter.h"

#include <new>

namespace {

std::function<bool(std::uint16_t)> &Failure()
{
  static std::function<bool(std::uint16_t)> fails;
  return fails;
}

} // namespace

namespace PacketFactory {

CRequestPacket *New(WindowId answerWindow, std::uint8_t slave, std::uint16_t kind)
{
  if (Failure() && Failure()(kind))
    return nullptr;
  return new (std::nothrow) CRequestPacket(answerWindow, slave, kind);
}

void SayNoMemory(QWidget *parent)
{
  Prompter::Instance().MessageBox(QStringLiteral("Not enought memory!"), QString(), MB_OK | MB_ICONWARNING, parent);
}

void SetFailure(std::function<bool(std::uint16_t kind)> fails)
{
  Failure() = std::move(fails);
}

} // namespace PacketFactory
