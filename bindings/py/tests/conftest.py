import importlib
import os
import subprocess
import sys
import textwrap

import pytest

# The package manager's functions are reached through two module objects.
MODULES = ["_kestro_core", "_plovik_ext.project"]
IMPORTS = {
    "_kestro_core": "import _kestro_core as km",
    "_plovik_ext.project": "from _plovik_ext import project as km",
}


def load(name):
    if name == "_plovik_ext.project":
        return importlib.import_module("_plovik_ext").project
    return importlib.import_module(name)


@pytest.fixture(params=MODULES)
def km(request):
    """The package manager's module, once as `_kestro_core` and once as
    `_plovik_ext.project`."""
    return load(request.param)


@pytest.fixture(params=MODULES)
def km_import(request):
    """The import line that binds `km` in a fresh interpreter."""
    return IMPORTS[request.param]


def run_python(*blocks):
    """Runs the code blocks, one after the other, in a fresh interpreter;
    returns its standard output."""
    code = "\n".join(textwrap.dedent(block) for block in blocks)
    done = subprocess.run(
        [sys.executable, "-c", code],
        capture_output=True,
        text=True,
        env=os.environ.copy(),
    )
    assert done.returncode == 0, done.stderr
    return done.stdout


# The exception classes a host package registers; each keeps its keyword
# arguments so that tests can read them.
class HostError(Exception):
    def __init__(self, message, **kwargs):
        super().__init__(message)
        self.kwargs = kwargs


SLOTS = ["project", "env", "resolution", "not_found", "auth", "index_protocol", "solve", "sync"]
HOST_CLASSES = {slot: type(f"{slot.title()}Error", (HostError,), {}) for slot in SLOTS}


@pytest.fixture(scope="session")
def registered():
    """Registers the host classes in this process (first registration wins,
    so every test sees these)."""
    import _kestro_core

    _kestro_core._register_errors(**HOST_CLASSES)
    return HOST_CLASSES
