#!/usr/bin/env python3
"""Reads the resources back out of a built VRPSettingTool.exe (either
machine) and checks them: the two dialog templates, the About string, the
icon, the version resource and the application manifest. For vrpset.exe,
its version resource and manifest.

Usage: check_resources.py EXE"""
import struct
import sys

RT_ICON_GROUP, RT_DIALOG, RT_STRING, RT_VERSION, RT_MANIFEST = 14, 5, 6, 16, 24

WS_POPUP, WS_VISIBLE, WS_CAPTION = 0x80000000, 0x10000000, 0x00C00000
WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x00080000, 0x00020000, 0x00010000
WS_GROUP, WS_TABSTOP, WS_CHILD = 0x00020000, 0x00010000, 0x40000000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
WS_EX_APPWINDOW = 0x40000
BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, SS_ICON, SS_NOPREFIX = 1, 3, 3, 0x80
# A control's class, by its predefined ordinal or by name: the same to Windows.
CLASS_NAMES = {0x80: "BUTTON", 0x82: "STATIC"}
BUTTON, STATIC = "BUTTON", "STATIC"

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def read_resources(data):
    """Returns {(type, name): bytes} for the first language of each."""
    return {key: data[start:start + size] for key, (_, _, size, start)
            in resource_data_entries(data).items()}


def resource_data_entries(data):
    """Returns {(type, name): (entry offset, RVA, size, data offset)} for the
    first language of each: where in the file the resource's data entry
    lies, what it says, and where its data lies."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size

    def file_offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from(
                "<IIII", data, table + 40 * i + 8)
            if address <= rva < address + max(size, 1):
                return rva - address + raw
        raise ValueError("RVA outside every section")

    base = file_offset(resource_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + ids):
            key, target = struct.unpack_from("<II", data,
                                             base + offset + 16 + 8 * i)
            yield key, target

    found = {}
    for rtype, type_dir in entries(0):
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            _, leaf = next(entries(name_dir & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            found[(rtype, name)] = (base + leaf, rva, size, file_offset(rva))
    return found


def utf16z(blob, offset):
    end = offset
    while blob[end:end + 2] != b"\0\0":
        end += 2
    return blob[offset:end].decode("utf-16-le"), end + 2


def sz_or_ord(blob, offset):
    if blob[offset:offset + 2] == b"\xff\xff":
        return struct.unpack_from("<H", blob, offset + 2)[0], offset + 4
    return utf16z(blob, offset)


def parse_dialog(blob):
    (_, signature, _, ex_style, style, count, x, y, cx, cy) = struct.unpack_from(
        "<HHIIIHhhhh", blob, 0)
    assert signature == 0xFFFF, "not a DIALOGEX template"
    offset = 26
    _, offset = sz_or_ord(blob, offset)  # menu
    _, offset = sz_or_ord(blob, offset)  # class
    title, offset = utf16z(blob, offset)
    points, _, _, _ = struct.unpack_from("<HHBB", blob, offset)
    font, offset = utf16z(blob, offset + 6)
    dialog = dict(style=style, ex_style=ex_style, rect=(x, y, cx, cy),
                  title=title, font=(points, font), items=[])
    for _ in range(count):
        offset = (offset + 3) & ~3
        _, _, item_style, ix, iy, icx, icy, item_id = struct.unpack_from(
            "<IIIhhhhi", blob, offset)
        cls, offset = sz_or_ord(blob, offset + 24)
        cls = CLASS_NAMES.get(cls, str(cls).upper())
        text, offset = sz_or_ord(blob, offset)
        extra = struct.unpack_from("<H", blob, offset)[0]
        offset += 2 + extra
        dialog["items"].append(dict(cls=cls, text=text, id=item_id,
                                    style=item_style,
                                    rect=(ix, iy, icx, icy)))
    return dialog


def check_dialog(dialog, name, title, rect, style_on, style_off, ex_style,
                 items):
    check(dialog["title"] == title, f"{name}: caption {title!r}")
    check(dialog["rect"][2:] == rect, f"{name}: size {rect}")
    check(dialog["font"] == (8, "MS Sans Serif"), f"{name}: MS Sans Serif 8")
    check(dialog["style"] & style_on == style_on, f"{name}: styles set")
    check(dialog["style"] & style_off == 0,
          f"{name}: no system menu, minimise or maximise box")
    check(dialog["ex_style"] & ex_style == ex_style,
          f"{name}: extended style {ex_style:#x}")
    check(len(dialog["items"]) == len(items), f"{name}: {len(items)} controls")
    for got, (cls, text, item_id, item_rect, kind, flags) in zip(
            dialog["items"], items):
        what = f"{name}: control {text!r}"
        check(got["cls"] == cls and got["text"] == text and
              got["id"] == item_id and got["rect"] == item_rect, what)
        check(got["style"] & 0xF == kind and got["style"] & flags == flags and
              got["style"] & WS_CHILD, what + " styles")


def parse_version(blob):
    """Returns (fixed file info words, {string: value}, translations)."""
    strings, translations, fixed = {}, [], None

    def node(offset, path):
        nonlocal fixed
        length, value_length, kind = struct.unpack_from("<HHH", blob, offset)
        key, cursor = utf16z(blob, offset + 6)
        cursor = (cursor + 3) & ~3
        if kind == 1:
            value = blob[cursor:cursor + 2 * value_length].decode(
                "utf-16-le").rstrip("\0")
            strings[key] = value
            cursor += 2 * value_length
        else:
            value = blob[cursor:cursor + value_length]
            if key == "VS_VERSION_INFO":
                fixed = struct.unpack_from("<13I", value)
            elif key == "Translation":
                translations.extend(struct.unpack_from(
                    f"<{value_length // 2}H", value))
            cursor += value_length
        end = offset + length
        while True:
            cursor = (cursor + 3) & ~3
            if cursor >= end:
                break
            cursor = node(cursor, path + [key])
        return end

    node(0, [])
    return fixed, strings, translations


def version_text(version):
    """The resources' form of a version "1.0.0": "1, 0, 0, 0"."""
    return ", ".join(version.split(".") + ["0"])


def check_console_program(resources, version):
    """vrpset.exe: a version resource of its own, and a manifest that asks
    for no elevation."""
    _, strings, translations = parse_version(resources[(RT_VERSION, 1)])
    check(strings.get("OriginalFilename") == "vrpset.exe" and
          strings.get("FileVersion") == version_text(version),
          f"version resource of vrpset.exe {version_text(version)}")
    check(translations == [0x0409, 1200], "one translation: US English, Unicode")
    manifest = resources[(RT_MANIFEST, 1)].decode("utf-8")
    check('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'
          in manifest, "manifest asks for the invoker's rights, no prompt")
    check(not any(rtype == RT_DIALOG for rtype, _ in resources),
          "no dialogs in the console program")


def main():
    """check_resources.py EXE VERSION (the project's "1.0.0")."""
    with open(sys.argv[1], "rb") as f:
        resources = read_resources(f.read())
    version = sys.argv[2]
    major, minor, patch = (int(part) for part in version.split("."))
    if sys.argv[1].lower().endswith("vrpset.exe"):
        check_console_program(resources, version)
        print(f"resources: {'FAILED' if failures else 'all as built'}")
        return 1 if failures else 0

    check_dialog(
        parse_dialog(resources[(RT_DIALOG, 102)]), "IDD_MAIN",
        "VRP Setting Tool", (179, 76),
        WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
        WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, WS_EX_APPWINDOW, [
            (BUTTON, "OK", 1, (68, 54, 50, 14), BS_DEFPUSHBUTTON, WS_TABSTOP),
            (BUTTON, "Cancel", 2, (122, 54, 50, 14), 0, WS_TABSTOP),
            (STATIC, "Target Scanner:\nRX-M7720B/RX-M7710B", -1,
             (40, 26, 121, 18), 0, WS_GROUP),
            (BUTTON, "VRP(Default:Off)", 1000, (23, 10, 119, 14),
             BS_AUTOCHECKBOX, WS_GROUP | WS_TABSTOP),
        ])
    check_dialog(
        parse_dialog(resources[(RT_DIALOG, 100)]), "IDD_ABOUTBOX",
        "About VRP Setting Tool", (235, 65),
        WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
        WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, [
            (STATIC, 128, -1, (11, 17, 20, 20), SS_ICON, 0),
            (STATIC, f"VRP Setting Tool Version {major}.{minor}", -1, (40, 10, 119, 8), 0,
             SS_NOPREFIX | WS_GROUP),
            (STATIC, "Copyright (C) 2026 Norvel Corporation. All rights "
             "reserved.", -1, (40, 25, 188, 8), 0, WS_GROUP),
            (BUTTON, "OK", 1, (88, 44, 50, 14), BS_DEFPUSHBUTTON,
             WS_GROUP | WS_TABSTOP),
        ])

    block = resources[(RT_STRING, 101 // 16 + 1)]
    offset = 0
    for _ in range(101 % 16):
        offset += 2 + 2 * struct.unpack_from("<H", block, offset)[0]
    length = struct.unpack_from("<H", block, offset)[0]
    about = block[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
    check(about == "&About Kelvane...", "IDS_ABOUTBOX is '&About Kelvane...'")

    group = resources[(RT_ICON_GROUP, 128)]
    count = struct.unpack_from("<H", group, 4)[0]
    images = sorted(struct.unpack_from("<BBBBHH", group, 6 + 14 * i)
                    for i in range(count))
    check([(w, h, colours, bits) for w, h, colours, _, _, bits in images] ==
          [(16, 16, 16, 4), (32, 32, 16, 4)],
          "IDR_MAINFRAME: 32x32 and 16x16, 16 colours")

    fixed, strings, translations = parse_version(resources[(RT_VERSION, 1)])
    numbers = (major << 16 | minor, patch << 16)
    check(fixed[0] == 0xFEEF04BD and fixed[2:6] == numbers * 2,
          f"file and product version {version}.0")
    expected = {
        "Comments": "", "CompanyName": "",
        "FileDescription": "VRPSettingTool MFC Application",
        "FileVersion": version_text(version), "InternalName": "VRPSettingTool",
        "LegalCopyright":
            "Copyright (C) 2026 Norvel Corporation. All rights reserved.",
        "LegalTrademarks": "", "OriginalFilename": "VRPSettingTool.EXE",
        "PrivateBuild": "", "ProductName": "VRPSettingTool",
        "ProductVersion": version_text(version), "SpecialBuild": ""}
    for key, value in expected.items():
        check(strings.get(key) == value, f"version string {key} = {value!r}")
    check(translations == [0x0409, 1200], "one translation: US English, Unicode")

    manifest = resources[(RT_MANIFEST, 1)].decode("utf-8")
    check('<requestedExecutionLevel level="highestAvailable" '
          'uiAccess="false"/>' in manifest,
          "manifest asks for the highest available execution level")
    for os_id, os_name in [
            ("e2011457-1546-43c5-a5fe-008deee3d3f0", "Vista"),
            ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "7"),
            ("4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "8"),
            ("1f676c76-80e1-4239-95bb-83d0f6d0da78", "8.1"),
            ("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", "10 and 11")]:
        check(f'<supportedOS Id="{{{os_id}}}"/>' in manifest,
              f"manifest supports Windows {os_name}")

    check('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'
          in manifest and 'publicKeyToken="6595b64144ccf1df"' in manifest,
          "manifest depends on common controls 6 (visual styles)")
    check(">PerMonitorV2</dpiAwareness>" in manifest and
          ">true</dpiAware>" in manifest,
          "manifest: per-monitor DPI aware, system-aware as the fallback")

    print(f"resources: {'FAILED' if failures else 'all as built'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
