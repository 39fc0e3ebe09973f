#!/usr/bin/python3
"""One run of the supervisor on a real X server against the simulated board.

Starts Xvfb on a free display, tools/boardsim on a pseudo-terminal and the
program (built with its test channel) on the xcb platform with fresh
settings, then walks a commissioning session: open the document, go online,
read all, change a parameter in the list with mouse and keyboard (a
double-click on its fraction, then a click and select-all), call off a
variable's drag over a link parameter with Escape, watch a variable, download the trace buffer, print the parameter list to PDF, go
offline, save, quit. Then, in a second work folder, a save under a file-size
limit that must be refused with a message, not end the program. Every wait is
bounded and ends on something it can see.
Prints one line per step and a closing "N passed, M failed"; exits 1 on any
failure.
"""

import argparse
import os
import queue
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

# Menu and toolbar commands of the main frame (src/frame/FrameCodes.h).
CMD_ONLINE = 32796
CMD_READ_ALL = 32787
CMD_READ_BUFFER = 59431
CMD_FILE_SAVE = 57603

# Columns of the parameter and variable lists.
PAR_NAME, PAR_SI, PAR_UI = 3, 5, 6
VAR_NAME, VAR_SI = 3, 5

# The parameter changed in the list (shown at the first level; its values are
# shown with one decimal, so its text holds a decimal separator).
EDIT_PAR = "max_speed"
EDIT_TYPED = "1750.0"
EDIT_SI = "1750.0"
EDIT_INTERNAL = 1750
# Typed over the value after a double-click on its fractional digits: the
# whole value is replaced, not only the digits after the point.
DCLICK_TYPED = "1250"
DCLICK_SI = "1250.0"
DCLICK_INTERNAL = 1250
WATCH_VAR = "speed_actual"
# A variable link (shown from level 2 on) and a 16-bit variable dragged over
# it from the variable tree, the drag then called off with Escape.
LINK_PAR = "analog_in_link"
LINK_VAR = "dc_voltage"
# The file-size limit of the last start: below the document's size, above the
# settings file's (about 2 KB), which is written at quit.
FSIZE_LIMIT = 4096
LIMIT_TYPED = "1600.0"  # the document holds 1500.0


class StepFailed(Exception):
    pass


class Children:
    """Every process started here, stopped in reverse order on the way out."""

    def __init__(self):
        self.procs = []

    def add(self, proc):
        self.procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()


def wait_for(what, probe, timeout):
    """Calls probe until it gives something true; the last value on failure."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            last = probe()
        except StepFailed as e:  # an ERR answer: not there yet
            last = "(%s)" % e
        else:
            if last:
                return last
        if time.monotonic() > deadline:
            raise StepFailed("%s: not within %g s (last: %r)" % (what, timeout, last))
        time.sleep(0.05)


class Board:
    """boardsim on a pty; its stdout lines (the command log) are collected."""

    def __init__(self, children, binary, doc, link, log_path):
        self.lines = queue.Queue()
        self.log = open(log_path, "w", encoding="utf-8")
        self.proc = children.add(subprocess.Popen(
            [binary, "--doc", doc, "--link", link],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log,
            text=True, bufsize=1))
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip("\n")
            self.log.write(line + "\n")
            self.log.flush()
            self.lines.put(line)

    def drain(self):
        while True:
            try:
                self.seen.append(self.lines.get_nowait())
            except queue.Empty:
                return self.seen

    def control(self, command, timeout=5):
        """Sends a control line and gives its OK/ERR answer."""
        self.drain()
        start = len(self.seen)
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        word = command.split()[0]

        def answered():
            for line in self.drain()[start:]:
                if line.startswith(("OK " + word, "ERR")) or (line.startswith("OK ") and word == "get"):
                    return line
            return None
        return wait_for("boardsim answer to " + command, answered, timeout)


class Channel:
    """The program's test channel: one line out, one line back."""

    def __init__(self, path, timeout):
        self.sock = wait_for("test channel " + path, lambda: self._connect(path), timeout)
        self.sock.settimeout(20)
        self.buf = b""

    @staticmethod
    def _connect(path):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect(path)
            return s
        except OSError:
            s.close()
            return None

    def ask(self, line):
        self.sock.sendall((line + "\n").encode())
        while b"\n" not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise StepFailed("the program closed the test channel (asked: %s)" % line)
            self.buf += chunk
        answer, self.buf = self.buf.split(b"\n", 1)
        return answer.decode()

    def ok(self, line):
        answer = self.ask(line)
        if not answer.startswith("OK"):
            raise StepFailed("%s: %s" % (line, answer))
        return answer[3:]


def strings(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t", 1)
            if len(parts) == 2 and parts[0].isdigit():
                table[int(parts[0])] = parts[1]
    return table


class Run:
    def __init__(self, args):
        self.args = args
        self.children = Children()
        self.passed = 0
        self.failed = 0
        self.work = args.work
        self.art = args.artifacts
        self.tag = args.lang
        self.display = None
        self.app = None
        self.ch = None
        self.board = None
        self.shots = 0
        self.drainer = None

    # ---- bookkeeping --------------------------------------------------
    def step(self, name, fn, fatal=False):
        start = time.monotonic()
        try:
            detail = fn()
            self.passed += 1
            print("[%s] PASS %s (%.1f s)%s" % (self.tag, name, time.monotonic() - start,
                                               ": " + detail if detail else ""), flush=True)
            return True
        except Exception as e:  # a step's failure of any kind is reported, not raised
            self.failed += 1
            print("[%s] FAIL %s (%.1f s): %s" % (self.tag, name, time.monotonic() - start, e), flush=True)
            if self.app is not None and self.app.poll() is not None:
                print("[%s]      the program ended with status %d" % (self.tag, self.app.returncode), flush=True)
            if self.ch is not None:
                try:
                    print("[%s]      open windows: %s" % (self.tag, self.ch.ask("dialogs")), flush=True)
                    print("[%s]      status: %s" % (self.tag, self.ch.ask("status")), flush=True)
                except Exception:
                    pass
            if fatal:
                raise StepFailed("stopping after " + name)
            return False

    def env(self, work=None):
        work = work or self.work
        env = dict(os.environ)
        for key in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(key, None)
        env.update({
            "DISPLAY": ":%d" % self.display,
            "QT_QPA_PLATFORM": "xcb",
            "HOME": os.path.join(work, "home"),
            "XDG_CONFIG_HOME": os.path.join(work, "config"),
            "XDG_RUNTIME_DIR": os.path.join(work, "run"),
            "XDG_DATA_HOME": os.path.join(work, "home", ".local", "share"),
            "TMPDIR": os.path.join(work, "tmp"),
            "NO_AT_BRIDGE": "1",
        })
        if self.args.scale:
            env["QT_SCALE_FACTOR"] = self.args.scale
        if self.args.locale:
            env["LC_ALL"] = self.args.locale
            env["LANG"] = self.args.locale
        return env

    def xtool(self, *argv):
        subprocess.run(list(argv), env=self.env(), check=True, timeout=20,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    # ---- start ---------------------------------------------------------
    def start_display(self):
        r, w = os.pipe()
        log = open(os.path.join(self.art, "xvfb-%s.log" % self.tag), "w")
        self.children.add(subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", self.args.screen + "x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(w,), stdout=log, stderr=log))
        os.close(w)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline:
                raise StepFailed("Xvfb gave no display number")
            chunk = os.read(r, 16)
            if not chunk:
                raise StepFailed("Xvfb ended before giving its display (see xvfb-%s.log)" % self.tag)
            number += chunk
        os.close(r)
        self.display = int(number.strip())
        return "display :%d" % self.display

    def start_window_manager(self):
        log = open(os.path.join(self.art, "openbox-%s.log" % self.tag), "w")
        self.children.add(subprocess.Popen(["openbox", "--sm-disable"], env=self.env(), stdout=log, stderr=log))
        # Running once it owns the screen's window-manager selection.
        wait_for("openbox on the display", lambda: subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(), capture_output=True, text=True,
            timeout=10).stdout.strip().endswith(tuple("0123456789abcdef")) or None, 10)
        return "openbox"

    def frame_of(self, window):
        """The outermost window under the root that holds this one (the window
        manager's frame), as (x, y, width, height) in screen pixels."""
        def info(wid, *extra):
            return subprocess.run(["xwininfo", "-id", wid] + list(extra), env=self.env(), capture_output=True,
                                  text=True, timeout=10, check=True).stdout
        current = window
        while True:
            tree = info(current, "-tree")
            root = re.search(r"Root window id: (0x[0-9a-f]+)", tree).group(1)
            parent = re.search(r"Parent window id: (0x[0-9a-f]+)", tree).group(1)
            if parent == root:
                break
            current = parent
        text = info(current, "-frame")
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", text).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"))

    def log_size(self):
        return os.path.getsize(os.path.join(self.art, "velotrix-%s.log" % self.tag))

    def log_since(self, mark):
        with open(os.path.join(self.art, "velotrix-%s.log" % self.tag), "rb") as f:
            f.seek(mark)
            return f.read().decode("utf-8", "replace")

    def scenario_wm(self):
        """Under a window manager on a 1600 x 1000 screen at 1.5x: the main
        window's title bar and the trace-buffer manager on the screen."""
        self.step("start Xvfb", self.start_display, fatal=True)
        self.step("start openbox", self.start_window_manager, fatal=True)
        self.step("start boardsim on a pty", self.start_board, fatal=True)
        self.step("start velotrix on xcb", self.start_app, fatal=True)
        width, height = (int(v) for v in self.args.screen.split("x"))

        # At a fractional scale a window's edges fall on whole logical pixels:
        # a rounding of up to 2 screen pixels at the far edges is allowed.
        slack = 2

        def inside(what, box):
            x, y, w, h = box
            if x < 0 or y < 0 or x + w > width + slack or y + h > height + slack:
                raise StepFailed("%s at %d,%d size %dx%d is not within %dx%d" % (what, x, y, w, h, width, height))
            return "%s at %d,%d size %dx%d" % (what, x, y, w, h)

        def main_frame():
            main = self.window_id()
            # The window manager has put its frame around the window.
            box = wait_for("a frame around the main window", lambda: (lambda b: b if b[2] > 0 else None)(
                self.frame_of(main)), 10)
            time.sleep(0.5)  # the program fits its frame once the manager's extents are known
            return inside("main window frame", self.frame_of(main))
        self.step("main window with its title bar on the screen", main_frame)

        def manager():
            main = self.window_id()
            self.command(CMD_READ_BUFFER)
            self.ch.ok("trace-geometry")  # shown

            def other():
                r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.app.pid)],
                                   env=self.env(), capture_output=True, text=True, timeout=10)
                ids = [i for i in r.stdout.split() if i != main]
                return ids[0] if ids else None
            window = wait_for("trace-buffer manager on the display", other, 10)
            time.sleep(0.5)
            return inside("trace-buffer manager", self.frame_of(hex(int(window))))
        self.step("trace-buffer manager within the screen", manager)

        self.step("quit", self.quit)

    def start_board(self):
        link = os.path.join(self.work, "board")
        self.board = Board(self.children, self.args.boardsim, self.args.doc, link,
                           os.path.join(self.art, "boardsim-%s.log" % self.tag))
        wait_for("boardsim pty", lambda: os.path.exists(link) or self.board.proc.poll() is not None, 10)
        if self.board.proc.poll() is not None:
            raise StepFailed("boardsim ended at start (see boardsim-%s.log)" % self.tag)
        self.link = link
        return next((l for l in self.board.drain() if l.startswith("BOARD")), "")

    def prepare_work(self, work):
        """The folders the environment names, and fresh settings but for the
        interface language."""
        for d in ("home", "config/Norv", "run", "tmp"):
            os.makedirs(os.path.join(work, d), exist_ok=True)
        os.chmod(os.path.join(work, "run"), 0o700)
        if self.args.language:
            with open(os.path.join(work, "config", "Norv", "Velotrix.ini"), "w") as f:
                f.write("[2.1]\nSettings\\Language=%d\n" % self.args.language)

    def start_app(self):
        self.prepare_work(self.work)
        env = self.env()
        channel = os.path.join(self.work, "channel")
        env["VELOTRIX_TEST_CHANNEL"] = channel
        env["VELOTRIX_SERIAL_DEVICE"] = self.link
        log = open(os.path.join(self.art, "velotrix-%s.log" % self.tag), "w")
        self.app = self.children.add(subprocess.Popen([self.args.app], env=env, stdout=log, stderr=log,
                                                      cwd=self.work))
        self.ch = Channel(channel, 30)
        # The main window mapped on the display.
        wait_for("main window on the display", lambda: self.window_id(), 20)
        return "window %s, title %s" % (self.window_id(), self.ch.ok("title"))

    def start_piped(self, work, log, fsize=None):
        """The program in its own work folder (its own settings and runtime
        folder, so the running copy does not take its start over); with
        fsize, no file it writes may grow past that many bytes. Its output
        goes through a pipe into log, as a file of its own would be cut by
        the limit too. Becomes the program the helpers talk to."""
        self.prepare_work(work)
        env = self.env(work)
        channel = os.path.join(work, "channel")
        env["VELOTRIX_TEST_CHANNEL"] = channel

        def limit():  # Popen has put SIGXFSZ back to its default
            resource.setrlimit(resource.RLIMIT_FSIZE, (fsize, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
        self.app = self.children.add(subprocess.Popen(
            [self.args.app], env=env, cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT, preexec_fn=limit if fsize else None))
        proc = self.app

        def drain():
            for chunk in iter(lambda: proc.stdout.read1(65536), b""):
                log.write(chunk)
                log.flush()
        self.drainer = threading.Thread(target=drain, daemon=True)
        self.drainer.start()
        self.ch = Channel(channel, 30)
        wait_for("main window on the display", lambda: self.window_id(), 20)
        return "window %s" % self.window_id()

    def quit(self):
        self.ch.ok("quit")
        self.wait_exit()

    def wait_exit(self):
        """The exit status of the program, as the shell would give it."""
        try:
            code = self.app.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise StepFailed("still running 20 s after quit (windows: %s)" % self.ch.ask("dialogs"))
        if self.drainer:
            self.drainer.join(10)
        if code < 0:
            raise StepFailed("ended by signal %d" % -code)
        if code != 0:
            raise StepFailed("exit status %d" % code)

    def message_box(self):
        """(window, text) of a shown message box, or None."""
        for entry in self.ch.ok("dialogs").split("\t"):
            parts = entry.split(":", 3)
            if parts[0] == "QMessageBox" and len(parts) == 4:
                return parts[2], parts[3]
        return None

    def window_id(self):
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.app.pid)],
                           env=self.env(), capture_output=True, text=True, timeout=10)
        ids = r.stdout.split()
        return ids[0] if ids else None

    # ---- helpers -------------------------------------------------------
    def status(self):
        return self.ch.ok("status").split("\t")

    def command(self, cmd):
        wait_for("command %d enabled" % cmd, lambda: self.ch.ok("enabled %d" % cmd).startswith("1"), 10)
        self.ch.ok("command %d" % cmd)

    def list_row(self, name):
        """The list row showing the parameter, or None (row 0 is a row)."""
        row = int(self.ch.ok("list-find " + name))
        return row if row >= 0 else None

    def show_block_of(self, name):
        """Selects blocks in the tree until the list shows the parameter."""
        row = self.list_row(name)
        if row is not None:
            return row
        for item in self.ch.ok("tree-items").split("\t"):
            key = item.split("=", 1)[0]
            if not key.lstrip("-").isdigit():
                continue
            self.ch.ask("select-block " + key)
            try:
                wait_for("list of block %s" % key, lambda: self.list_row(name) is not None, 1)
                return self.list_row(name)
            except StepFailed:
                continue
        raise StepFailed("no block shows " + name)

    def save_as(self, path):
        """Save through the queued command verb; the program asks where, and
        the name is typed into its file dialog as a user does."""
        self.command(CMD_FILE_SAVE)
        window = wait_for("save dialog", lambda: self.dialog("QFileDialog"), 10)
        self.xtool("xdotool", "windowfocus", "--sync", window)
        wait_for("file name editor", lambda: "Edit" in self.ch.ok("focus"), 10)
        self.xtool("xdotool", "key", "--clearmodifiers", "ctrl+a")
        self.xtool("xdotool", "type", "--delay", "10", path)
        self.xtool("xdotool", "key", "Return")

    def dialog(self, cls):
        """The X window of a shown top-level window of that class, or None."""
        for entry in self.ch.ok("dialogs").split("\t"):
            parts = entry.split(":")
            if parts[0] == cls:
                return parts[-1]
        return None

    def screenshot(self, label, expect, window="main"):
        """A window from the X server and from the program's own grab; both
        must hold a picture, and the program must show the expected texts.
        window "main" raises the main window first; "trace" takes the
        trace-buffer manager where it stands."""
        self.shots += 1
        base = os.path.join(self.art, "%s-%d-%s" % (self.tag, self.shots, label))
        if window == "main":
            self.ch.ok("activate")
            geometry = self.ch.ok("geometry")
            grab = "grab " + base + "-grab.png"
        else:
            geometry = self.ch.ok("trace-geometry")
            grab = "grab " + base + "-grab.png trace"
        x, y, w, h = (int(v) for v in geometry.split())
        x, y = max(x, 0), max(y, 0)
        # The X server's picture of the root window, cut to the window.
        self.xtool("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
                   base + ".png")
        self.ch.ok(grab)
        details = []
        for path in (base + ".png", base + "-grab.png"):
            r = subprocess.run(["identify", "-format", "%w %h %k %[fx:standard_deviation]", path],
                               capture_output=True, text=True, timeout=30, check=True)
            width, height, colours, dev = r.stdout.split()
            if int(width) < 300 or int(height) < 200:
                raise StepFailed("%s is only %sx%s" % (path, width, height))
            if int(colours) < 16 or float(dev) < 0.02:
                raise StepFailed("%s looks blank (%s colours, deviation %s)" % (path, colours, dev))
            details.append("%s colours" % colours)
        seen = []
        for query, pattern in expect:
            answer = self.ch.ok(query)
            if not re.search(pattern, answer):
                raise StepFailed("%s: %r does not match %r" % (query, answer, pattern))
            seen.append(query)
        return "%s.png (%s), checked %s" % (os.path.basename(base), ", ".join(details), ", ".join(seen))

    # ---- the session ---------------------------------------------------
    def scenario(self):
        it = self.texts = strings(self.args.strings)
        doc_copy = os.path.join(self.work, os.path.basename(self.args.doc))
        shutil.copyfile(self.args.doc, doc_copy)

        self.step("start Xvfb", self.start_display, fatal=True)
        self.step("start boardsim on a pty", self.start_board, fatal=True)
        self.step("start velotrix on xcb", self.start_app, fatal=True)

        def language():
            titles = self.ch.ok("menus").split("\t")
            want = [it[i].replace("&", "") for i in (1010, 1011, 1012)]
            if titles[:3] != want:
                raise StepFailed("menu titles %r, expected %r" % (titles, want))
            return " ".join(titles)
        self.step("interface language", language)

        def open_doc():
            self.ch.ok("open " + doc_copy)
            wait_for("board window", lambda: self.ch.ok("children") == "1", 20)
            wait_for("parameter list", lambda: self.ch.ok("list-rows"), 20)
            return "title " + self.ch.ok("title")
        self.step("open the document", open_doc, fatal=True)

        def online():
            self.command(CMD_ONLINE)
            wait_for("online", lambda: self.ch.ok("child-state") == "online", 30)
            # The connection's start (version check, board texts) is over.
            wait_for("connection ready", lambda: self.ch.ok("read-state") == "2", 30)
            firmware = wait_for("firmware in the status bar", lambda: self.status()[2], 20)
            return "firmware " + firmware
        self.step("go online", online, fatal=True)

        def read_all():
            if self.ch.ok("read-state") == "4":
                raise StepFailed("read all marked finished before it started")
            before = int(self.board.control("requests").split()[-1])
            self.command(CMD_READ_ALL)
            wait_for("read all finished", lambda: self.ch.ok("read-state") == "4", 60)
            after = int(self.board.control("requests").split()[-1])
            if after <= before:
                raise StepFailed("the board got no request")
            return "%d requests at the board, status: %s" % (after - before, self.status()[0])
        self.step("read all", read_all)

        self.step("show a block's parameters", lambda: "%s in row %d" % (EDIT_PAR, self.show_block_of(EDIT_PAR)))

        self.step("screenshot online", lambda: self.screenshot("online", [
            ("child-state", "online"),
            ("title", re.escape(os.path.basename(self.args.doc)[:-4])),
            ("list-rows", r"[1-9]"),
        ]))

        def double_click_fraction():
            row = self.show_block_of(EDIT_PAR)
            before = self.ch.ok("list-cell %d %d" % (row, PAR_SI))
            if "." not in before:
                raise StepFailed("%s shows %r, no fraction to click" % (EDIT_PAR, before))
            cx, cy, width, _ = (int(v) for v in self.ch.ok("list-rect %d %d" % (row, PAR_SI)).split())
            # Values are right-aligned: the last digit is the fraction's. The
            # first press opens the editor, the second lands in it.
            self.xtool("xdotool", "mousemove", "--sync", str(cx + width // 2 - 8), str(cy),
                       "click", "--repeat", "2", "--delay", "80", "1")
            wait_for("cell editor open", lambda: "Edit" in self.ch.ok("focus"), 10)
            self.xtool("xdotool", "type", "--delay", "20", DCLICK_TYPED)
            self.xtool("xdotool", "key", "Return")
            answer = wait_for("board holds %s=%d" % (EDIT_PAR, DCLICK_INTERNAL),
                              lambda: (lambda a: a if a.split()[-1] == str(DCLICK_INTERNAL) else None)(
                                  self.board.control("get " + EDIT_PAR)), 20)
            shown = wait_for("list shows the read-back",
                             lambda: (lambda t: t if t == DCLICK_SI else None)(
                                 self.ch.ok("list-cell %d %d" % (self.list_row(EDIT_PAR), PAR_SI))), 20)
            return "%s: %s -> %s in the list, board: %s" % (EDIT_PAR, before, shown, answer)
        self.step("double-click a value's fraction and type over it", double_click_fraction)

        def edit_parameter():
            row = self.show_block_of(EDIT_PAR)
            before = self.ch.ok("list-cell %d %d" % (row, PAR_SI))
            cx, cy, _, _ = (int(v) for v in self.ch.ok("list-rect %d %d" % (row, PAR_SI)).split())
            # A click opens the cell's editor; type over it and press Enter.
            self.xtool("xdotool", "mousemove", "--sync", str(cx), str(cy), "click", "1")
            editor = wait_for("cell editor open", lambda: (lambda f: f if "Edit" in f else None)(
                self.ch.ok("focus")), 10)
            self.xtool("xdotool", "key", "--clearmodifiers", "ctrl+a")
            self.xtool("xdotool", "type", "--delay", "20", EDIT_TYPED)
            self.xtool("xdotool", "key", "Return")
            answer = wait_for("board holds %s=%d" % (EDIT_PAR, EDIT_INTERNAL),
                              lambda: (lambda a: a if a.split()[-1] == str(EDIT_INTERNAL) else None)(
                                  self.board.control("get " + EDIT_PAR)), 20)
            shown = wait_for("list shows the read-back",
                             lambda: (lambda t: t if t == EDIT_SI else None)(
                                 self.ch.ok("list-cell %d %d" % (self.list_row(EDIT_PAR), PAR_SI))), 20)
            # The read-back's status text, in the interface language, with a decimal point.
            said = self.texts[545] % (EDIT_PAR, EDIT_SI, EDIT_INTERNAL)
            wait_for("status says " + said, lambda: self.status()[0] == said, 10)
            return "%s: %s -> %s in the list (editor %s), board: %s, status: %s" % (
                EDIT_PAR, before, shown, editor.split()[0], answer, said)
        self.step("change a parameter in the list", edit_parameter)

        def level(want):
            """Moves the level slider with a click at the end of its channel."""
            x, y, w, h, now = (int(v) for v in self.ch.ok("slider-rect").split())
            if now != want:
                cx = x + 1 if want == 0 else x + w - 2
                self.xtool("xdotool", "mousemove", "--sync", str(cx), str(y + h // 2), "click", "1")
                wait_for("level %d" % want, lambda: self.ch.ok("slider-rect").split()[-1] == str(want), 10)

        def escape_drag():
            before = self.board.control("get " + LINK_PAR).split()[-1]
            level(2)
            held = False
            try:
                row = self.show_block_of(LINK_PAR)
                shown = self.ch.ok("list-cell %d %d" % (row, PAR_SI))
                vx, vy = (int(v) for v in wait_for("%s in the variable tree" % LINK_VAR,
                                                   lambda: self.ch.ok("tree-var-rect " + LINK_VAR), 10).split())
                lx, ly, _, _ = (int(v) for v in self.ch.ok("list-rect %d %d" % (row, PAR_NAME)).split())
                self.xtool("xdotool", "mousemove", "--sync", str(vx), str(vy), "mousedown", "1")
                held = True
                # In steps, as a hand moves: the drag starts after a few pixels.
                for i in range(1, 9):
                    self.xtool("xdotool", "mousemove", "--sync",
                               str(vx + (lx - vx) * i // 8), str(vy + (ly - vy) * i // 8))
                wait_for("dragged over " + LINK_PAR, lambda: self.ch.ok("tree-drag") == "1 " + LINK_PAR, 10)
                self.xtool("xdotool", "key", "Escape")
                wait_for("drag called off", lambda: self.ch.ok("tree-drag") == "0", 10)
                self.xtool("xdotool", "mouseup", "1")
                held = False
                # A few polls later the board still holds the link it had.
                start = int(self.board.control("requests").split()[-1])
                wait_for("the board polled", lambda: int(self.board.control("requests").split()[-1]) > start + 5, 20)
                after = self.board.control("get " + LINK_PAR).split()[-1]
                if after != before:
                    raise StepFailed("the board got %s=%s (was %s)" % (LINK_PAR, after, before))
                now = self.ch.ok("list-cell %d %d" % (self.list_row(LINK_PAR), PAR_SI))
                if now != shown:
                    raise StepFailed("the list shows %s=%r (was %r)" % (LINK_PAR, now, shown))
                return "%s dragged over %s, Escape, release: board keeps %s, list %s" % (
                    LINK_VAR, LINK_PAR, after, now)
            finally:
                if held:  # released back over the tree, where nothing is dropped
                    self.xtool("xdotool", "key", "Escape", "mousemove", "--sync", str(vx), str(vy), "mouseup", "1")
                level(0)
                self.show_block_of(EDIT_PAR)  # as the steps after this one expect
        self.step("Escape calls off a variable drag", escape_drag)

        def quiet_online():
            mark = self.log_size()
            # Offline and online again, a few seconds of polling and a full
            # read of the board.
            self.command(CMD_ONLINE)
            wait_for("offline", lambda: self.ch.ok("child-state") == "offline", 20)
            self.command(CMD_ONLINE)
            wait_for("online", lambda: self.ch.ok("child-state") == "online", 30)
            wait_for("connection ready", lambda: self.ch.ok("read-state") == "2", 30)
            self.command(CMD_READ_ALL)
            wait_for("read all finished", lambda: self.ch.ok("read-state") == "4", 60)
            time.sleep(3)
            said = self.log_since(mark)
            if said.strip():
                raise StepFailed("the program wrote while online: %r" % said[:300])
            return "nothing on standard error"
        self.step("silent while online", quiet_online)

        def lock_panes():
            # Caps and num lock read through the X keyboard extension.
            seen = []
            for key, pane, sid in (("Caps_Lock", 4, 59137), ("Num_Lock", 5, 59138)):
                was = self.status()[pane]
                if was not in (self.texts[sid], ""):
                    raise StepFailed("%s pane shows %r" % (key, was))
                for want in ("" if was else self.texts[sid], was):
                    self.xtool("xdotool", "key", key)
                    wait_for("%s pane %r" % (key, want), lambda: self.status()[pane] == want, 10)
                seen.append("%s %r <-> %r" % (key, was, "" if was else self.texts[sid]))
            return "; ".join(seen)
        self.step("caps and num lock panes", lock_panes)

        def watch_variable():
            row = int(wait_for("variable row", lambda: (lambda r: r if int(r) >= 0 else None)(
                self.ch.ok("var-find " + WATCH_VAR)), 10))
            first = self.ch.ok("var-cell %d %d" % (row, VAR_SI))
            self.board.control("set %s 1234" % WATCH_VAR)
            now = wait_for("variable list shows the board's new value",
                           lambda: (lambda t: t if t != first and "1234" in t.replace(",", "").replace(".", "")
                                    else None)(self.ch.ok("var-cell %d %d" % (row, VAR_SI))), 20)
            self.board.control("unset %s" % WATCH_VAR)
            return "%s: %s -> %s" % (WATCH_VAR, first, now)
        self.step("watch a variable change", watch_variable)

        def numbers():
            """Values in the lists and the status bar use the decimal point,
            whatever the process locale says."""
            cells = []
            for row in range(int(self.ch.ok("list-rows"))):
                for col in range(PAR_SI, 11):
                    cells.append(("list", row, col, self.ch.ok("list-cell %d %d" % (row, col))))
            for row in range(int(self.ch.ok("var-rows"))):
                for col in (VAR_SI, VAR_SI + 1):
                    cells.append(("var", row, col, self.ch.ok("var-cell %d %d" % (row, col))))
            cells.append(("status", 0, 0, self.status()[0]))
            comma = [c for c in cells if re.search(r"\d,\d", c[3])]
            if comma:
                raise StepFailed("decimal commas in %r" % comma[:5])
            point = [c for c in cells if re.search(r"\d\.\d", c[3])]
            if not point:
                raise StepFailed("no value with a decimal point among %d cells" % len(cells))
            return "%d cells, %d with a decimal point (e.g. %s)" % (len(cells), len(point), point[0][3])
        self.step("numbers with a decimal point", numbers)

        self.step("screenshot parameter changed", lambda: self.screenshot("changed", [
            ("list-cell %d %d" % (self.list_row(EDIT_PAR) or 0, PAR_SI), "^" + re.escape(EDIT_SI) + "$"),
            ("status", "."),
        ]))

        def trace():
            self.command(CMD_READ_BUFFER)
            wait_for("trace manager ready", lambda: re.search(r"state=1 ", self.ch.ok("trace")), 20)
            x, y, enabled = wait_for("download button", lambda: (lambda b: b if b[2] == "1" else None)(
                self.ch.ok("trace-button").split()), 20)
            self.xtool("xdotool", "mousemove", "--sync", x, y, "click", "1")
            answer = wait_for("a trace buffer window with a chart",
                              lambda: (lambda a: a if re.search(r"buffers=[1-9].*charts=[1-9]", a) else None)(
                                  self.ch.ok("trace")), 60)
            return answer
        self.step("download the trace buffer", trace)

        self.step("screenshot trace chart", lambda: self.screenshot("trace", [
            ("trace", r"charts=[1-9]"),
        ], window="trace"))

        def print_pdf():
            pdf = os.path.join(self.art, "%s-parameters.pdf" % self.tag)
            if os.path.exists(pdf):
                os.remove(pdf)
            self.ch.ok("print-pdf " + pdf)
            text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True,
                                  timeout=30, check=True).stdout
            for name in ("max_speed", EDIT_PAR, os.path.basename(self.args.doc)):
                if name not in text:
                    raise StepFailed("%r not in the printout" % name)
            if EDIT_SI not in text:
                raise StepFailed("the changed value %s is not in the printout" % EDIT_SI)
            return "%d bytes, %d lines of text" % (os.path.getsize(pdf), text.count("\n"))
        self.step("print the parameter list to PDF", print_pdf)

        def offline():
            self.command(CMD_ONLINE)
            wait_for("offline", lambda: self.ch.ok("child-state") == "offline", 20)
        self.step("go offline", offline)

        def save():
            saved_path = os.path.join(self.work, "saved.vtx")
            self.save_as(saved_path)
            wait_for("document saved", lambda: self.ch.ok("modified") == "0 " + saved_path
                     and os.path.exists(saved_path), 20)
            shutil.copyfile(saved_path, os.path.join(self.art, "%s-saved.vtx" % self.tag))
            with open(saved_path, encoding="latin-1") as f:
                saved = f.read()
            if not re.search(r"^\w+ %s=%d;" % (EDIT_PAR, EDIT_INTERNAL), saved, re.M):
                raise StepFailed("the saved file does not hold %s=%d" % (EDIT_PAR, EDIT_INTERNAL))
            return "%s, %d bytes" % (saved_path, len(saved))
        self.step("save the document", save)

        self.step("quit", self.quit)

        self.scenario_size_limit()

    def scenario_size_limit(self):
        """A save past a file-size limit says the file is too large and keeps
        the program, its edit and the files as they were."""
        work = os.path.join(self.work, "limit")
        os.makedirs(work, exist_ok=True)
        doc_copy = os.path.join(work, os.path.basename(self.args.doc))
        shutil.copyfile(self.args.doc, doc_copy)
        with open(self.args.doc, "rb") as f:
            original = f.read()
        saved_path = os.path.join(work, "too-large.vtx")
        log = open(os.path.join(self.art, "velotrix-limit-%s.log" % self.tag), "wb")

        def open_copy():
            self.ch.ok("open " + doc_copy)
            wait_for("board window", lambda: self.ch.ok("children") == "1", 20)
            wait_for("parameter list", lambda: self.ch.ok("list-rows"), 20)

        def first_start():
            self.start_piped(work, log)
            open_copy()
            # Present (stored by this open or an earlier run's), so that the
            # start under the limit writes none.
            folders = [os.path.dirname(self.args.app),
                       os.path.join(work, "home", ".local", "share", "Norv", "Velotrix")]
            copies = [n for d in folders if os.path.isdir(d) for n in os.listdir(d)
                      if n.startswith("!") and n.endswith(".vtx")]
            if not copies:
                raise StepFailed("no library copy in %s" % folders)
            self.quit()
            return "library copy %s present" % copies[0]
        self.step("open a copy in a second work folder", first_start, fatal=True)

        def refused_save():
            if len(original) <= FSIZE_LIMIT:
                raise StepFailed("the document (%d bytes) fits the limit" % len(original))
            self.start_piped(work, log, FSIZE_LIMIT)
            open_copy()
            row = self.show_block_of(EDIT_PAR)
            self.ch.ok("edit-cell %d %d %s" % (row, PAR_SI, LIMIT_TYPED))
            wait_for("document modified", lambda: (lambda m: m if m == "1 " + doc_copy else None)(
                self.ch.ok("modified")), 10)
            before = sorted(os.listdir(work))
            self.save_as(saved_path)
            box, text = wait_for("a message box", self.message_box, 20)
            self.xtool("import", "-window", box, os.path.join(self.art, "%s-limit-box.png" % self.tag))
            said = self.texts[1176] % saved_path
            if text != said:
                raise StepFailed("the box says %r, not %r" % (text, said))
            if self.ch.ok("modified") != "1 " + doc_copy:
                raise StepFailed("document state %r" % self.ch.ok("modified"))
            after = sorted(os.listdir(work))
            if after != before:
                raise StepFailed("the folder held %s, now %s" % (before, after))
            with open(doc_copy, "rb") as f:
                if f.read() != original:
                    raise StepFailed("the document's own file changed")
            self.xtool("xdotool", "windowfocus", "--sync", box, "key", "Return")
            wait_for("box closed", lambda: self.message_box() is None, 10)
            return "limit %d bytes: %s" % (FSIZE_LIMIT, said)
        self.step("a save past a file-size limit is refused", refused_save)

        def quit_unsaved():
            self.ch.ok("quit")
            box, text = wait_for("the save question", self.message_box, 20)
            self.xtool("xdotool", "windowfocus", "--sync", box, "key", "n")
            self.wait_exit()
            return "answered No to %r" % text
        self.step("quit without saving under the limit", quit_unsaved)
        log.close()

    def run(self):
        try:
            if self.args.wm:
                self.scenario_wm()
            else:
                self.scenario()
        except StepFailed as e:
            print("[%s] %s" % (self.tag, e), flush=True)
        finally:
            self.children.stop_all()
        print("[%s] %d passed, %d failed" % (self.tag, self.passed, self.failed), flush=True)
        return 0 if self.failed == 0 and self.passed > 0 else 1


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--app", required=True)
    p.add_argument("--boardsim", required=True)
    p.add_argument("--doc", required=True)
    p.add_argument("--strings", required=True, help="the interface language's string table")
    p.add_argument("--work", required=True)
    p.add_argument("--artifacts", required=True)
    p.add_argument("--lang", default="en")
    p.add_argument("--language", type=int, default=0, help="Language setting written before start")
    p.add_argument("--locale", default="")
    p.add_argument("--screen", default="1280x800", help="the display's size")
    p.add_argument("--scale", default="", help="QT_SCALE_FACTOR for the program")
    p.add_argument("--wm", action="store_true", help="only the placement run under a window manager")
    args = p.parse_args()
    os.makedirs(args.work, exist_ok=True)
    os.makedirs(args.artifacts, exist_ok=True)
    run = Run(args)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    return run.run()


if __name__ == "__main__":
    sys.exit(main())
