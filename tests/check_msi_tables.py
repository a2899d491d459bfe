#!/usr/bin/env python3
"""The MSI's tables, read with msitools, for what Wine's msiexec cannot
show: Wine writes every shortcut as a plain .lnk, installs unversioned
files, shows no Add/Remove Programs icon and ignores InstallerVersion; and
the validation rules that packaging teams run (Orca, ICE) which apply to
this package, as table checks: ICE03 (key and required columns, types,
lengths, the references between tables), ICE43 and ICE57 (the shortcut's
component), ICE60 (versioned files have a language) and ICE61 (the
Upgrade table; its one warning, the same-version upgrade, is deliberate
and the README says why).

Usage: check_msi_tables.py MSI VERSION README
  VERSION: the project version x.y.z; README: README.md, whose minimum
  Windows for the MSI must be the one its InstallerVersion needs.
"""
import os
import re
import subprocess
import sys
import tempfile

# The Windows that first shipped each Windows Installer version
# ("Released Versions of Windows Installer").
SHIPPED_WITH = {500: "Windows 7", 405: "Windows Vista SP2", 400: "Windows Vista",
                301: "Windows XP SP2"}
VERSION_MAX_INCLUSIVE = 0x200  # "Upgrade Table"
VERSION_MIN_INCLUSIVE = 0x100
VERSION_ONLY_DETECT = 0x2
SET_PROPERTY = 51  # "Custom Action Type 51", immediate
REGISTRY_KEY_PATH = 0x4  # "Component Table": KeyPath names a Registry row
HKCU, HKLM, EITHER = 1, 2, -1  # "Registry Table": Root
# The references between the tables this package has ("ICE03"): column,
# and the table whose key it names.
REFERENCES = {
    ("Component", "Directory_"): "Directory",
    ("File", "Component_"): "Component",
    ("FeatureComponents", "Feature_"): "Feature",
    ("FeatureComponents", "Component_"): "Component",
    ("Shortcut", "Component_"): "Component",
    ("Shortcut", "Directory_"): "Directory",
    ("Shortcut", "Icon_"): "Icon",
    ("Registry", "Component_"): "Component",
    ("MsiFileHash", "File_"): "File",
    ("Directory", "Directory_Parent"): "Directory",
}


def export(msi, name):
    """One table as msiinfo exports it: its column names, their types
    (s72, I2, ...), its key columns and its rows as lists. msiinfo writes a
    binary column's streams into the current folder, so it runs in a
    scratch one."""
    with tempfile.TemporaryDirectory() as scratch:
        text = subprocess.run(["msiinfo", "export", os.path.abspath(msi), name],
                              capture_output=True, text=True, check=True,
                              cwd=scratch).stdout
    lines = text.split("\r\n") if "\r\n" in text else text.splitlines()
    lines = [line for line in lines if line != ""]
    return (lines[0].split("\t"), lines[1].split("\t"),
            lines[2].split("\t")[1:], [line.split("\t") for line in lines[3:]])


def table(msi, name):
    """The rows of one table as dicts by column name."""
    columns, _, _, rows = export(msi, name)
    return [dict(zip(columns, row)) for row in rows]


def ice03(msi, check):
    """Every table: keys unique, required columns set, integers whole
    numbers, strings within their length, and every reference naming a row
    that exists."""
    tables = subprocess.run(["msiinfo", "tables", msi], capture_output=True,
                            text=True, check=True).stdout.split()
    keys = {}
    problems = []
    contents = {}
    for name in tables:
        if name.startswith("_"):
            continue
        columns, types, key_columns, rows = export(msi, name)
        contents[name] = (columns, rows)
        key_at = [columns.index(key) for key in key_columns]
        seen = set()
        for row in rows:
            key = tuple(row[i] for i in key_at)
            if key in seen or any(row[i] == "" and types[i][0].islower()
                                  for i in key_at):
                problems.append(f"{name} {key}: key repeated or empty")
            seen.add(key)
            for column, kind, value in zip(columns, types, row):
                if value == "":
                    if kind[0].islower():
                        problems.append(f"{name}.{column} is required, empty")
                elif kind[0] in "iI":
                    if not re.fullmatch(r"-?\d+", value):
                        problems.append(f"{name}.{column} {value!r} is no integer")
                elif kind[0] in "sSlL" and int(kind[1:]) and \
                        len(value) > int(kind[1:]):
                    problems.append(f"{name}.{column} is longer than {kind[1:]}")
        keys[name] = {row[key_at[0]] for row in rows} if key_at else set()
    for (name, column), target in REFERENCES.items():
        if name not in contents:
            continue
        columns, rows = contents[name]
        at = columns.index(column)
        for row in rows:
            if row[at] and row[at] not in keys.get(target, set()) and \
                    not (column == "Directory_Parent" and row[at] == row[0]):
                problems.append(f"{name}.{column} {row[at]!r} names no {target}")
    check(not problems, "ICE03: keys unique and set, required columns set, "
          "types, lengths and references hold" +
          (f" (not: {'; '.join(problems)})" if problems else ""))
    return contents


def main():
    msi, version, readme = sys.argv[1:4]
    failures = []

    def check(holds, what):
        print(("ok   " if holds else "FAIL ") + what)
        if not holds:
            failures.append(what)

    files = {row["File"]: row for row in table(msi, "File")}
    icons = {row["Name"] for row in table(msi, "Icon")}
    features = {row["Feature"] for row in table(msi, "Feature")}
    properties = {row["Property"]: row["Value"]
                  for row in table(msi, "Property")}

    # "Shortcut Table": a Target that names a feature makes an advertised
    # shortcut, which checks the feature's components whenever it is started
    # and repairs from the source MSI; "[#file]" makes an ordinary one.
    shortcut = next(row for row in table(msi, "Shortcut")
                    if row["Shortcut"] == "StartMenu")
    check(shortcut["Target"] not in features and
          re.fullmatch(r"\[#([^\]]+)\]", shortcut["Target"]) is not None and
          shortcut["Target"][2:-1] == "VRPSettingTool.exe",
          f"the Start-menu shortcut is not advertised: its target is "
          f"{shortcut['Target']!r}, the dialog's file key")
    check(shortcut["Icon_"] in icons,
          f"the shortcut's icon {shortcut['Icon_']!r} is in the Icon table")
    check(properties.get("ARPPRODUCTICON") in icons,
          f"ARPPRODUCTICON {properties.get('ARPPRODUCTICON')!r} is in the "
          "Icon table")

    # ICE43: a shortcut that is not advertised lives in a component whose
    # key path is a registry value under HKEY_CURRENT_USER, which tells
    # Windows Installer whether it is installed for this user. ICE57: a
    # component holds per-user data (HKCU values, such shortcuts) with an
    # HKCU key path only, and per-machine data (files, HKLM values) without
    # any per-user data; a value of either root (-1) mixes with neither.
    ice03(msi, check)
    components = {row["Component"]: row for row in table(msi, "Component")}
    registry = {row["Registry"]: row for row in table(msi, "Registry")}
    shortcuts = table(msi, "Shortcut")

    def hkcu_key_path(component):
        row = components[component]
        return (int(row["Attributes"]) & REGISTRY_KEY_PATH != 0 and
                row["KeyPath"] in registry and
                int(registry[row["KeyPath"]]["Root"]) == HKCU)

    for row in shortcuts:
        if row["Target"] not in features:
            check(hkcu_key_path(row["Component_"]),
                  f"ICE43: the shortcut {row['Shortcut']!r} is in component "
                  f"{row['Component_']!r}, whose key path is an HKCU registry "
                  "value")
    for name in sorted(components):
        roots = {int(r["Root"]) for r in registry.values()
                 if r["Component_"] == name}
        per_user = HKCU in roots or any(
            row["Component_"] == name and row["Target"] not in features
            for row in shortcuts)
        per_machine = HKLM in roots or any(
            row["Component_"] == name for row in files.values())
        if per_user:
            holds = hkcu_key_path(name) and not per_machine and EITHER not in roots
        else:
            holds = EITHER not in roots or not per_machine
        check(holds, f"ICE57: component {name!r} keeps per-user and "
              "per-machine data apart, its key path of the same kind")

    # ICE60: a versioned file (a version, not a companion file's key, and
    # no font) has a language: the exes' Translation entries in res/*.rc.
    for exe, rc in (("VRPSettingTool.exe", "res/VRPSettingTool.rc"),
                    ("vrpset.exe", "res/vrpset.rc")):
        with open(rc, encoding="utf-8") as f:
            language = re.search(r'VALUE "Translation",\s*(0x[0-9A-Fa-f]+|\d+)',
                                 f.read()).group(1)
        check(files[exe]["Language"] == str(int(language, 0)),
              f"ICE60: {exe} has File.Language {files[exe]['Language']!r}, "
              f"its Translation entry's {int(language, 0)} ({rc})")
    check(all(row["Language"] for row in files.values()
              if re.fullmatch(r"\d+(\.\d+){1,3}", row["Version"])),
          "ICE60: every versioned file has a language")

    # "File Table": a file without a Version is unversioned, replaced by its
    # hash and dates; an exe is versioned, and has no MsiFileHash row.
    hashed = {row["File_"] for row in table(msi, "MsiFileHash")}
    for exe in ("VRPSettingTool.exe", "vrpset.exe"):
        check(files[exe]["Version"] == version + ".0" and exe not in hashed,
              f"{exe} is versioned {files[exe]['Version']!r} (its version "
              f"resource says {version}.0), with no hash")

    # ARPINSTALLLOCATION: set by an immediate action once costing has
    # resolved the folder, before the product is registered.
    actions = {row["Action"]: row for row in table(msi, "CustomAction")}
    sequence = {row["Action"]: int(row["Sequence"])
                for row in table(msi, "InstallExecuteSequence")}
    location = actions.get("SetInstallLocation", {})
    check(location.get("Type") == str(SET_PROPERTY) and
          location.get("Source") == "ARPINSTALLLOCATION" and
          location.get("Target") == "[INSTALLDIR]" and
          sequence["CostFinalize"] < sequence.get("SetInstallLocation", 0)
          < sequence["InstallValidate"],
          "ARPINSTALLLOCATION is set to [INSTALLDIR] after CostFinalize, "
          "immediately")

    # "Changing the Product Code": each build has its own ProductCode, so
    # a second build of the same version must upgrade the first (maximum
    # inclusive) and not count as a downgrade (minimum exclusive).
    upgrades = table(msi, "Upgrade")
    check(any(row["VersionMax"] == version and
              int(row["Attributes"]) & VERSION_MAX_INCLUSIVE
              for row in upgrades),
          f"a build of {version} replaces any other build of {version}")
    check(all(not int(row["Attributes"]) & VERSION_MIN_INCLUSIVE
              for row in upgrades if row["VersionMin"] == version),
          f"another build of {version} is no downgrade")

    # ICE61, row by row; and the UpgradeCode, in the same letters wherever
    # it stands (Windows Installer compares GUIDs as text).
    product_version = properties.get("ProductVersion", "")
    secure = properties.get("SecureCustomProperties", "").split(";")
    action_properties = [row["ActionProperty"] for row in upgrades]

    def version_key(text):
        return tuple(int(part) for part in text.split("."))

    for row in upgrades:
        name = row["ActionProperty"]
        check(name == name.upper() and name in secure and
              name not in properties and action_properties.count(name) == 1,
              f"ICE61: {name} is public, secure, not set in the Property "
              "table and used once")
        versions = [row[v] for v in ("VersionMin", "VersionMax") if row[v]]
        check(versions and all(re.fullmatch(r"\d+(\.\d+){0,3}", v)
                               for v in versions) and
              (len(versions) < 2 or version_key(versions[0]) <=
               version_key(versions[1])),
              f"ICE61: {name}'s versions {versions} are product versions, "
              "the least first")
        attributes = int(row["Attributes"])
        removes_same_or_newer = (
            not attributes & VERSION_ONLY_DETECT and (
                not row["VersionMax"] or
                version_key(row["VersionMax"]) > version_key(product_version) or
                (row["VersionMax"] == product_version and
                 attributes & VERSION_MAX_INCLUSIVE)))
        if removes_same_or_newer:
            deliberate = (row["VersionMax"] == product_version and
                          name == "WIX_UPGRADE_DETECTED")
            check(deliberate and "ICE61" in " ".join(open(readme, encoding="utf-8").read().split()),
                  f"ICE61 warns of {name}, which removes {product_version} or newer "
                  "(itself): deliberate only for another build of the same version, "
                  "and the README says so")
    codes = [properties.get("UpgradeCode", "")] + [row["UpgradeCode"]
                                                   for row in upgrades]
    check(len(set(codes)) == 1 and codes[0] == codes[0].upper(),
          f"the UpgradeCode is the same, upper case, in every table: {codes}")

    # InstallerVersion is the summary's page count; the README names the
    # Windows the MSI needs.
    summary = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True,
                             text=True, check=True).stdout
    needed = int(re.search(r"^Version: (\d+)", summary, re.M).group(1))
    with open(readme, encoding="utf-8") as f:
        text = " ".join(f.read().split())
    wanted = (f"Windows Installer {needed // 100}.{needed % 100}"
              f" ({SHIPPED_WITH.get(needed, '?')}")
    check(wanted in text,
          f"InstallerVersion {needed}: the README says \"{wanted} ...\"")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
