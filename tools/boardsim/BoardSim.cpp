#include "BoardSim.h"

#include "modbus/BoardProtocol.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace bp = BoardProtocol;

namespace {

uint16_t Be16(const uint8_t *p)
{
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void PutBe16(std::vector<uint8_t> &out, uint16_t v)
{
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

constexpr double kPi = 3.14159265358979323846;

} // namespace

uint16_t BoardSim::Crc16(const uint8_t *data, size_t length)
{
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b)
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

BoardSim::BoardSim(BoardDescription description)
    : m_desc(std::move(description)), m_holding(bp::kRegisterLimit, 0), m_input(bp::kRegisterLimit, 0),
      m_start(std::chrono::steady_clock::now())
{
  for (const BoardItem &p : m_desc.parameters)
    Store(m_holding.data(), p, p.value);
  Tick();
}

void BoardSim::Store(uint16_t *regs, const BoardItem &item, double value)
{
  const int a = item.address;
  if (item.storage == 0) {
    regs[a] = static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0))));
  } else {
    uint32_t bits = 0;
    if (item.storage == 1)
      bits = static_cast<uint32_t>(static_cast<int32_t>(std::llround(std::clamp(value, -2147483648.0, 2147483647.0))));
    else
      bits = std::bit_cast<uint32_t>(static_cast<float>(value));
    regs[a] = static_cast<uint16_t>(bits & 0xFFFF); // low word in the lower register
    regs[a + 1] = static_cast<uint16_t>(bits >> 16);
  }
}

void BoardSim::Tick()
{
  const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  for (const BoardItem &v : m_desc.variables) {
    double value = 0;
    auto pinned = m_pinned.find(v.name);
    if (pinned != m_pinned.end())
      value = pinned->second;
    else if (v.name == "error_flag" || v.name == "warning_flag" || v.name == "win_cmd")
      value = 0;
    else if (v.name == "status_flag")
      value = 0x0200 | (static_cast<int>(t) & 1); // bit 0 blinks once a second
    else if (v.name == "sampling_time")
      value = 100; // in microseconds
    else if (v.name == "buf_width")
      value = 4;
    else if (v.name == "buf_length")
      value = 200;
    else if (v.storage == 0)
      value = std::round(1000 * std::sin(2 * kPi * t / 5 + v.index));
    else if (v.storage == 1)
      value = std::floor(t * 100);
    else
      value = 1.5 + std::sin(2 * kPi * t / 3 + v.index);
    Store(m_input.data(), v, value);
  }
  UpdateStatusBlock();
}

void BoardSim::UpdateStatusBlock()
{
  int at = bp::kStatusBlock;
  for (size_t index : m_desc.stdVariables) {
    if (index >= m_desc.variables.size())
      break;
    const BoardItem &v = m_desc.variables[index];
    const int n = v.storage == 0 ? 1 : 2;
    if (at + n > bp::kRegisterLimit)
      break;
    for (int i = 0; i < n; ++i)
      m_input[at + i] = m_input[v.address + i];
    at += n;
  }
}

std::vector<std::string> BoardSim::TakeLog()
{
  std::vector<std::string> out;
  out.swap(m_log);
  return out;
}

void BoardSim::WriteHolding(int address, uint16_t value)
{
  m_holding[address] = value;
  const BoardItem *cmd = m_desc.CommandParameter();
  if (cmd && cmd->address == address)
    m_log.push_back("COMMAND " + std::to_string(static_cast<int16_t>(value)));
}

std::vector<uint8_t> BoardSim::Exception(uint8_t function, uint8_t code) const
{
  return {static_cast<uint8_t>(function | 0x80), code};
}

std::vector<uint16_t> BoardSim::TextWords(const std::string &text) const
{
  std::vector<uint16_t> words((text.size() + 1) / 2, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t byte = static_cast<uint8_t>(text[i]);
    words[i / 2] |= (i % 2 == 0) ? static_cast<uint16_t>(byte << 8) : byte;
  }
  return words;
}

void BoardSim::Snapshot()
{
  const BoardItem *w = m_desc.FindVariable("buf_width");
  const BoardItem *l = m_desc.FindVariable("buf_length");
  const int tracks = w ? static_cast<int16_t>(m_input[w->address]) : 4;
  const int samples = l ? static_cast<int16_t>(m_input[l->address]) : 200;
  m_trace.clear();
  if (tracks <= 0 || samples <= 0)
    return;
  const double t0 = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  m_trace.reserve(static_cast<size_t>(tracks) * samples);
  for (int i = 0; i < samples; ++i)
    for (int tr = 0; tr < tracks; ++tr)
      m_trace.push_back(static_cast<uint16_t>(
          static_cast<int16_t>(std::lround(8000 * std::sin(2 * kPi * i / 50.0 + tr * kPi / 3 + t0)))));
}

std::vector<uint8_t> BoardSim::Transfer(const uint16_t *request, int readCount, uint8_t function)
{
  const uint16_t command = request[0];
  const uint16_t page = request[1];
  std::vector<uint16_t> words;
  uint32_t total = 0;
  bool text = false;
  switch (command) {
  case bp::kCmdIdentity:
    words = TextWords(m_desc.version);
    total = static_cast<uint32_t>(m_desc.version.size());
    text = true;
    break;
  case bp::kCmdLanguages:
    words = TextWords(m_desc.languages);
    total = static_cast<uint32_t>(m_desc.languages.size());
    text = true;
    break;
  case bp::kCmdDescription:
    words = TextWords(m_desc.text);
    total = static_cast<uint32_t>(m_desc.text.size());
    text = true;
    break;
  case bp::kCmdKTable:
    for (int16_t k : m_desc.kTable)
      words.push_back(static_cast<uint16_t>(k));
    break;
  case bp::kCmdNTable:
    for (float n : m_desc.nTable) {
      const uint32_t bits = std::bit_cast<uint32_t>(n);
      words.push_back(static_cast<uint16_t>(bits & 0xFFFF));
      words.push_back(static_cast<uint16_t>(bits >> 16));
    }
    break;
  case bp::kCmdTrace:
    if (page == 0)
      Snapshot();
    words = m_trace;
    break;
  default:
    return Exception(function, 3);
  }
  if (!text)
    total = static_cast<uint32_t>(words.size());
  const size_t first = static_cast<size_t>(page) * bp::kPageWords;
  if (readCount != bp::kTransferReadCount || (page > 0 && first >= words.size()))
    return Exception(function, 2);
  const size_t n = std::min<size_t>(bp::kPageWords, words.size() - std::min(first, words.size()));
  std::vector<uint16_t> regs = {command, page, static_cast<uint16_t>(total & 0xFFFF),
                                static_cast<uint16_t>(total >> 16), static_cast<uint16_t>(n)};
  regs.insert(regs.end(), words.begin() + static_cast<long>(first), words.begin() + static_cast<long>(first + n));
  regs.resize(bp::kTransferReadCount, 0);
  if (m_shortNext)
    regs.pop_back();
  std::vector<uint8_t> out = {function, static_cast<uint8_t>(regs.size() * 2)};
  for (uint16_t r : regs)
    PutBe16(out, r);
  return out;
}

std::vector<uint8_t> BoardSim::Pdu(const uint8_t *pdu, int length)
{
  if (length < 1)
    return {};
  const uint8_t fn = pdu[0];
  switch (fn) {
  case 0x03:
  case 0x04: {
    if (length < 5)
      return Exception(fn, 3);
    const int addr = Be16(pdu + 1);
    const int count = Be16(pdu + 3);
    if (count < 1 || count > 125)
      return Exception(fn, 3);
    if (addr + count > bp::kRegisterLimit)
      return Exception(fn, 2);
    const std::vector<uint16_t> &regs = fn == 0x03 ? m_holding : m_input;
    const int sent = m_shortNext ? count - 1 : count;
    std::vector<uint8_t> out = {fn, static_cast<uint8_t>(sent * 2)};
    for (int i = 0; i < sent; ++i)
      PutBe16(out, regs[addr + i]);
    return out;
  }
  case 0x06: {
    if (length < 5)
      return Exception(fn, 3);
    const int addr = Be16(pdu + 1);
    if (addr >= bp::kRegisterLimit)
      return Exception(fn, 2);
    WriteHolding(addr, Be16(pdu + 3));
    return std::vector<uint8_t>(pdu, pdu + 5);
  }
  case 0x10: {
    if (length < 6)
      return Exception(fn, 3);
    const int addr = Be16(pdu + 1);
    const int count = Be16(pdu + 3);
    if (count < 1 || count > 123 || pdu[5] != count * 2 || length < 6 + count * 2)
      return Exception(fn, 3);
    if (addr + count > bp::kRegisterLimit)
      return Exception(fn, 2);
    for (int i = 0; i < count; ++i)
      WriteHolding(addr + i, Be16(pdu + 6 + 2 * i));
    return std::vector<uint8_t>(pdu, pdu + 5);
  }
  case 0x17: {
    if (length < 10)
      return Exception(fn, 3);
    const int readAddr = Be16(pdu + 1);
    const int readCount = Be16(pdu + 3);
    const int writeAddr = Be16(pdu + 5);
    const int writeCount = Be16(pdu + 7);
    if (readCount < 1 || readCount > 125 || writeCount < 1 || writeCount > 121 || pdu[9] != writeCount * 2 ||
        length < 10 + writeCount * 2)
      return Exception(fn, 3);
    std::vector<uint16_t> values(static_cast<size_t>(writeCount));
    for (int i = 0; i < writeCount; ++i)
      values[i] = Be16(pdu + 10 + 2 * i);
    if (writeAddr == bp::kTransferWrite && writeCount == bp::kTransferWriteCount && readAddr == bp::kTransferRead)
      return Transfer(values.data(), readCount, fn);
    if (writeAddr + writeCount > bp::kRegisterLimit || readAddr + readCount > bp::kRegisterLimit)
      return Exception(fn, 2);
    // Plain registers: the write goes first (Modbus application protocol, 6.17).
    for (int i = 0; i < writeCount; ++i)
      WriteHolding(writeAddr + i, values[i]);
    std::vector<uint8_t> out = {fn, static_cast<uint8_t>(readCount * 2)};
    for (int i = 0; i < readCount; ++i)
      PutBe16(out, m_holding[readAddr + i]);
    return out;
  }
  default:
    return Exception(fn, 1);
  }
}

BoardSim::Reply BoardSim::Handle(const uint8_t *adu, int length)
{
  Reply reply;
  ++m_received;
  if (length < 4)
    return reply;
  bool badCrc = false;
  bool badEcho = false;
  m_shortNext = false;
  if (!m_faults.empty()) {
    Fault &f = m_faults.front();
    const Fault current = f;
    if (f.count > 0 && --f.count == 0)
      m_faults.pop_front();
    switch (current.kind) {
    case FaultKind::NoReply:
      return reply;
    case FaultKind::Delay:
      reply.delayMs = current.argument;
      break;
    case FaultKind::BadCrc:
      badCrc = true;
      break;
    case FaultKind::Short:
      m_shortNext = true;
      break;
    case FaultKind::BadEcho:
      badEcho = true;
      break;
    case FaultKind::Exception: {
      const std::vector<uint8_t> pdu = Exception(adu[1], static_cast<uint8_t>(current.argument));
      reply.frame.push_back(adu[0]);
      reply.frame.insert(reply.frame.end(), pdu.begin(), pdu.end());
      break;
    }
    }
  }
  if (reply.frame.empty()) {
    std::vector<uint8_t> pdu = Pdu(adu + 1, length - 3);
    m_shortNext = false;
    if (pdu.empty())
      return reply;
    if (badEcho && (pdu[0] == 0x06 || pdu[0] == 0x10) && pdu.size() >= 3)
      pdu[2] ^= 0x01; // the write is done, the answer names the next register

    reply.frame.push_back(adu[0]);
    reply.frame.insert(reply.frame.end(), pdu.begin(), pdu.end());
  }
  uint16_t crc = Crc16(reply.frame.data(), reply.frame.size());
  if (badCrc)
    crc ^= 0x5A5A;
  reply.frame.push_back(static_cast<uint8_t>(crc & 0xFF)); // CRC low byte first
  reply.frame.push_back(static_cast<uint8_t>(crc >> 8));
  return reply;
}

std::string BoardSim::Control(const std::string &line)
{
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  // Requests a fault applies to: 1 by default, -1 for "all", 0 when the
  // text is no positive count (a count of 0 would never run out).
  auto count = [&in]() {
    std::string n;
    if (!(in >> n))
      return 1;
    if (n == "all")
      return -1;
    char *end = nullptr;
    const long c = std::strtol(n.c_str(), &end, 10);
    return *end == '\0' && c > 0 && c < 1000000 ? static_cast<int>(c) : 0;
  };
  auto fault = [&](FaultKind kind, int argument) {
    const int n = count();
    if (n == 0)
      return false;
    m_faults.push_back({kind, n, argument});
    return true;
  };
  bool ok = true;
  if (verb == "delay") {
    int ms = 0;
    in >> ms;
    ok = fault(FaultKind::Delay, ms);
  } else if (verb == "noreply") {
    ok = fault(FaultKind::NoReply, 0);
  } else if (verb == "badcrc") {
    ok = fault(FaultKind::BadCrc, 0);
  } else if (verb == "short") {
    ok = fault(FaultKind::Short, 0);
  } else if (verb == "badecho") {
    ok = fault(FaultKind::BadEcho, 0);
  } else if (verb == "exception") {
    int code = 4;
    in >> code;
    ok = fault(FaultKind::Exception, code);
  } else if (verb == "clear") {
    m_faults.clear();
  } else if (verb == "set" || verb == "unset") {
    std::string name;
    double value = 0;
    in >> name >> value;
    if (m_desc.FindVariable(name)) {
      if (verb == "set")
        m_pinned[name] = value;
      else
        m_pinned.erase(name);
      Tick();
    } else if (const BoardItem *p = m_desc.FindParameter(name)) {
      Store(m_holding.data(), *p, value);
    } else {
      return "ERR no item " + name;
    }
  } else if (verb == "get") {
    std::string name;
    in >> name;
    const BoardItem *p = m_desc.FindParameter(name);
    if (!p)
      return "ERR no parameter " + name;
    double value = static_cast<int16_t>(m_holding[p->address]);
    if (p->storage == 1)
      value = static_cast<int32_t>(m_holding[p->address] | (static_cast<uint32_t>(m_holding[p->address + 1]) << 16));
    else if (p->storage == 2)
      value = std::bit_cast<float>(m_holding[p->address] | (static_cast<uint32_t>(m_holding[p->address + 1]) << 16));
    std::ostringstream out;
    out << "OK " << name << " " << value;
    return out.str();
  } else if (verb == "requests") {
    return "OK requests " + std::to_string(m_received);
  } else if (verb == "slave") {
    int slave = 0;
    in >> slave;
    if (slave < 1 || slave > 247)
      return "ERR slave " + std::to_string(slave);
    m_desc.slave = slave;
  } else {
    return "ERR unknown command " + verb;
  }
  if (!ok)
    return "ERR bad count in " + line;
  return "OK " + line;
}
