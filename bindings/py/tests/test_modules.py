import types

import _kestro_core
import _plovik_ext


def test_default_env_name():
    assert _kestro_core.DEFAULT_ENV_NAME == ".kestro"


def test_plovik_ext_carries_the_package_manager():
    assert isinstance(_plovik_ext.project, types.ModuleType)
    assert _plovik_ext.project.DEFAULT_ENV_NAME == ".kestro"
