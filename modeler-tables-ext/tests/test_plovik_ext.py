import sys
import types

import _plovik_ext


def test_project_submodule_is_an_attribute_only_module():
    project = _plovik_ext.project
    assert isinstance(project, types.ModuleType)
    assert project.__name__ == "plovik._plovik_ext.project"
    assert project.DEFAULT_ENV_NAME == ".kestro"
    assert "project" in _plovik_ext.__all__
    assert project.__name__ not in sys.modules
    assert _plovik_ext.__doc__ == ""
