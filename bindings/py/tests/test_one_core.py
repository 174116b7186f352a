"""Both extension modules share one copy of the native core in a process."""
import os
import shutil
import subprocess

import pytest

from conftest import run_python


def test_both_modules_map_one_file_exporting_only_the_init_functions():
    import _kestro_core
    import _plovik_ext

    core = os.path.realpath(_kestro_core.__file__)
    assert os.path.realpath(_plovik_ext.__file__) == core
    with open("/proc/self/maps") as maps:
        mapped = {line.split()[-1] for line in maps if line.rstrip().endswith(".so")}
    assert [path for path in mapped if "_kestro_core" in path or "_plovik_ext" in path] == [core]

    if shutil.which("nm") is None:
        pytest.skip("nm is not installed")
    listed = subprocess.run(["nm", "-D", "--defined-only", core], capture_output=True, text=True, check=True)
    assert sorted(line.split()[-1] for line in listed.stdout.splitlines()) == [
        "PyInit__kestro_core",
        "PyInit__plovik_ext",
    ]


def test_the_log_sink_installed_through_one_module_serves_the_other():
    classes = "dict.fromkeys(['project', 'env', 'resolution', 'not_found', 'auth', 'index_protocol', 'solve', 'sync'], Exception)"
    out = run_python(
        f"""
        import logging
        records = []
        class Capture(logging.Handler):
            def emit(self, record):
                records.append(record.getMessage())
        logging.getLogger().addHandler(Capture())
        logging.getLogger().setLevel(logging.DEBUG)
        import _kestro_core
        from _plovik_ext import project
        try:
            _kestro_core.do_info_py_path(".")  # installs the bridge
        except Exception:
            pass
        project._register_errors(**{classes})
        project._register_errors(**{classes})  # the repeat is logged
        print(len(records))
        """
    )
    assert out.split() == ["1"]
