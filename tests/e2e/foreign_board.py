"""A board built from a description document, served by the python3-pymodbus
RTU server: a Modbus slave whose framing and CRC are not ours.

Parameters are holding registers holding the document's values, variables
input registers (0 unless given), the standard variables are mirrored into
the status block at 9900. Function 23 on the transfer area answers identity,
languages, K and N tables; the description upload and the trace buffer are
not served (the simulated board covers them).

Usage: foreign_board.py DEVICE DOCUMENT [options]
  --slave N          answer as slave N (default: the document's MODBUS line)
  --identity TEXT    identity text in place of the document's Version
  --var NAME=VALUE   a variable's value
  --count NAME       the variable counts up by one at every read of it
  --follow VAR=PAR   the variable shows the parameter's registers

Prints "READY" once the port is open, "WRITE fc address words..." for every
register write from the line. Control lines on standard input:
  get ADDRESS [COUNT]       -> OK words... (holding registers)
  set ADDRESS WORD...       -> OK
  map                       -> OK kind,index,address... (parameters, then variables)
  quit
"""
import argparse
import asyncio
import logging
import os
import re
import struct
import sys
import threading

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer

REGISTERS = 10000
STATUS_BLOCK = 9900
TRANSFER_WRITE, TRANSFER_WRITE_COUNT = 10000, 3
TRANSFER_READ, TRANSFER_READ_COUNT = 10100, 125
PAGE_WORDS = 120

INT_RE = re.compile(r"\s*([+-]?\d+)")
FLOAT_RE = re.compile(r"\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)")


def read_int(text):
    m = INT_RE.match(text)
    return int(m.group(1)) if m else 0


def read_float(text):
    m = FLOAT_RE.match(text)
    return float(m.group(1)) if m else 0.0


class Item:
    def __init__(self, kind, index, name, value, keys):
        self.kind = kind  # p l f v w y
        self.index = index
        self.name = name
        self.value = value
        self.keys = keys
        self.address = 0

    @property
    def words(self):
        return 1 if self.kind in "pv" else 2


def split_line(line, keyset, is_float):
    """Index, name, value text and keys of a block, parameter or variable line."""
    start = next((i for i, c in enumerate(line) if c in "+-0123456789"), -1)
    if start < 0:
        return None
    cut = line[start:]
    index = read_int(cut)
    first = next((i for i, c in enumerate(cut) if c.isalpha()), -1)
    if first < 0:
        return None
    end = first
    while end < len(cut) and cut[end] not in "#=;":
        end += 1
    name = cut[first:end]
    rest = cut[end + 1:]
    value = rest
    keys = {}
    letters = set(keyset)
    while rest:
        at = next((i for i, c in enumerate(rest) if c in letters), -1)
        if at < 0:
            break
        letter = rest[at]
        letters.discard(letter)
        rest = rest[at + 2:]
        if not rest:
            break
        keys[letter] = read_float(rest) if is_float and letter in "mMd" else read_int(rest)
    return index, name, value, keys


class Board:
    """The register map and transfer answers of one description document."""

    def __init__(self, path):
        text = open(path, "rb").read().decode("cp1252")
        self.version = ""
        self.slave = 1
        self.k_table = [1]
        self.n_table = [1.0]
        self.languages = []
        self.dictionary = {}
        bases = [0]  # entry 0 stands for no block
        self.parameters = []
        self.variables = []
        for line in text.splitlines():
            if not line:
                continue
            head = line[0]
            if head == "V" and "=" in line:
                self.version = line.split("=", 1)[1].lstrip(" ").rstrip(";")
            elif head == "M" and "=" in line:
                self.slave = read_int(line.replace(" ", "").split("=", 1)[1]) & 0xFF
            elif head in "KN" and "=" in line:
                entries = line.replace(" ", "").split("=", 1)[1].split(";")[:-1][:100]
                if head == "K":
                    self.k_table = [read_int(e) for e in entries] or [1]
                else:
                    self.n_table = [read_float(e) for e in entries] or [1.0]
            elif head == "s" and "=" in line:
                e = line.index("=")
                code = line[e - 2:e] if e >= 2 else ""
                if len(code) == 2 and code.isalpha() and code.lower() not in [c.lower() for c in self.languages]:
                    self.languages.append(code)
                if "=[" in line and not self.dictionary:
                    for key, value in re.findall(r"\[([^\]]*)\]([^\[]*)", line[e + 1:]):
                        self.dictionary[key] = value
            elif head == "b":
                parts = split_line(line, "ba", False)
                if parts and parts[0] == len(bases):
                    bases.append(parts[3].get("b", 0))
            elif head in "plfvwy":
                is_par = head in "plf"
                parts = split_line(line, "mMdknsbvaup" if is_par else "knsbpvau", head == "f")
                if not parts or len(bases) < 2:
                    continue
                index, name, value, keys = parts
                target = self.parameters if is_par else self.variables
                if index != len(target):
                    continue
                if is_par:
                    value = read_float(value) if head == "f" else read_int(value)
                else:
                    value = 0
                item = Item(head, index, name, value, keys)
                block = keys.get("b", 0)
                if block <= 0 or block >= len(bases):
                    block = 1
                item.address = (10 * bases[block] + keys.get("p", 0)) & 0xFFFF
                target.append(item)
        self.std_variables = []
        by_name = {v.name: v for v in self.variables}
        i = 0
        while ("StdVariables#%d" % i) in self.dictionary:
            v = by_name.get(self.dictionary["StdVariables#%d" % i])
            if v is None:
                break
            self.std_variables.append(v)
            i += 1

    def parameter(self, name):
        return next((p for p in self.parameters if p.name == name), None)

    def variable(self, name):
        return next((v for v in self.variables if v.name == name), None)


def pack(kind, value):
    if kind in "pv":
        return [int(value) & 0xFFFF]
    if kind in "lw":
        bits = int(value) & 0xFFFFFFFF
    else:
        bits = struct.unpack("<I", struct.pack("<f", float(value)))[0]
    return [bits & 0xFFFF, bits >> 16]


def text_words(data):
    return [(data[i] << 8) | (data[i + 1] if i + 1 < len(data) else 0) for i in range(0, len(data), 2)]


class BoardContext(ModbusSlaveContext):
    """Register access by function code: holding and input registers below
    10000, the transfer area through function 23 only."""

    def __init__(self, board, identity, values, counting, following):
        super().__init__(zero_mode=True)
        self.board = board
        self.identity = identity
        self.lock = threading.Lock()
        self.holding = [0] * REGISTERS
        self.inputs = [0] * REGISTERS
        self.counting = counting
        self.following = following
        self.transfer = [0, 0, 0]
        for p in board.parameters:
            self.put(self.holding, p.address, pack(p.kind, p.value))
        for v, value in values:
            self.put(self.inputs, v.address, pack(v.kind, value))

    @staticmethod
    def put(table, address, words):
        for i, w in enumerate(words):
            if address + i < REGISTERS:
                table[address + i] = w

    def validate(self, fx, address, count=1):
        if fx == 23:
            return (address, count) in ((TRANSFER_WRITE, TRANSFER_WRITE_COUNT),
                                        (TRANSFER_READ, TRANSFER_READ_COUNT))
        if fx in (3, 4, 6, 16):
            return count >= 1 and address + count <= REGISTERS
        return False

    def setValues(self, fx, address, values):
        with self.lock:
            if fx == 23:
                self.transfer = list(values)
                return
            self.put(self.holding, address, values)
        print("WRITE %d %d %s" % (fx, address, " ".join(str(v) for v in values)), flush=True)

    def getValues(self, fx, address, count=1):
        with self.lock:
            if fx == 23:
                return self.page()
            if fx == 4:
                self.refresh(address, count)
                return self.inputs[address:address + count]
            return self.holding[address:address + count]

    def refresh(self, address, count):
        for v in self.counting:
            if address <= v.address < address + count:
                self.inputs[v.address] = (self.inputs[v.address] + 1) & 0xFFFF
        for v, p in self.following:
            self.put(self.inputs, v.address, self.holding[p.address:p.address + v.words])
        at = STATUS_BLOCK
        for v in self.board.std_variables:
            self.put(self.inputs, at, self.inputs[v.address:v.address + v.words])
            at += v.words

    def page(self):
        command, number = self.transfer[0], self.transfer[1]
        if command == 1:
            data = self.identity.encode("cp1252")
            words, total = text_words(data), len(data)
        elif command == 2:
            data = "".join(c + ";" for c in self.board.languages).encode("cp1252")
            words, total = text_words(data), len(data)
        elif command == 4:
            words = [k & 0xFFFF for k in self.board.k_table]
            total = len(words)
        elif command == 5:
            words = [w for n in self.board.n_table for w in pack("f", n)]
            total = len(words)
        else:
            # The datastore cannot pick the exception code: pymodbus answers 04.
            raise ValueError("transfer command %d is not served" % command)
        first = number * PAGE_WORDS
        if number > 0 and first >= len(words):
            raise ValueError("page %d beyond the data" % number)
        chunk = words[first:first + PAGE_WORDS]
        regs = [command, number, total & 0xFFFF, total >> 16, len(chunk)] + chunk
        return regs + [0] * (TRANSFER_READ_COUNT - len(regs))


def control(context):
    for line in sys.stdin:
        parts = line.split()
        if not parts:
            continue
        try:
            if parts[0] == "get":
                address = int(parts[1])
                count = int(parts[2]) if len(parts) > 2 else 1
                with context.lock:
                    words = context.holding[address:address + count]
                print("OK " + " ".join(str(w) for w in words), flush=True)
            elif parts[0] == "set":
                with context.lock:
                    context.put(context.holding, int(parts[1]), [int(w) & 0xFFFF for w in parts[2:]])
                print("OK", flush=True)
            elif parts[0] == "map":
                items = context.board.parameters + context.board.variables
                print("OK " + " ".join("%s,%d,%d" % (i.kind, i.index, i.address) for i in items), flush=True)
            elif parts[0] == "quit":
                break
            else:
                print("ERR unknown command", flush=True)
        except (IndexError, ValueError) as exc:
            print("ERR %s" % exc, flush=True)
    # End of input or quit: the test is done with the board.
    sys.stdout.flush()
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("document")
    parser.add_argument("--slave", type=int)
    parser.add_argument("--identity")
    parser.add_argument("--var", action="append", default=[])
    parser.add_argument("--count", action="append", default=[])
    parser.add_argument("--follow", action="append", default=[])
    args = parser.parse_args()

    # A transfer command we do not serve is an exception answer by design:
    # no traceback for it unless asked for.
    if not os.environ.get("FOREIGN_BOARD_DEBUG"):
        logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    board = Board(args.document)

    def variable(name):
        v = board.variable(name)
        if v is None:
            parser.error("no variable " + name)
        return v

    values = []
    for spec in args.var:
        name, value = spec.split("=", 1)
        v = variable(name)
        values.append((v, float(value) if v.kind == "y" else int(value)))
    counting = [variable(name) for name in args.count]
    following = []
    for spec in args.follow:
        name, par = spec.split("=", 1)
        p = board.parameter(par)
        if p is None:
            parser.error("no parameter " + par)
        following.append((variable(name), p))

    identity = args.identity if args.identity is not None else board.version
    slave = args.slave if args.slave is not None else board.slave
    context = BoardContext(board, identity, values, counting, following)
    server_context = ModbusServerContext(slaves={slave: context}, single=False)

    async def serve():
        server = await StartAsyncSerialServer(context=server_context, framer=ModbusRtuFramer,
                                              port=args.device, baudrate=115200, stopbits=2,
                                              bytesize=8, parity="N", ignore_missing_slaves=True,
                                              defer_start=True)
        await server.start()
        if server.transport is None:
            print("ERR cannot open " + args.device, flush=True)
            return
        print("READY", flush=True)
        threading.Thread(target=control, args=(context,), daemon=True).start()
        await server.serve_forever()

    asyncio.run(serve())


if __name__ == "__main__":
    main()
