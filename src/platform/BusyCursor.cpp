#include "BusyCursor.h"

namespace vtx {
namespace {
BusyCursorHook &Hook()
{
  static BusyCursorHook hook;
  return hook;
}
} // namespace

void SetBusyCursorHook(BusyCursorHook hook)
{
  Hook() = std::move(hook);
}

BusyCursor::BusyCursor()
{
  if (Hook())
    Hook()(true);
}

BusyCursor::~BusyCursor()
{
  if (Hook())
    Hook()(false);
}
} // namespace vtx
