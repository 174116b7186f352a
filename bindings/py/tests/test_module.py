import importlib.util
import inspect

import _kestro_core
import _plovik_ext
import pytest

# The functions built so far, in the order the module adds them, with their
# Python signatures.
SIGNATURES = {
    "_register_errors": "(*, project, env, resolution, not_found, auth, index_protocol, solve, sync)",
    "do_init_py_local_file": "(name, publisher, version, path, license=None)",
    "do_info_py_path": "(path)",
    "_do_model_roundtrip_py": "(info, metadata)",
    "do_add_py": "(path, iri, version_constraint)",
    "do_add_usage_py": "(path, usage)",
    "do_set_usage_constraint_py": "(path, identifier, constraint)",
    "do_remove_py": "(path, iri)",
}


def test_all_lists_the_functions_in_order_then_the_constant(km):
    assert km.__all__ == [*SIGNATURES, "DEFAULT_ENV_NAME"]
    assert km.DEFAULT_ENV_NAME == ".kestro"


def test_signatures_and_docstrings(km):
    for name, signature in SIGNATURES.items():
        function = getattr(km, name)
        assert str(inspect.signature(function)) == signature
        assert function.__module__ == km.__name__
        assert not function.__doc__ or not function.__doc__.startswith(name)
    assert km._register_errors.__doc__.startswith("Hand this extension the exception classes it should raise.\n\n")
    assert km._register_errors.__doc__.endswith("(e.g. `importlib.reload`)")
    assert km.do_add_usage_py.__doc__ == (
        "Add a usage of any kind, given as the model dict itself rather than an\n"
        "IRI, so that a new usage kind needs no new entry point here."
    )
    assert km.do_set_usage_constraint_py.__doc__.startswith(
        "Returns `(matched_identifier, found, changed, old_constraint, new_constraint)`.\n\nEvery failure"
    )
    assert km.do_set_usage_constraint_py.__doc__.endswith(
        "requirement the same way. A missing usage is *not* an error here \u2014\n"
        "`found` is `False` and the Python side decides."
    )
    assert km.do_remove_py.__doc__ == "Returns the usages that were removed, in declaration order."
    assert not km.do_init_py_local_file.__doc__ and not km.do_add_py.__doc__


def test_module_docstring_is_empty():
    assert _kestro_core.__doc__ == ""


def test_the_two_modules_have_their_own_function_objects():
    assert _plovik_ext.project._register_errors is not _kestro_core._register_errors
    assert _plovik_ext.project._register_errors.__module__ == "plovik._plovik_ext.project"


def fresh_module(preset_all):
    """Executes `_kestro_core` once more on a new module object whose
    `__all__` is set beforehand."""
    spec = importlib.util.find_spec("_kestro_core")
    module = importlib.util.module_from_spec(spec)
    module.__all__ = preset_all
    spec.loader.exec_module(module)
    return module


def test_an_existing_all_list_is_appended_to():
    module = fresh_module(["already"])
    assert module.__all__ == ["already", *SIGNATURES, "DEFAULT_ENV_NAME"]


def test_an_all_that_is_not_a_list_fails_the_import():
    with pytest.raises(TypeError):
        fresh_module(("already",))
