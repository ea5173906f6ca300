#!/usr/bin/env python3
"""Checks the winget manifests scripts/package.sh wrote: each parses as YAML
and carries the fields winget's 1.6.0 schemas require, with the values of
this release; the templates they came from are left as committed.

    check_winget.py OUT_DIR VERSION RELEASE_URL TEMPLATE_DIR

OUT_DIR is package.sh's output (the zip, the installer, winget/)."""
import hashlib
import os
import re
import sys
import zipfile

import shutil

if shutil.which("makensis") is None:
    print("SKIPPED: makensis is not installed (Debian package nsis): package.sh writes no manifests")
    sys.exit(0)
try:
    import yaml
except ImportError:
    print("SKIPPED: PyYAML is missing (Debian package python3-yaml; scripts/deps.sh installs it)")
    sys.exit(0)

out, version, release_url, templates = sys.argv[1:5]
name = "NetGlow-" + version
setup = os.path.join(out, name + "-setup.exe")
archive = os.path.join(out, name + ".zip")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest().upper()


PLACEHOLDER = re.compile(r"\{\{[A-Z0-9_]+\}\}")
FILES = {
    "NetGlow.NetGlow.yaml": "version",
    "NetGlow.NetGlow.locale.en-US.yaml": "defaultLocale",
    "NetGlow.NetGlow.installer.yaml": "installer",
}
REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
}
REQUIRED_PER_INSTALLER = ["Architecture", "InstallerType", "InstallerUrl", "InstallerSha256"]

folder = os.path.join(out, "winget")
check(sorted(os.listdir(folder)) == sorted(FILES), "winget/ holds %s" % sorted(os.listdir(folder)))
manifests = {}
for file, kind in FILES.items():
    path = os.path.join(folder, file)
    if not os.path.exists(path):
        failures.append(file + " is missing")
        continue
    text = open(path, encoding="utf-8").read()
    check(not PLACEHOLDER.search(text), file + " still holds " + str(PLACEHOLDER.findall(text)))
    try:
        manifest = yaml.safe_load(text)
    except yaml.YAMLError as error:
        failures.append("%s does not parse: %s" % (file, error))
        continue
    check(isinstance(manifest, dict), file + " is no mapping")
    if not isinstance(manifest, dict):
        continue
    manifests[kind] = manifest
    for field in REQUIRED[kind]:
        check(field in manifest, "%s lacks %s" % (file, field))
    check(manifest.get("PackageIdentifier") == "NetGlow.NetGlow", file + ": PackageIdentifier")
    check(manifest.get("PackageVersion") == version, file + ": PackageVersion %r" % manifest.get("PackageVersion"))
    check(manifest.get("ManifestType") == kind, file + ": ManifestType")
    check(manifest.get("ManifestVersion") == "1.6.0", file + ": ManifestVersion")

if "version" in manifests:
    check(manifests["version"].get("DefaultLocale") == "en-US", "DefaultLocale")
if "defaultLocale" in manifests:
    locale = manifests["defaultLocale"]
    check(locale.get("PackageLocale") == "en-US", "PackageLocale")
    check(locale.get("Publisher") == "NetGlow", "Publisher")
    check(locale.get("PackageName") == "NetGlow", "PackageName")
    # The licence LICENSE states.
    check(locale.get("License") == "MIT", "License %r" % locale.get("License"))
    # What a user must install beside the package, as winget shows it.
    description = ("NetGlow watches one network adapter and lights its tray icon red or yellow for every packet "
                   "sent or received; on request it writes one line per packet to a log. It needs Npcap, which is "
                   "not part of this package: https://npcap.com/#download (its WinPcap API-compatible mode is not "
                   "needed; NetGlow looks in Npcap's own folder first).")
    check(locale.get("Description") == description, "Description %r" % locale.get("Description"))
if "installer" in manifests:
    installers = manifests["installer"].get("Installers") or []
    check(len(installers) == 2, "%d installers" % len(installers))
    for entry in installers:
        for field in REQUIRED_PER_INSTALLER:
            check(field in entry, "an installer lacks " + field)
        check(re.fullmatch(r"[0-9A-F]{64}", str(entry.get("InstallerSha256"))) is not None,
              "InstallerSha256 %r" % entry.get("InstallerSha256"))
    nullsoft = [entry for entry in installers if entry.get("InstallerType") == "nullsoft"]
    portable = [entry for entry in installers if entry.get("InstallerType") == "zip"]
    check(len(nullsoft) == 1 and len(portable) == 1, "one nullsoft and one zip installer")
    if nullsoft:
        entry = nullsoft[0]
        check(entry.get("Architecture") == "x64", "nullsoft: Architecture")
        check(entry.get("Scope") == "user", "nullsoft: Scope")
        check(entry.get("InstallerUrl") == release_url + "/" + name + "-setup.exe",
              "nullsoft: InstallerUrl %r" % entry.get("InstallerUrl"))
        check(entry.get("InstallerSha256") == sha256(setup), "nullsoft: InstallerSha256 is not the installer's")
        check(entry.get("InstallerSwitches") == {"Silent": "/S", "SilentWithProgress": "/S",
                                                 "InstallLocation": "/D=<INSTALLPATH>"},
              "nullsoft: InstallerSwitches %r" % entry.get("InstallerSwitches"))
        check(entry.get("ProductCode") == "NetGlow", "nullsoft: ProductCode")
        # The installer's exit code for "NetGlow is still running" (NetGlow.nsi's EXIT_IN_USE).
        check(entry.get("ExpectedReturnCodes") == [{"InstallerReturnCode": 3, "ReturnResponse": "packageInUse"}],
              "nullsoft: ExpectedReturnCodes %r" % entry.get("ExpectedReturnCodes"))
    if portable:
        entry = portable[0]
        check(entry.get("Architecture") == "x64", "zip: Architecture")
        check(entry.get("NestedInstallerType") == "portable", "zip: NestedInstallerType")
        check(entry.get("InstallerUrl") == release_url + "/" + name + ".zip",
              "zip: InstallerUrl %r" % entry.get("InstallerUrl"))
        check(entry.get("InstallerSha256") == sha256(archive), "zip: InstallerSha256 is not the zip's")
        nested = entry.get("NestedInstallerFiles") or []
        check(nested == [{"RelativeFilePath": name + "\\NetGlow.exe", "PortableCommandAlias": "netglow"}],
              "zip: NestedInstallerFiles %r" % nested)
        with zipfile.ZipFile(archive) as files:
            check(name + "/NetGlow.exe" in files.namelist(), "the zip lacks the program winget runs")

# package.sh writes copies and leaves the templates as committed.
for file in FILES:
    text = open(os.path.join(templates, file), encoding="utf-8").read()
    check("{{VERSION}}" in text, "the template " + file + " was filled in")

for failure in failures:
    print("FAIL: " + failure)
if failures:
    sys.exit(1)
print("winget manifests ok: " + ", ".join(sorted(FILES)))
