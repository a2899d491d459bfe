#!/usr/bin/env python3
"""Writes a release's files from the exes already in DIST (signed or not)
and their linker maps, in three steps that release.sh runs in turn:

  texts: README.txt (naming the commit) and THIRD-PARTY-NOTICES.txt into
         STAGE;
  msi:   the Windows Installer package into DIST, with wixl, from the exes
         in DIST and the texts in STAGE (release.sh then signs it);
  pack:  the zip, the CycloneDX SBOM (naming the commit), with a URL base
         the winget manifests (the zip and the MSI), and SHA256SUMS of
         every file.

Every file is the same for the same inputs: times come from
SOURCE_DATE_EPOCH, entries are sorted, codes are derived from every input
of the package, nothing of the machine goes in.

Usage: package_release.py texts VERSION COMMIT MAPS STAGE
       package_release.py msi VERSION STAGE DIST [URL_BASE]
       package_release.py pack VERSION COMMIT MAPS STAGE DIST [URL_BASE]
  MAPS: the folder holding VRPSettingTool.exe.map and vrpset.exe.map
"""
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import time
import uuid
import zipfile

EXES = ["VRPSettingTool.exe", "vrpset.exe"]
TEXTS = ["README.txt", "THIRD-PARTY-NOTICES.txt"]
PUBLISHER = "Norvel Corporation"
PACKAGE_ID = "Norvel.VRPSettingTool"
WXS = "packaging/VRPSettingTool.wxs"
ICON = "res/VRPSettingTool.ico"
# Never changes: it is how Windows Installer knows every version of the
# product (packaging/VRPSettingTool.wxs).
UPGRADE_CODE = "{877EAFED-9381-4A2A-A160-FD7878343D61}"
# The SBOM's name for the URL base the release was made with
# (scripts/verify-release.sh prints it and rebuilds with it).
URL_BASE_PROPERTY = "norvel:release:url-base"

# What the link pulls in, by the Debian package that ships it: the
# component's name, its licence as an SPDX expression (from the package's
# copyright file), and which of the package's files belong to it.
COMPONENTS = [
    ("winpthreads", "mingw-w64-i686-dev", "MIT AND BSD-3-Clause",
     re.compile(r"/libpthread\.a$")),
    ("mingw-w64-runtime", "mingw-w64-i686-dev",
     "ZPL-2.1 AND LicenseRef-public-domain",
     re.compile(r".*")),
    ("libstdc++", "g++-mingw-w64-i686-posix",
     "GPL-3.0-or-later WITH GCC-exception-3.1",
     re.compile(r"/libstdc\+\+\.a$")),
    ("libgcc", "gcc-mingw-w64-i686-posix",
     "GPL-3.0-or-later WITH GCC-exception-3.1",
     re.compile(r".*")),
]
# The tool chain that built the exes.
TOOLS = ["g++-mingw-w64-i686-posix", "binutils-mingw-w64-i686"]


def package_of(path):
    """The Debian package that ships a file."""
    real = os.path.realpath(path)
    out = subprocess.run(["dpkg", "-S", real], capture_output=True,
                         text=True, check=True).stdout
    return out.split(":", 1)[0]


def package_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                          capture_output=True, text=True, check=True).stdout


def package_arch(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Architecture}", package],
                          capture_output=True, text=True, check=True).stdout


def purl(package):
    version = package_version(package).replace("+", "%2B").replace(":", "%3A")
    return f"pkg:deb/debian/{package}@{version}?arch={package_arch(package)}"


def linked_files(map_path):
    """The system's files a linker map says went into the exe: the archive
    members it included and the objects it loaded."""
    files = set()
    with open(map_path, encoding="utf-8", errors="replace") as text:
        for line in text:
            member = re.match(r"^(/\S+?\.a)\(", line)
            if member:
                files.add(os.path.normpath(member.group(1)))
            loaded = re.match(r"^LOAD (/usr/\S+\.o)$", line.strip())
            if loaded:
                files.add(os.path.normpath(loaded.group(1)))
    return files


def components_of(files):
    """{component name: (package, licence, [file names])}."""
    found = {}
    for path in sorted(files):
        package = package_of(path)
        for name, owner, licence, pattern in COMPONENTS:
            if owner == package and pattern.search(path):
                found.setdefault(name, (package, licence, []))[2].append(
                    os.path.basename(path))
                break
        else:
            sys.exit(f"no component for {path} ({package})")
    return found


def hashes(path):
    with open(path, "rb") as f:
        data = f.read()
    return {"SHA-256": hashlib.sha256(data).hexdigest(),
            "SHA-512": hashlib.sha512(data).hexdigest()}


def notices(components):
    """THIRD-PARTY-NOTICES.txt: what is linked in, and each package's
    copyright file as Debian gives it."""
    lines = ["Third-party software in VRPSettingTool.exe and vrpset.exe",
             "",
             "Both exes are statically linked with the following parts of the",
             "MinGW-w64 tool chain, as Debian packages them. Each package's",
             "copyright file follows in full; the GCC Runtime Library",
             "Exception, under which libgcc and libstdc++ are linked into",
             "programs of any licence, is part of GCC's.", ""]
    for name, (package, licence, files) in sorted(components.items()):
        lines.append(f"- {name} ({licence}): {', '.join(sorted(set(files)))}")
        lines.append(f"  from the Debian package {package} "
                     f"{package_version(package)}")
    for package in sorted({package for package, _, _ in components.values()}):
        lines += ["", "=" * 72, f"{package}: /usr/share/doc/{package}/copyright",
                  "=" * 72, ""]
        with open(f"/usr/share/doc/{package}/copyright", encoding="utf-8") as f:
            lines += f.read().splitlines()
    return "\r\n".join(lines) + "\r\n"


def write_zip(path, folder, entries, epoch):
    """A zip that is the same bytes for the same entries: sorted, fixed
    times and modes, no extra fields."""
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(path, "w") as archive:
        folder_info = zipfile.ZipInfo(folder + "/", stamp)
        folder_info.external_attr = 0o40755 << 16 | 0x10
        folder_info.create_system = 3
        archive.writestr(folder_info, b"")
        for name in sorted(entries):
            info = zipfile.ZipInfo(f"{folder}/{name}", stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o100644 << 16
            info.create_system = 3
            archive.writestr(info, entries[name], compresslevel=9)


def sbom(version, commit, dist, zip_name, per_exe, components, epoch,
         url_base):
    """CycloneDX 1.6: the release, both exes, what is linked into each and
    the tool chain; the URL base, when the release has one, as a property
    of the release (a property holds any text, an external reference only
    a valid IRI)."""
    refs = {name: f"pkg:{name}" for name in components}
    library_entries = []
    for name, (package, licence, files) in sorted(components.items()):
        library_entries.append({
            "type": "library", "bom-ref": refs[name], "name": name,
            "version": package_version(package), "purl": purl(package),
            "licenses": [{"expression": licence}],
            "properties": [{"name": "linked-files",
                            "value": " ".join(sorted(set(files)))}]})
    exe_entries = []
    dependencies = []
    for exe in EXES:
        exe_entries.append({
            "type": "application", "bom-ref": f"exe:{exe}", "name": exe,
            "version": version,
            "hashes": [{"alg": alg, "content": value}
                       for alg, value in hashes(os.path.join(dist, exe)).items()]})
        dependencies.append({"ref": f"exe:{exe}",
                             "dependsOn": sorted(refs[name]
                                                 for name in per_exe[exe])})
    zip_hashes = hashes(os.path.join(dist, zip_name))
    document = {
        "bomFormat": "CycloneDX", "specVersion": "1.6",
        "serialNumber": "urn:uuid:" + str(uuid.uuid5(
            uuid.NAMESPACE_URL, f"vrpsettingtool:{version}:"
            f"{zip_hashes['SHA-256']}")),
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
            "tools": {"components": [
                {"type": "application", "name": tool,
                 "version": package_version(tool), "purl": purl(tool)}
                for tool in TOOLS]},
            "component": {
                "type": "application", "bom-ref": "release",
                "name": "VRPSettingTool", "version": version,
                "supplier": {"name": PUBLISHER},
                "description": f"{zip_name}: VRPSettingTool.exe and vrpset.exe "
                               "for 32-bit Windows",
                "hashes": [{"alg": alg, "content": value}
                           for alg, value in zip_hashes.items()],
                "externalReferences": [{
                    "type": "vcs", "url": commit,
                    "comment": "the git commit the release was made from; "
                               "scripts/verify-release.sh rebuilds it"}],
                "properties": [{"name": URL_BASE_PROPERTY, "value": url_base}]
                              if url_base else []}},
        "components": exe_entries + library_entries,
        "dependencies": [{"ref": "release",
                          "dependsOn": [f"exe:{exe}" for exe in EXES]}]
                        + dependencies + [{"ref": ref, "dependsOn": []}
                                          for ref in sorted(refs.values())],
    }
    return json.dumps(document, indent=2, sort_keys=True) + "\n"


def yaml_text(text):
    """TEXT as a YAML single-quoted scalar: a space, an & or a # in a URL
    stays part of it."""
    return "'" + text.replace("'", "''") + "'"


def winget(version, zip_name, zip_sha256, msi_name, msi_sha256, product_code,
           url_base, folder):
    url = url_base.rstrip("/")
    common = f"PackageIdentifier: {PACKAGE_ID}\nPackageVersion: {version}\n"
    tail = "ManifestVersion: 1.12.0\n"
    files = "".join(f"  - RelativeFilePath: {folder}\\{exe}\n"
                    f"    PortableCommandAlias: {exe[:-4]}\n" for exe in EXES)
    return {
        f"{PACKAGE_ID}.yaml":
            common + "DefaultLocale: en-US\nManifestType: version\n" + tail,
        f"{PACKAGE_ID}.installer.yaml":
            common + "Installers:\n"
            "- Architecture: x86\n"
            "  InstallerType: zip\n  NestedInstallerType: portable\n"
            "  NestedInstallerFiles:\n" + files +
            f"  InstallerUrl: {yaml_text(f'{url}/{zip_name}')}\n"
            f"  InstallerSha256: {zip_sha256.upper()}\n"
            "- Architecture: x86\n"
            "  InstallerType: wix\n  Scope: machine\n"
            f"  ProductCode: '{product_code}'\n"
            f"  InstallerUrl: {yaml_text(f'{url}/{msi_name}')}\n"
            f"  InstallerSha256: {msi_sha256.upper()}\n"
            "ManifestType: installer\n" + tail,
        f"{PACKAGE_ID}.locale.en-US.yaml":
            common + "PackageLocale: en-US\n"
            f"Publisher: {PUBLISHER}\nPackageName: VRP Setting Tool\n"
            "License: Proprietary\n"
            "ShortDescription: Switches the EnableVeloRidePass option of the "
            "RX-M7720B and RX-M7710B scanner software.\n"
            "ManifestType: defaultLocale\n" + tail,
    }


def msi_name(version):
    return f"VRPSettingTool-{version}-x86.msi"


def components_per_exe(maps):
    per_exe = {exe: components_of(linked_files(os.path.join(maps, exe + ".map")))
               for exe in EXES}
    components = {}
    for found in per_exe.values():
        for name, (package, licence, files) in found.items():
            components.setdefault(name, (package, licence, []))[2].extend(files)
    return per_exe, components


def write_texts(version, commit, maps, stage):
    with open("README.md", encoding="utf-8") as f:
        readme = (f"VRP Setting Tool {version}, made from commit {commit}.\n\n"
                  + f.read()).replace("\n", "\r\n")
    texts = {"README.txt": readme,
             "THIRD-PARTY-NOTICES.txt": notices(components_per_exe(maps)[1])}
    for name, text in texts.items():
        with open(os.path.join(stage, name), "w", encoding="utf-8",
                  newline="") as f:
            f.write(text)


def file_version(path):
    """The FILEVERSION of an exe's version resource, as "a.b.c.d": the fixed
    part (VS_FIXEDFILEINFO) that follows the key VS_VERSION_INFO."""
    with open(path, "rb") as f:
        data = f.read()
    key = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    fixed = data.find(struct.pack("<I", 0xFEEF04BD), key) if key >= 0 else -1
    if fixed < 0:
        sys.exit(f"{path} has no version resource")
    high, low = struct.unpack_from("<II", data, fixed + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def file_language(path):
    """The language of an exe's version resource, as a decimal LANGID: the
    first of the pairs (LANGID, code page) of its VarFileInfo\\Translation
    value, which follows the key, padded to 32 bits."""
    with open(path, "rb") as f:
        data = f.read()
    key = "Translation\0".encode("utf-16-le")
    at = data.find(key, data.find("VS_VERSION_INFO".encode("utf-16-le")))
    if at < 0:
        sys.exit(f"{path} has no Translation in its version resource")
    value = (at + len(key) + 3) & ~3
    return str(struct.unpack_from("<H", data, value)[0])


def msi_table(msi, table):
    """The rows of one table of an MSI, as lists of strings."""
    text = subprocess.run(["msiinfo", "export", msi, table],
                          capture_output=True, text=True, check=True).stdout
    return [line.split("\t") for line in text.splitlines()[3:]]


def product_code_of(msi):
    return next(row[1] for row in msi_table(msi, "Property")
                if row[0] == "ProductCode")


def sql(text):
    return "'" + text.replace("'", "''") + "'"


def write_msi(version, stage, dist, url_base, epoch):
    """The MSI, the same bytes for the same inputs: wixl stamps the build
    time and random codes, so it runs at SOURCE_DATE_EPOCH under faketime,
    and the ProductCode and the package code are derived from every input
    (the version, the URL base, the time, the packaged files, the WiX source
    and this script). Then the tables are set where wixl cannot express what
    the package needs; every warning wixl gives is shown, and one that says
    "unimplemented" (wixl ignored part of the source) fails the build."""
    files = os.path.join(stage, "msi")
    os.makedirs(files, exist_ok=True)
    inputs = hashlib.sha256(f"{version}\0{url_base}\0{epoch}\0".encode())
    for name in EXES + TEXTS + [ICON, WXS, __file__]:
        source = os.path.join(dist if name in EXES else
                              stage if name in TEXTS else "", name)
        with open(source, "rb") as f:
            data = f.read()
        inputs.update(os.path.basename(name).encode() + b"\0" +
                      hashlib.sha256(data).digest())
        if name in (EXES + TEXTS + [ICON]):
            copy = os.path.join(files, os.path.basename(name))
            with open(copy, "wb") as f:
                f.write(data)
            os.utime(copy, (epoch, epoch))
    digest = inputs.hexdigest()
    product_code, package_code = (
        "{" + str(uuid.uuid5(uuid.NAMESPACE_URL,
                             f"vrpsettingtool:{kind}:{digest}")).upper() + "}"
        for kind in ("product", "package"))
    at = ["faketime", "-f", "@" + time.strftime("%Y-%m-%d %H:%M:%S",
                                                time.gmtime(epoch))]
    out = os.path.join(dist, msi_name(version))
    wixl = subprocess.run(at + ["wixl", "-a", "x86", "-D", f"Version={version}",
                                "-D", f"ProductCode={product_code}",
                                "-D", f"Files={files}", "-o", out, WXS],
                          capture_output=True, text=True)
    sys.stderr.write(wixl.stdout + wixl.stderr)
    if wixl.returncode != 0 or "unimplemented" in wixl.stdout + wixl.stderr:
        sys.exit(f"wixl did not build {out} as packaging/VRPSettingTool.wxs "
                 "says (above)")
    queries = [
        # wixl makes a property-setting action deferred and sequences it
        # last; ARPINSTALLLOCATION has to be set, immediately, once costing
        # has resolved INSTALLDIR ("ARPINSTALLLOCATION property").
        "UPDATE CustomAction SET Type=51 WHERE Action='SetInstallLocation'",
        "UPDATE InstallExecuteSequence SET Sequence=1001 "
        "WHERE Action='SetInstallLocation'",
        # A second build of the same version (a new commit, a signed one
        # beside a plain one) has another ProductCode: it replaces the first
        # instead of installing beside it (msidbUpgradeAttributesVersionMax
        # Inclusive, "Upgrade Table"). The key of the row includes its
        # attributes, so the row is replaced, not updated.
        "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'",
        "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, "
        f"ActionProperty) VALUES ({sql(UPGRADE_CODE)}, {sql(version)}, "
        "513, 'WIX_UPGRADE_DETECTED')",
    ]
    if url_base:
        # Set here, not by wixl's preprocessor, which would read a quote or
        # an & in the URL as part of the WiX source.
        queries.append("INSERT INTO Property (Property, Value) VALUES "
                       f"('ARPURLINFOABOUT', {sql(url_base)})")
    for exe in EXES:
        # wixl reads no PE versions: without one, an exe is an unversioned
        # file judged by its hash ("File Table", "File Versioning Rules");
        # a hash is for unversioned files only ("MsiFileHash Table"). A
        # versioned file has a language too (ICE60): the one its version
        # resource's Translation entry names.
        path = os.path.join(dist, exe)
        queries += [
            f"UPDATE File SET Version={sql(file_version(path))}, "
            f"Language={sql(file_language(path))} WHERE File={sql(exe)}",
            f"DELETE FROM MsiFileHash WHERE File_={sql(exe)}"]
    tables = ["msibuild", out]
    for query in queries:
        tables += ["-q", query]
    subprocess.run(at + tables, check=True)
    subprocess.run(at + ["msibuild", out, "-s", f"VRP Setting Tool {version}",
                         PUBLISHER, "Intel;1033", package_code], check=True)


def pack(version, commit, maps, stage, dist, url_base, epoch):
    folder = f"VRPSettingTool-{version}-win32"
    zip_name = f"{folder}.zip"
    per_exe, components = components_per_exe(maps)
    entries = {}
    for name in EXES + TEXTS:
        with open(os.path.join(dist if name in EXES else stage, name),
                  "rb") as f:
            entries[name] = f.read()
    write_zip(os.path.join(dist, zip_name), folder, entries, epoch)

    sbom_name = f"VRPSettingTool-{version}.cdx.json"
    with open(os.path.join(dist, sbom_name), "w", encoding="utf-8",
              newline="\n") as f:
        f.write(sbom(version, commit, dist, zip_name, per_exe, components,
                     epoch, url_base))

    if url_base:
        os.makedirs(os.path.join(dist, "winget"), exist_ok=True)
        sha256 = {name: hashes(os.path.join(dist, name))["SHA-256"]
                  for name in (zip_name, msi_name(version))}
        msi = os.path.join(dist, msi_name(version))
        for name, text in winget(version, zip_name, sha256[zip_name],
                                 msi_name(version), sha256[msi_name(version)],
                                 product_code_of(msi), url_base,
                                 folder).items():
            with open(os.path.join(dist, "winget", name), "w",
                      newline="\n") as f:
                f.write(text)

    # Every other file of the release, so that a file it does not list is
    # foreign to the release (scripts/verify-release.sh).
    summed = [zip_name, msi_name(version), sbom_name] + EXES
    for folder_name in ("unsigned", "sigs", "winget"):
        if os.path.isdir(os.path.join(dist, folder_name)):
            summed += [f"{folder_name}/{name}" for name in
                       sorted(os.listdir(os.path.join(dist, folder_name)))]
    with open(os.path.join(dist, "SHA256SUMS"), "w", newline="\n") as f:
        for name in summed:
            f.write(f"{hashes(os.path.join(dist, name))['SHA-256']}  {name}\n")


def main():
    step, version = sys.argv[1:3]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    if step == "texts":
        write_texts(version, *sys.argv[3:6])
    elif step == "msi":
        stage, dist = sys.argv[3:5]
        write_msi(version, stage, dist, (sys.argv[5:] or [""])[0], epoch)
    elif step == "pack":
        commit, maps, stage, dist = sys.argv[3:7]
        pack(version, commit, maps, stage, dist, (sys.argv[7:] or [""])[0],
             epoch)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
