#!/usr/bin/env python3
"""Writes the release's software bill of materials, SPDX 2.3 JSON, to
standard output: one package per shipped binary (its name, architecture and
SHA-256), and one per component linked statically into it, with the version
of the build machine's package that supplied it (the mingw-w64 runtime and
its winpthreads, GCC's runtime libraries and libstdc++), related by
STATIC_LINK. The document's time is the commit's, so that the same commit
gives the same document.

    scripts/sbom.py --version V --commit SHA --epoch SECONDS BINARY...
"""
import argparse
import datetime
import hashlib
import json
import os
import subprocess
import sys


def package_version(name):
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True,
                              text=True, check=True).stdout.strip() or "unknown"
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def architecture(path):
    data = open(path, "rb").read()
    at = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[at + 4:at + 6], "little")
    return {0x14C: "x86", 0x8664: "x64"}.get(machine, hex(machine))


def spdx_id(text):
    return "SPDXRef-" + "".join(c if c.isalnum() or c in ".-" else "-" for c in text)


def main():
    arguments = argparse.ArgumentParser()
    arguments.add_argument("--version", required=True)
    arguments.add_argument("--commit", required=True)
    arguments.add_argument("--epoch", type=int, required=True)
    arguments.add_argument("binaries", nargs="+")
    given = arguments.parse_args()
    created = datetime.datetime.fromtimestamp(given.epoch, datetime.timezone.utc)
    triplets = {"x86": "i686", "x64": "x86-64"}
    components = {
        arch: [
            ("mingw-w64-runtime", f"mingw-w64-{triplet}-dev",
             "the C runtime start-up and import libraries, and winpthreads"),
            ("gcc-runtime", f"gcc-mingw-w64-{triplet}-posix-runtime",
             "libgcc, libssp (stack protection) and libstdc++, linked statically"),
            ("compiler", f"g++-mingw-w64-{triplet}-posix", "the compiler that built it"),
        ] for arch, triplet in triplets.items()
    }
    packages, relationships = [], []
    document = "SPDXRef-DOCUMENT"
    for arch, parts in components.items():
        for name, debian, what in parts:
            packages.append({
                "SPDXID": spdx_id(f"{name}-{arch}"),
                "name": f"{name} ({arch})",
                "versionInfo": package_version(debian),
                "supplier": "Organization: Debian",
                "downloadLocation": f"https://packages.debian.org/bookworm/{debian}",
                "filesAnalyzed": False,
                "comment": f"Debian package {debian}: {what}",
            })
    for path in given.binaries:
        arch = architecture(path)
        name = os.path.basename(path)
        ident = spdx_id(f"{name}-{arch}")
        packages.append({
            "SPDXID": ident,
            "name": f"{name} ({arch})",
            "versionInfo": given.version,
            "supplier": "Organization: Dravenil",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "checksums": [{"algorithm": "SHA256",
                           "checksumValue": hashlib.sha256(open(path, "rb").read()).hexdigest()}],
            "comment": f"built from commit {given.commit}",
        })
        relationships.append({"spdxElementId": document, "relationshipType": "DESCRIBES",
                              "relatedSpdxElement": ident})
        for component, _, _ in components.get(arch, []):
            if component == "compiler":
                relationships.append({"spdxElementId": spdx_id(f"{component}-{arch}"),
                                      "relationshipType": "BUILD_TOOL_OF", "relatedSpdxElement": ident})
            else:
                relationships.append({"spdxElementId": spdx_id(f"{component}-{arch}"),
                                      "relationshipType": "STATIC_LINK", "relatedSpdxElement": ident})
    json.dump({
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": document,
        "name": f"npDravenilFileAccessPlugin-{given.version}",
        "documentNamespace": f"https://dravenil.example/spdx/npDravenilFileAccessPlugin-{given.version}-{given.commit}",
        "creationInfo": {"created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
                         "creators": ["Tool: scripts/sbom.py"]},
        "packages": packages,
        "relationships": relationships,
    }, sys.stdout, indent=2)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
