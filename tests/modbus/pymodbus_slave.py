"""A Modbus RTU slave from python3-pymodbus on a serial device, for the
interoperability test: holding registers 0..9999 start at 0, input register
100 + i holds 1000 + i. Usage: pymodbus_slave.py DEVICE SLAVE"""
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer


def main():
    device, slave = sys.argv[1], int(sys.argv[2])
    inputs = [0] * 10000
    for i in range(100):
        inputs[100 + i] = 1000 + i
    store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, [0] * 10000),
                               ir=ModbusSequentialDataBlock(0, inputs),
                               zero_mode=True)
    context = ModbusServerContext(slaves={slave: store}, single=False)
    print("READY", flush=True)
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=device,
                      baudrate=115200, stopbits=2, bytesize=8, parity="N",
                      ignore_missing_slaves=True)


if __name__ == "__main__":
    main()
