#!/usr/bin/env python3
"""Checks the release's winget manifests: every field that Microsoft's
manifest schemas of version 1.12.0 require (the version, installer and
defaultLocale schemas of the winget-pkgs repository), a zip installer
with both exes as portable nested installers and the zip's SHA-256, and a
wix installer for the machine with the MSI's SHA-256 and ProductCode.

Usage: check_winget.py DIST
"""
import glob
import hashlib
import os
import re
import subprocess
import sys

import yaml

REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale",
                "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers",
                  "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale",
                      "Publisher", "PackageName", "License",
                      "ShortDescription", "ManifestType", "ManifestVersion"],
}
INSTALLER_REQUIRED = ["Architecture", "InstallerUrl", "InstallerSha256"]

failures = []


def check(holds, what):
    print(("ok   " if holds else "FAIL ") + what)
    if not holds:
        failures.append(what)


def main():
    dist = sys.argv[1]
    manifests = {}
    for path in glob.glob(os.path.join(dist, "winget", "*.yaml")):
        with open(path, encoding="utf-8") as f:
            manifest = yaml.safe_load(f)
        manifests[manifest.get("ManifestType")] = manifest
    check(sorted(manifests) == sorted(REQUIRED),
          "winget: a version, an installer and a defaultLocale manifest")
    for kind, fields in REQUIRED.items():
        manifest = manifests.get(kind, {})
        missing = [field for field in fields if field not in manifest]
        check(not missing and manifest.get("ManifestVersion") == "1.12.0",
              f"winget {kind}: 1.12.0 with every required field"
              + (f" (missing {missing})" if missing else ""))

    installer = manifests.get("installer", {})
    entries = installer.get("Installers") or []
    for entry in entries:
        check(all(field in entry for field in INSTALLER_REQUIRED) and
              entry.get("Architecture") == "x86",
              "winget installer: x86 with URL and SHA-256")
    by_type = {entry.get("InstallerType"): entry for entry in entries}
    check(sorted(by_type) == ["wix", "zip"] and len(entries) == 2,
          "winget installer: one zip and one wix installer")
    (zip_path,) = glob.glob(os.path.join(dist, "*-win32.zip"))
    (msi_path,) = glob.glob(os.path.join(dist, "*-x86.msi"))
    for kind, path in (("zip", zip_path), ("wix", msi_path)):
        entry = by_type.get(kind, {})
        with open(path, "rb") as f:
            sha256 = hashlib.sha256(f.read()).hexdigest().upper()
        check(entry.get("InstallerSha256") == sha256,
              f"winget {kind} installer: its SHA-256 is the file's")
        check(str(entry.get("InstallerUrl", "")).endswith(
            os.path.basename(path)), f"winget {kind} installer: its URL is the file's")
    folder = os.path.basename(zip_path)[:-4]
    zipped = by_type.get("zip", {})
    nested = {item.get("RelativeFilePath"): item.get("PortableCommandAlias")
              for item in zipped.get("NestedInstallerFiles", [])}
    check(zipped.get("NestedInstallerType") == "portable" and
          nested == {f"{folder}\\VRPSettingTool.exe": "VRPSettingTool",
                     f"{folder}\\vrpset.exe": "vrpset"},
          "winget zip installer: both exes portable as VRPSettingTool and vrpset")
    product = subprocess.run(["msiinfo", "export", msi_path, "Property"],
                             capture_output=True, text=True).stdout
    code = re.search(r"^ProductCode\t(\S+)", product, re.M)
    check(by_type.get("wix", {}).get("Scope") == "machine" and code and
          by_type["wix"].get("ProductCode") == code.group(1),
          "winget wix installer: for the machine, with the MSI's ProductCode")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
