#pragma once

#include "platform/WindowId.h"

#include <cstdint>
#include <functional>

class QWidget;
struct CRequestPacket;

// Every request packet of a board connection is made here. A packet that
// cannot be made comes back as null and the caller decides what that means
// (say "Not enought memory!" or skip it); tests make any kind fail as memory
// running out would. GUI thread only.
namespace PacketFactory {

// Tells the user that what was asked for could not be made: "Not enought
// memory!" with the exclamation icon.
void SayNoMemory(QWidget *parent = nullptr);

// A new packet owned by the caller, or null.
CRequestPacket *New(WindowId answerWindow, std::uint8_t slave, std::uint16_t kind);

// Tests: while set, a packet of a kind for which it answers true is not made.
// An empty function makes every packet again.
void SetFailure(std::function<bool(std::uint16_t kind)> fails);

} // namespace PacketFactory
