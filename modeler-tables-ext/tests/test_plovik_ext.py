import types

import _plovik_ext


def test_project_submodule_is_a_module():
    assert isinstance(_plovik_ext.project, types.ModuleType)
    assert _plovik_ext.project.DEFAULT_ENV_NAME == ".kestro"
