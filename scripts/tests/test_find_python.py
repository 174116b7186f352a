"""scripts/find-python.sh: which interpreter the build and the tests use.

Each case runs the script with a PATH of its own (the few tools it needs and
the interpreters of the case), an empty pyenv root and no pyenv, so that
nothing of the machine's own interpreters takes part."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SCRIPT = Path(__file__).resolve().parents[1] / "find-python.sh"
TOOLS = ("bash", "ls", "grep", "sort", "seq")


def fake_python(path: Path, status: int) -> None:
    """An interpreter that answers every version check with `status`."""
    path.write_text(f"#!/bin/sh\nexit {status}\n")
    path.chmod(0o755)


def run(tmp_path: Path, interpreters: dict, env_extra: dict | None = None):
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    for tool in TOOLS:
        os.symlink(shutil.which(tool), bin_dir / tool)
    for name, make in interpreters.items():
        make(bin_dir / name)
    env = {"PATH": str(bin_dir), "HOME": str(tmp_path), "PYENV_ROOT": str(tmp_path / "pyenv")}
    env.update(env_extra or {})
    return subprocess.run(["bash", str(SCRIPT)], env=env, capture_output=True, text=True)


def real(path: Path) -> None:
    # The interpreter running the tests: CPython 3.12 or later.
    os.symlink(sys.executable, path)


@pytest.mark.parametrize(
    "interpreters, chosen",
    [
        ({"python3.14": real}, "python3.14"),
        ({"python3": real}, "python3"),
        # An older python3 first on the list is passed over.
        ({"python3": lambda p: fake_python(p, 1), "python3.13": real}, "python3.13"),
    ],
)
def test_any_cpython_3_12_or_later(tmp_path, interpreters, chosen):
    result = run(tmp_path, interpreters)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == str(tmp_path / "bin" / chosen)


def test_none_usable_says_so(tmp_path):
    result = run(tmp_path, {"python3": lambda p: fake_python(p, 1), "python3.12": lambda p: fake_python(p, 1)})
    assert result.returncode == 1
    assert result.stdout == ""
    assert "CPython 3.12 or later not found" in result.stderr


def test_kestro_python_names_the_interpreter(tmp_path):
    other = tmp_path / "other-python"
    real(other)
    result = run(tmp_path, {"python3.12": real}, {"KESTRO_PYTHON": str(other)})
    assert (result.returncode, result.stdout.strip()) == (0, str(other))


def test_kestro_python_not_usable_is_an_error(tmp_path):
    old = tmp_path / "old-python"
    fake_python(old, 1)
    # Another usable interpreter on PATH does not stand in for it.
    result = run(tmp_path, {"python3.12": real}, {"KESTRO_PYTHON": str(old)})
    assert (result.returncode, result.stdout) == (1, "")
    assert f"KESTRO_PYTHON={old} is not a CPython 3.12 or later" in result.stderr
