#!/usr/bin/env python3
"""The MSI's tables, read with msitools, for what Wine's msiexec cannot
show: Wine writes every shortcut as a plain .lnk, installs unversioned
files, shows no Add/Remove Programs icon and ignores InstallerVersion.

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
SET_PROPERTY = 51  # "Custom Action Type 51", immediate


def table(msi, name):
    """The rows of one table as dicts by column name. msiinfo writes a
    binary column's streams into the current folder, so it runs in a
    scratch one."""
    with tempfile.TemporaryDirectory() as scratch:
        text = subprocess.run(["msiinfo", "export", os.path.abspath(msi), name],
                              capture_output=True, text=True, check=True,
                              cwd=scratch).stdout
    lines = text.splitlines()
    return [dict(zip(lines[0].split("\t"), line.split("\t")))
            for line in lines[3:]]


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
