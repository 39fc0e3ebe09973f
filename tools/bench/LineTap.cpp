#include "LineTap.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

int OpenRaw(const QString &device)
{
  const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

void WriteAll(int fd, const unsigned char *data, size_t length)
{
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      return;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
}

// The length of the request frame at the front, 0 when more bytes are
// needed, -1 when the function is not one the supervisor sends.
int RequestLength(const std::vector<unsigned char> &b)
{
  if (b.size() < 2)
    return 0;
  switch (b[1]) {
  case 3:
  case 4:
  case 6:
    return 8;
  case 16:
    return b.size() < 7 ? 0 : 9 + b[6];
  case 23:
    return b.size() < 11 ? 0 : 13 + b[10];
  default:
    return -1;
  }
}

} // namespace

LineTap::~LineTap()
{
  if (m_thread.joinable()) {
    const char c = 0;
    (void)!::write(m_wake[1], &c, 1);
    m_thread.join();
  }
  for (int fd : {m_master, m_slaveSide, m_wake[0], m_wake[1]})
    if (fd >= 0)
      ::close(fd);
  for (const auto &[slave, fd] : m_boards)
    ::close(fd);
}

bool LineTap::AddBoard(int slave, const QString &device)
{
  if (slave < 1 || slave > 247 || device.isEmpty() || m_boards.count(slave))
    return false;
  const int fd = OpenRaw(device);
  if (fd < 0)
    return false;
  m_boards[slave] = fd;
  return true;
}

bool LineTap::Start()
{
  char name[256] = {};
  if (openpty(&m_master, &m_slaveSide, name, nullptr, nullptr) != 0)
    return false;
  termios tio{};
  tcgetattr(m_slaveSide, &tio);
  cfmakeraw(&tio);
  tcsetattr(m_slaveSide, TCSANOW, &tio);
  fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  if (::pipe(m_wake) != 0)
    return false;
  m_device = QString::fromLocal8Bit(name);
  m_thread = std::thread([this] { Run(); });
  return true;
}

LineTap::Counts LineTap::Total() const
{
  return {m_requests.load(), m_requestBytes.load(), m_answerBytes.load()};
}

long LineTap::RequestsTo(int slave) const
{
  return slave >= 0 && slave < 248 ? m_perSlave[slave].load() : 0;
}

long LineTap::StatusPollsTo(int slave) const
{
  return slave >= 0 && slave < 248 ? m_statusPolls[slave].load() : 0;
}

LineTap::Counts LineTap::OfFunction(int function) const
{
  if (function < 0 || function > 255)
    return {};
  return {m_fnRequests[function].load(), m_fnRequestBytes[function].load(), m_fnAnswerBytes[function].load()};
}

void LineTap::Route(std::vector<unsigned char> &pending)
{
  for (;;) {
    int length = RequestLength(pending);
    if (length == 0 || static_cast<size_t>(length) > pending.size())
      return;
    if (length < 0)
      length = static_cast<int>(pending.size()); // noise: passed on whole
    const int slave = pending[0];
    auto board = m_boards.find(slave);
    if (board != m_boards.end())
      WriteAll(board->second, pending.data(), static_cast<size_t>(length));
    m_requests.fetch_add(1);
    m_requestBytes.fetch_add(length);
    const int function = pending[1];
    m_lastFunction = function;
    m_fnRequests[function].fetch_add(1);
    m_fnRequestBytes[function].fetch_add(length);
    if (slave < 248) {
      m_perSlave[slave].fetch_add(1);
      if (function == 4 && length >= 4 && (pending[2] << 8 | pending[3]) == 9900)
        m_statusPolls[slave].fetch_add(1);
    }
    pending.erase(pending.begin(), pending.begin() + length);
  }
}

void LineTap::Run()
{
  std::vector<pollfd> fds;
  fds.push_back({m_wake[0], POLLIN, 0});
  fds.push_back({m_master, POLLIN, 0});
  for (const auto &[slave, fd] : m_boards)
    fds.push_back({fd, POLLIN, 0});
  std::vector<unsigned char> pending;
  unsigned char buf[1024];
  for (;;) {
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
      return;
    if (fds[0].revents)
      return;
    if (fds[1].revents & POLLIN) {
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n > 0) {
        pending.insert(pending.end(), buf, buf + n);
        Route(pending);
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN))
        continue;
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        WriteAll(m_master, buf, static_cast<size_t>(n));
        m_answerBytes.fetch_add(n);
        m_fnAnswerBytes[m_lastFunction.load()].fetch_add(n);
      }
    }
  }
}
