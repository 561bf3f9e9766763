#!/usr/bin/env python3
"""What a release says of the code it holds besides its own (scripts/release).

    third_party.py notices <x86 compiler> <x64 compiler> <out>
    third_party.py sbom <x86 compiler> <x64 compiler> <folder> <out>
                        <name> <version> <epoch> <commit>

Every program and DLL is linked statically with the runtime libraries of its
mingw-w64 compiler: the mingw-w64 runtime, winpthreads, libgcc and
libstdc++. Which Debian package holds each library the compiler links, its
version and its copyright file come from dpkg, so both files describe the
toolchain the build used.

notices writes THIRD-PARTY-NOTICES.txt: a table of those libraries, then
each package's copyright file (which carries the licence texts and the GCC
Runtime Library Exception) once, then the GPL version 3 those files refer
to. sbom writes a CycloneDX 1.6 bill of materials of the release folder:
every file in it with its SHA-256, the libraries each program and DLL links,
and the product; the same inputs give the same bytes.
"""
import hashlib
import json
import os
import subprocess
import sys
import uuid
from datetime import datetime, timezone

GCC_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"
# (name, library the compiler links, SPDX expression of its terms)
LIBRARIES = [
    ("mingw-w64 runtime", "libmingw32.a", "ZPL-2.1 AND LicenseRef-public-domain"),
    ("winpthreads", "libwinpthread.a", "MIT AND BSD-3-Clause"),
    ("libgcc", "libgcc.a", GCC_LICENCE),
    ("libstdc++", "libstdc++.a", GCC_LICENCE),
]
GPL3 = "/usr/share/common-licenses/GPL-3"


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


def components(compilers):
    """The linked libraries of each architecture, with their Debian packages."""
    wanted = []
    for arch, compiler in compilers:
        for name, library, licence in LIBRARIES:
            path = os.path.realpath(run(compiler, "-print-file-name=" + library))
            if not os.path.isfile(path):
                sys.exit(f"third_party: {compiler} links no {library}")
            wanted.append((arch, name, licence, path))
    # One query each: dpkg reads every package's file list per call.
    owner = {}
    for line in run("dpkg-query", "-S", *[w[3] for w in wanted]).splitlines():
        package, path = line.split(": ", 1)
        owner[path] = package.split(":")[0]
    packages = sorted(set(owner.values()))
    versions = dict(
        (line.split()[0], line.split()[1:]) for line in run(
            "dpkg-query", "-W", "-f=${Package} ${Version} ${Architecture}\\n", *packages).splitlines())
    found = []
    for arch, name, licence, path in wanted:
        package = owner[path]
        version, debarch = versions[package]
        found.append({"arch": arch, "name": name, "licence": licence,
                      "package": package, "version": version, "debarch": debarch,
                      "copyright": f"/usr/share/doc/{package}/copyright"})
    return found


def notices(found, out):
    lines = ["Third-party notices", "",
             "Every program and DLL of this release is linked statically with the",
             "runtime libraries of its compiler, mingw-w64 (GCC). They are, by the",
             "Debian packages the release was built with:", ""]
    for c in found:
        lines.append(f"  {c['arch']}  {c['name']:<18} {c['package']} {c['version']}")
        lines.append(f"       {c['licence']}")
    lines += ["",
              "libgcc and libstdc++ are under the GNU General Public License, version",
              "3 or later, with the GCC Runtime Library Exception, version 3.1: the",
              "exception lets programs compiled with GCC carry these libraries under",
              "terms of their own. The texts follow: each package's copyright file as",
              "Debian ships it (the exception is in the GCC one), then the GPL.", ""]
    texts = {}
    for c in found:
        with open(c["copyright"], encoding="utf-8") as f:
            texts.setdefault(f.read(), []).append(c["package"])
    with open(GPL3, encoding="utf-8") as f:
        texts.setdefault(f.read(), []).append("GNU General Public License, version 3")
    for text, owners in texts.items():
        title = ", ".join(dict.fromkeys(owners))
        lines += ["=" * 78, title, "=" * 78, "", text.rstrip("\n"), ""]
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines))


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def sbom(found, folder, out, name, version, epoch, commit):
    skip = os.path.relpath(out, folder)
    files = sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, "/")
                   for d, _, names in os.walk(folder) for f in names)
    files = [f for f in files if f != skip]
    libraries = [{
        "type": "library", "bom-ref": f"{c['arch']}/{c['name']}", "name": c["name"],
        "version": c["version"],
        "description": f"linked statically into the {c['arch']} programs and DLLs",
        "licenses": [{"expression": c["licence"]}],
        "purl": f"pkg:deb/debian/{c['package']}@{c['version']}?arch={c['debarch']}",
    } for c in found]
    shipped, dependencies = [], []
    for f in files:
        hashes = [{"alg": "SHA-256", "content": sha256(os.path.join(folder, f))}]
        shipped.append({"type": "file", "bom-ref": "file:" + f, "name": f, "hashes": hashes})
        arch = f.split("/")[0]
        if f.lower().endswith((".exe", ".dll")):
            dependencies.append({"ref": "file:" + f, "dependsOn": [
                l["bom-ref"] for l in libraries if l["bom-ref"].startswith(arch + "/")]})
    product = {"type": "application", "bom-ref": name, "name": name, "version": version,
               "licenses": [{"license": {"id": "MIT"}}]}
    if commit != "unknown":
        product["properties"] = [{"name": "source-commit", "value": commit}]
    # The serial number follows from what the release holds: one release, one number.
    serial = uuid.uuid5(uuid.NAMESPACE_URL, "|".join(
        [name, version, commit] + [s["hashes"][0]["content"] for s in shipped]))
    bom = {
        "bomFormat": "CycloneDX", "specVersion": "1.6", "serialNumber": serial.urn,
        "version": 1,
        "metadata": {
            "timestamp": datetime.fromtimestamp(int(epoch), timezone.utc)
                                 .strftime("%Y-%m-%dT%H:%M:%SZ"),
            "component": product,
        },
        "components": shipped + libraries,
        "dependencies": [{"ref": name, "dependsOn": [s["bom-ref"] for s in shipped]}]
                        + dependencies
                        + [{"ref": l["bom-ref"], "dependsOn": []} for l in libraries],
    }
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        json.dump(bom, f, indent=2, ensure_ascii=False)
        f.write("\n")


def main(argv):
    if len(argv) == 4 and argv[0] == "notices":
        notices(components([("x86", argv[1]), ("x64", argv[2])]), argv[3])
    elif len(argv) == 9 and argv[0] == "sbom":
        sbom(components([("x86", argv[1]), ("x64", argv[2])]), *argv[3:])
    else:
        sys.exit(__doc__.split("\n\n")[1])


if __name__ == "__main__":
    main(sys.argv[1:])
