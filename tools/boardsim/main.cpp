// boardsim: a simulated control board, a Modbus RTU slave on a pseudo-terminal
// (or on a given serial device) serving the board protocol of
// docs/board-protocol.md from a board description document.
//
// Control lines on stdin (each answered "OK ..." or "ERR ..." on stdout):
//   delay MS [N|all]   noreply [N|all]   badcrc [N|all]   short [N|all]
//   badecho [N|all]   exception CODE [N|all]   clear   set NAME VALUE   unset NAME   get NAME
//   slave N   requests   hangup   quit

#include "BoardSim.h"

#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// No one to ask: messages go to stderr, questions take their safe answer.
class ConsolePrompter : public Prompter {
public:
  int MessageBox(const QString &text, const QString &, unsigned type, QWidget *) override
  {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ');
    std::fprintf(stderr, "boardsim: %s\n", qPrintable(line));
    switch (type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDCANCEL;
    }
  }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
};

void Usage()
{
  std::printf("usage: boardsim [--doc FILE] [--device PATH | --link PATH] [--slave N] [--wire-baud BAUD]\n"
              "  --doc FILE        board description document (default: examples/demo-small.vtx)\n"
              "  --device PATH     serve this serial device instead of a new pseudo-terminal\n"
              "  --link PATH       also make PATH a symbolic link to the pseudo-terminal\n"
              "  --slave N         answer as slave N (default: the document's MODBUS line)\n"
              "  --wire-baud BAUD  answer no sooner than the frames would take on a wire at BAUD\n");
}

bool WriteAll(int fd, const uint8_t *data, size_t length)
{
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return false;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

} // namespace

int main(int argc, char **argv)
{
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::signal(SIGPIPE, SIG_IGN);
  std::string docPath = VELOTRIX_EXAMPLES_DIR "/demo-small.vtx";
  std::string device;
  std::string link;
  int slave = 0;
  int wireBaud = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--doc" && hasValue)
      docPath = argv[++i];
    else if (a == "--device" && hasValue)
      device = argv[++i];
    else if (a == "--link" && hasValue)
      link = argv[++i];
    else if (a == "--slave" && hasValue)
      slave = std::atoi(argv[++i]);
    else if (a == "--wire-baud" && hasValue)
      wireBaud = std::atoi(argv[++i]);
    else {
      Usage();
      return a == "--help" || a == "-h" ? 0 : 2;
    }
  }

  // The document model wants an application object (never a display) and
  // reports through the Prompter; its debug trace is not for this console.
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*.debug=false"));
  Prompter::SetInstance(std::make_unique<ConsolePrompter>());
  BoardDescription desc;
  std::string error;
  if (!LoadBoardDescription(docPath, &desc, &error)) {
    std::fprintf(stderr, "boardsim: %s\n", error.c_str());
    return 1;
  }
  BoardSim sim(std::move(desc));
  if (slave != 0)
    sim.SetSlave(slave);
  if (sim.Slave() < 1 || sim.Slave() > 247) {
    std::fprintf(stderr, "boardsim: invalid slave address %d\n", sim.Slave());
    return 1;
  }

  int fd = -1;
  int ptySlave = -1;
  modbus_t *ctx = nullptr;
  if (device.empty()) {
    int master = -1;
    char name[256] = {};
    if (openpty(&master, &ptySlave, name, nullptr, nullptr) != 0) {
      std::fprintf(stderr, "boardsim: openpty: %s\n", std::strerror(errno));
      return 1;
    }
    // The slave end stays open here so the master never sees a hang-up while
    // the supervisor closes and reopens the port.
    termios tio{};
    tcgetattr(ptySlave, &tio);
    cfmakeraw(&tio);
    tcsetattr(ptySlave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fd = master;
    ctx = modbus_new_rtu("/dev/null", 115200, 'N', 8, 2);
    if (!ctx || modbus_set_socket(ctx, fd) != 0) {
      std::fprintf(stderr, "boardsim: libmodbus context\n");
      return 1;
    }
    if (!link.empty()) {
      unlink(link.c_str());
      if (symlink(name, link.c_str()) != 0)
        std::fprintf(stderr, "boardsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    }
    std::printf("PTY %s\n", name);
  } else {
    ctx = modbus_new_rtu(device.c_str(), wireBaud > 0 ? wireBaud : 19200, 'N', 8, 2);
    if (!ctx || modbus_connect(ctx) != 0) {
      std::fprintf(stderr, "boardsim: cannot open %s: %s\n", device.c_str(), std::strerror(errno));
      return 1;
    }
    fd = modbus_get_socket(ctx);
    std::printf("DEVICE %s\n", device.c_str());
  }
  modbus_set_slave(ctx, sim.Slave());
  modbus_set_byte_timeout(ctx, 0, 100000);
  std::printf("BOARD %s slave %d, %zu parameters, %zu variables\n", sim.Description().version.c_str(), sim.Slave(),
              sim.Description().parameters.size(), sim.Description().variables.size());

  using Clock = std::chrono::steady_clock;
  bool stdinOpen = true;
  std::string pending;
  bool running = true;
  // A delayed reply waits here; control lines are still answered meanwhile,
  // and the next request is read only after the reply has gone out, as a
  // board serving one request at a time would.
  std::vector<uint8_t> delayed;
  Clock::time_point due{};
  while (running) {
    auto wait = std::chrono::microseconds(20000);
    if (!delayed.empty())
      wait = std::clamp(std::chrono::duration_cast<std::chrono::microseconds>(due - Clock::now()),
                        std::chrono::microseconds(0), wait);
    const timespec ts{0, static_cast<long>(wait.count()) * 1000};
    // An ended stdin stays out: a pipe whose writer has gone reports POLLHUP
    // on every call, whatever is asked, and the loop would never wait.
    pollfd fds[2] = {{delayed.empty() ? fd : -1, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    const int rc = ppoll(fds, 2, &ts, nullptr);
    sim.Tick();
    if (rc < 0 && errno != EINTR)
      break;
    if (!delayed.empty() && Clock::now() >= due) {
      if (!WriteAll(fd, delayed.data(), delayed.size()))
        break;
      delayed.clear();
    }
    if (rc <= 0)
      continue;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buf[512];
      const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n <= 0) {
        stdinOpen = false;
      } else {
        pending.append(buf, static_cast<size_t>(n));
        size_t nl = 0;
        while ((nl = pending.find('\n')) != std::string::npos) {
          std::string line = pending.substr(0, nl);
          pending.erase(0, nl + 1);
          if (!line.empty() && line.back() == '\r')
            line.pop_back();
          if (line.empty())
            continue;
          if (line == "hangup" || line == "quit") {
            std::printf("OK %s\n", line.c_str());
            running = false;
            break;
          }
          std::printf("%s\n", sim.Control(line).c_str());
        }
      }
    }
    if (!running || !(fds[0].revents & POLLIN))
      continue;
    uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    modbus_set_slave(ctx, sim.Slave()); // libmodbus drops frames for other slaves; "slave N" moves us
    const int len = modbus_receive(ctx, req);
    if (len <= 0)
      continue; // another slave's frame, a bad CRC or noise: a board stays silent
    if (req[0] != sim.Slave())
      continue;
    BoardSim::Reply reply = sim.Handle(req, len);
    for (const std::string &line : sim.TakeLog())
      std::printf("%s\n", line.c_str());
    if (reply.frame.empty())
      continue;
    double waitMs = reply.delayMs;
    if (wireBaud > 0) {
      // Request and answer on the wire, each followed by its 3.5-character
      // gap (11 bits a character); the master's gap is taken here too, so an
      // exchange lasts what it would on a wire.
      waitMs += (len + static_cast<double>(reply.frame.size()) + 7) * 11000.0 / wireBaud;
    }
    if (waitMs > 0) {
      delayed = std::move(reply.frame);
      due = Clock::now() + std::chrono::microseconds(std::llround(waitMs * 1000));
      continue;
    }
    if (!WriteAll(fd, reply.frame.data(), reply.frame.size()))
      break;
  }
  if (!link.empty())
    unlink(link.c_str());
  modbus_free(ctx); // the descriptors are closed below, not by libmodbus
  close(fd);
  if (ptySlave >= 0)
    close(ptySlave);
  return 0;
}
