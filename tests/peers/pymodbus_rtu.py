#!/usr/bin/python3
"""A Modbus RTU server that nobody here wrote: pymodbus on the serial device
given, at 19200 baud, 8N1, serving three stations and staying silent for
every other one:
  5  a device without register 60: it answers exception 2
  6  a device whose register 60 holds 0x1234
  7  an instrument of the family (register 60 holds 0x4000) that says who it
     is when asked (vendor, product code, revision)
  pymodbus_rtu.py DEVICE
"""
import logging
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.device import ModbusDeviceIdentification
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer


def station(registers):
    block = ModbusSequentialDataBlock(0, registers)
    return ModbusSlaveContext(hr=block, zero_mode=True)


def main():
    logging.disable(logging.CRITICAL)
    with_60 = [0] * 70
    other = list(with_60)
    other[60] = 0x1234
    family = list(with_60)
    family[60] = 0x4000
    context = ModbusServerContext(
        slaves={5: station([0] * 10), 6: station(other), 7: station(family)},
        single=False)
    identity = ModbusDeviceIdentification(info_name={
        "VendorName": "VKT Test Works",
        "ProductCode": "LX-7",
        "MajorMinorRevision": "3.1",
    })
    StartSerialServer(context=context, identity=identity, framer=ModbusRtuFramer,
                      port=sys.argv[1], baudrate=19200, bytesize=8, parity="N",
                      stopbits=1, timeout=0.005, ignore_missing_slaves=True)


if __name__ == "__main__":
    main()
