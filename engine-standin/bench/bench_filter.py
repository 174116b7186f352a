"""Evaluates view filter conditions over every element of a generated model,
as a view's filtering does, and prints evaluations per second.
Usage: bench_filter.py [elements] [repeats]"""

import sys
import tempfile
import time
import pathlib

import _plovik
from _plovik import core

MODEL = """\
package Bench {{
    private import ScalarValues::*;
    metadata def Tag;
    part def Engine;
{parts}
    view v {{
        filter hastype SysML::PartUsage;
        filter istype Engine and not @Tag;
        filter 1 + 2 * 3 > 4;
    }}
}}
"""


def main(argv):
    count = int(argv[1]) if len(argv) > 1 else 5000
    repeats = int(argv[2]) if len(argv) > 2 else 3
    parts = "\n".join(f"    {'#Tag ' if i % 3 == 0 else ''}part p{i} : Engine;" for i in range(count))
    with tempfile.TemporaryDirectory() as tmp:
        path = pathlib.Path(tmp) / "bench.sysml"
        path.write_text(MODEL.format(parts=parts), encoding="utf-8")
        model, diags = _plovik.try_load_model([path], stdlib_paths=[pathlib.Path(_plovik.__file__).parent / "stdlib"])
    view = [v for v in model.nodes(core.ViewUsage) if v.name == "v"][0]
    conditions = [m.condition for m in view.view_conditions.collect()]
    targets = model.nodes(core.PartUsage, True, _plovik.DocumentKind.USER)
    best = None
    kept = 0
    for _ in range(repeats):
        compiler = core.Compiler(100000, 1000)
        start = time.perf_counter()
        evaluations = 0
        kept = 0
        for t in targets:
            for c in conditions:
                evaluations += 1
                ok, report = compiler.evaluate_filter(t, c, model.lib)
                if report.fatal or not ok:
                    break
            else:
                kept += 1
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print(f"{len(diags)} diagnostics, {len(targets)} elements, {kept} kept, {evaluations / best:.0f} evaluations/s")


if __name__ == "__main__":
    main(sys.argv)
