"""Loads a generated model spread over many files and prints elements per
second; then, when the published release archive is at hand, loads its
standard library alone and one example model with it, and prints both times.
Usage: bench_load.py [files] [elements] [repeats]
(PLOVIK_RELEASE_ARCHIVE names the archive; PLOVIK_RELEASE_EXAMPLE the example
folder below sysml/src/examples.)"""

import os
import pathlib
import sys
import tarfile
import tempfile
import time

import _plovik

PER_PACKAGE = """\
package Pkg{f}_{p} {{
    private import Pkg{g}_0::*;
    doc /* Package {p} of file {f}. */
    part def Base{f}_{p} {{
        attribute mass : Common::Real [1];
        part sub [0..*];
        in port p;
    }}
    part def Derived{f}_{p} :> Base{f}_{p} {{
        :>> mass = {p} * 2 + 1;
        part extra : Base{g}_0 [2];
    }}
    part use{f}_{p} : Derived{f}_{p} {{
        part a : Base{f}_{p};
        part b : Base{f}_{p};
        connection c connect a.sub to b.p;
    }}
    requirement def R{f}_{p} {{ subject s : Base{f}_{p}; require constraint {{ true }} }}
    view v{f}_{p} {{ expose Pkg{f}_{p}::*; filter @Common::Tag; }}
}}
"""

HEADER = "package Common {\n    attribute def Real;\n    metadata def Tag;\n}\n"


def write_model(root: pathlib.Path, files: int, elements: int) -> list[pathlib.Path]:
    # Measure one package, then write as many as the element target needs.
    probe = root / "probe.sysml"
    probe.write_text(PER_PACKAGE.format(f=0, p=0, g=0))
    model, _ = _plovik.try_load_model([probe])
    per_package = len(model.nodes(_plovik.Element))
    probe.unlink()
    packages = max(1, -(-elements // (per_package * files)))
    paths = []
    for f in range(files):
        p = root / f"file{f:03}.sysml"
        g = (f + 1) % files
        p.write_text((HEADER if f == 0 else "") + "".join(PER_PACKAGE.format(f=f, p=k, g=g) for k in range(packages)))
        paths.append(p)
    return paths


ARCHIVE = pathlib.Path(
    os.environ.get(
        "PLOVIK_RELEASE_ARCHIVE",
        pathlib.Path(__file__).resolve().parents[2] / ".." / "shared" / "data" / "sysml-v2-release-2025-02.tar.xz",
    )
)
EXAMPLE = os.environ.get("PLOVIK_RELEASE_EXAMPLE", "Vehicle Example")


def best_of(repeats, load):
    best = None
    for _ in range(repeats):
        start = time.perf_counter()
        model, diags = load()
        count = len(model.nodes(_plovik.Element))
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    return best, count, diags


def bench_release(repeats: int) -> None:
    if not ARCHIVE.is_file():
        print(f"no release archive at {ARCHIVE}: library figures skipped")
        return
    with tempfile.TemporaryDirectory() as tmp:
        root = pathlib.Path(tmp)
        with tarfile.open(ARCHIVE) as tar:
            tar.extractall(root, filter="data")
        library = root / "sysml.library"
        example = root / "sysml" / "src" / "examples" / EXAMPLE
        lib_s, lib_n, lib_d = best_of(repeats, lambda: _plovik.try_load_model([], stdlib_paths=[library]))
        ex_s, ex_n, ex_d = best_of(repeats, lambda: _plovik.try_load_model([example], stdlib_paths=[library]))
        print(
            f"standard library: {lib_n} elements, {len(lib_d.parser)} parser and {len(lib_d.sema)} sema diagnostics, "
            f"{lib_s * 1000:.1f} ms, {lib_n / lib_s:,.0f} elements/s"
        )
        print(
            f"'{EXAMPLE}' with the library: {ex_n} elements, {len(ex_d.parser)} parser diagnostics, "
            f"{ex_s * 1000:.1f} ms (the library alone: {lib_s * 1000:.1f} ms)"
        )


def main() -> None:
    files = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    elements = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory() as tmp:
        paths = write_model(pathlib.Path(tmp), files, elements)
        best = None
        for _ in range(repeats):
            start = time.perf_counter()
            model, diags = _plovik.try_load_model(paths)
            count = len(model.nodes(_plovik.Element))
            seconds = time.perf_counter() - start
            best = seconds if best is None else min(best, seconds)
        print(f"{count} elements in {files} files, {len(diags)} diagnostics")
        print(f"load (parse + resolve every name): {best * 1000:.1f} ms, {count / best:,.0f} elements/s")
    bench_release(repeats)


if __name__ == "__main__":
    main()
