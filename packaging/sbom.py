#!/usr/bin/env python3
"""Writes the CycloneDX 1.6 SBOM of one release artifact: the program inside
it, with its SHA-256, licence and purl; for a static artifact, the runtimes
linked into it, as the build that made it recorded them beside NOTICES; for
a .deb or an .rpm, the packages it depends on, with the versions it accepts;
and the tools that built it. It holds no time but SOURCE_DATE_EPOCH and no
number that differs between two builds of the same commit."""
import argparse
import hashlib
import json
import os
import re
import time
from pathlib import Path


def dependency(line, kind, arch):
    """A package the artifact requires, from "NAME" or "NAME OP VERSION" as
    the package manager writes it, with the versions it accepts as a vers
    range (CycloneDX 1.6 has no field of its own for that)."""
    match = re.fullmatch(r"(\S+)(?: ([<>=]+) (\S+))?", line)
    if not match:
        raise SystemExit(f"sbom.py: not a dependency: {line}")
    name, op, version = match.groups()
    component = {"type": "library", "bom-ref": "dependency:" + re.sub(r"\W", "_", name),
                 "name": name, "scope": "required"}
    if kind == "deb":
        component["purl"] = f"pkg:deb/debian/{name.replace('+', '%2B')}?arch={arch}"
    if op:
        op = {">>": ">", "<<": "<", "=": ""}.get(op, op)
        component["properties"] = [{"name": "name-dialogue:accepts",
                                    "value": f"vers:{kind}/{op}{version.replace('+', '%2B')}"}]
    return component


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--artifact", type=Path, required=True)
    parser.add_argument("--kind", choices=["tarball", "zip", "deb", "rpm"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--arch", default="")
    parser.add_argument("--program", type=Path, required=True, help="the program, unpacked")
    parser.add_argument("--inside", required=True, help="the program's path in the artifact")
    parser.add_argument("--runtimes", type=Path, help="runtimes.cdx.json, of a static build")
    parser.add_argument("--toolchain", type=Path, required=True, help="toolchain.cdx.json")
    parser.add_argument("--depends", type=Path, help="the package's dependencies, a line each")
    parser.add_argument("--output", type=Path, required=True)
    args = parser.parse_args()

    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is None:
        raise SystemExit("sbom.py needs SOURCE_DATE_EPOCH")
    program_hash = hashlib.sha256(args.program.read_bytes()).hexdigest()
    # A fixed serial number, of the artifact's name and its program.
    digest = hashlib.sha256(f"{args.artifact.name} {program_hash}".encode()).hexdigest()
    serial = f"urn:uuid:{digest[:8]}-{digest[8:12]}-5{digest[13:16]}-8{digest[17:20]}-{digest[20:32]}"
    version = args.version.replace("+", "%2B")
    purl = (f"pkg:{args.kind}/name-dialogue/name-dialogue@{version}?arch={args.arch}"
            if args.kind in ("deb", "rpm") else f"pkg:generic/name-dialogue@{version}")

    inside = json.loads(args.runtimes.read_text()) if args.runtimes else []
    required = [dependency(line, args.kind, args.arch)
                for line in args.depends.read_text().splitlines()] if args.depends else []
    refs = [c["bom-ref"] for c in inside + required]
    program = {"type": "application", "bom-ref": "program", "name": "name-dialogue",
               "version": args.version,
               "hashes": [{"alg": "SHA-256", "content": program_hash}],
               "licenses": [{"license": {"id": "MIT"}}],
               "purl": purl,
               "properties": [{"name": "name-dialogue:path", "value": args.inside}],
               "components": inside}
    bom = {"bomFormat": "CycloneDX", "specVersion": "1.6", "serialNumber": serial, "version": 1,
           "metadata": {"timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(epoch))),
                        "tools": {"components": json.loads(args.toolchain.read_text())},
                        "component": {"type": "file", "bom-ref": "artifact",
                                      "name": args.artifact.name, "version": args.version}},
           "components": [program] + required,
           "dependencies": [{"ref": "program", "dependsOn": refs}]
           + [{"ref": ref, "dependsOn": []} for ref in refs]}
    args.output.write_text(json.dumps(bom, indent=2, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
