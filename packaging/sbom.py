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
from urllib.parse import quote


def facts(path):
    """The records a build wrote, a line each of tab-separated FIELD=VALUE."""
    return [dict(word.split("=", 1) for word in line.split("\t"))
            for line in path.read_text().splitlines()] if path else []


def deb_purl(package, version, arch):
    return f"pkg:deb/debian/{quote(package, safe='')}@{quote(version, safe='')}?arch={arch}"


def runtime(fact):
    """A runtime linked into the program: the Debian source package it was
    built from, and the one that holds its code where that is another."""
    component = {"type": "library", "bom-ref": "runtime:" + fact["name"], "name": fact["name"]}
    if "version" in fact:
        component["version"] = fact["version"]
    component["licenses"] = [{"expression": fact["licence"]}]
    if "source" in fact:
        component["purl"] = deb_purl(fact["source"], fact["source_version"], "source")
        component["properties"] = [{"name": "debian:package",
                                    "value": f"{fact['package']} {fact['package_version']}"}]
    if "code" in fact:
        component["pedigree"] = {"ancestors": [{
            "type": "library", "name": fact["code"], "version": fact["code_version"],
            "purl": deb_purl(fact["code"], fact["code_version"], "source")}]}
    return component


def tool(fact):
    """A tool that built the program, as the Debian package it came from."""
    return {"type": "application", "name": fact["package"], "version": fact["version"],
            "purl": deb_purl(fact["package"], fact["version"], fact["arch"]),
            "properties": [{"name": "name-dialogue:role", "value": fact["role"]}]}


def dependency(line, package_format, arch):
    """A package the artifact requires, from "NAME" or "NAME OP VERSION" as
    the package manager writes it, with the versions it accepts as a vers
    range (CycloneDX 1.6 has no field of its own for that)."""
    match = re.fullmatch(r"(\S+)(?: ([<>=]+) (\S+))?", line)
    if not match:
        raise SystemExit(f"sbom.py: not a dependency: {line}")
    name, op, version = match.groups()
    component = {"type": "library", "bom-ref": "dependency:" + re.sub(r"\W", "_", name),
                 "name": name, "scope": "required"}
    if package_format == "deb":
        component["purl"] = f"pkg:deb/debian/{quote(name, safe='')}?arch={arch}"
    if op:
        op = {">>": ">", "<<": "<", "=": ""}.get(op, op)
        component["properties"] = [{"name": "name-dialogue:accepts",
                                    "value": f"vers:{package_format}/{op}{quote(version, safe='')}"}]
    return component


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--artifact", type=Path, required=True)
    parser.add_argument("--format", choices=["tarball", "zip", "msi", "deb", "rpm"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--arch", default="")
    parser.add_argument("--program", type=Path, required=True, help="the program, unpacked")
    parser.add_argument("--inside", required=True, help="the program's path in the artifact")
    parser.add_argument("--runtimes", type=Path, help="runtimes.facts, of a static build")
    parser.add_argument("--toolchain", type=Path, required=True, help="toolchain.facts")
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
    version = quote(args.version, safe="")
    purl = (f"pkg:{args.format}/name-dialogue/name-dialogue@{version}?arch={args.arch}"
            if args.format in ("deb", "rpm") else f"pkg:generic/name-dialogue@{version}")

    inside = [runtime(fact) for fact in facts(args.runtimes)]
    required = [dependency(line, args.format, args.arch)
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
                        "tools": {"components": [tool(fact) for fact in facts(args.toolchain)]},
                        "component": {"type": "file", "bom-ref": "artifact",
                                      "name": args.artifact.name, "version": args.version}},
           "components": [program] + required,
           "dependencies": [{"ref": "program", "dependsOn": refs}]
           + [{"ref": ref, "dependsOn": []} for ref in refs]}
    args.output.write_text(json.dumps(bom, indent=2, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
