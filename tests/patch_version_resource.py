#!/usr/bin/env python3
"""Writes a copy of a DLL with one field of its version resource patched, as
a corrupt file on a scanner PC might have it.

Usage: patch_version_resource.py IN OUT FIELD VALUE
  FIELD: size    the resource directory's data size
         address the resource directory's data address (RVA)
         length  VS_VERSIONINFO's own 16-bit length
  VALUE: a number, 0x... for hexadecimal"""
import struct
import sys

from check_resources import RT_VERSION, resource_data_entries


def main():
    source, target, field, value = sys.argv[1:5]
    value = int(value, 0)
    with open(source, "rb") as f:
        data = bytearray(f.read())
    entry, _, _, start = resource_data_entries(data)[(RT_VERSION, 1)]
    if field == "address":
        struct.pack_into("<I", data, entry, value)
    elif field == "size":
        struct.pack_into("<I", data, entry + 4, value)
    elif field == "length":
        struct.pack_into("<H", data, start, value)
    else:
        sys.exit(f"unknown field {field}")
    with open(target, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
