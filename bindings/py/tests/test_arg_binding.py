"""Binding errors carry the texts CPython gives for a Python function of the
same signature."""

import _kestro_py_testing
import pytest


def _register_errors(*, project, env, resolution, not_found, auth, index_protocol, solve, sync):
    pass


def _do_model_roundtrip_py(info, metadata):
    pass


def echo(text, flag, items=None):
    pass


T = type
CASES = [
    # (function name, args, kwargs)
    ("_register_errors", (T,), {}),
    ("_register_errors", (T, T), {"project": T}),
    ("_register_errors", (), {}),
    ("_register_errors", (), {"project": T, "env": T}),
    ("_register_errors", (), {"project": T, "unknown": T}),
    ("_do_model_roundtrip_py", ({},), {}),
    ("_do_model_roundtrip_py", ({}, {}, {}), {}),
    ("_do_model_roundtrip_py", ({},), {"info": {}}),
    ("echo", (), {}),
    ("echo", ("a",), {}),
    ("echo", ("a", True, None, 4), {}),
    ("echo", ("a", True, None, 4, 5), {}),
    ("echo", ("a",), {"text": "b"}),
    ("echo", ("a", True, None, 4), {"text": "b"}),
    ("echo", ("a", True), {"bogus": 1}),
]

REFERENCES = {"_register_errors": _register_errors, "_do_model_roundtrip_py": _do_model_roundtrip_py, "echo": echo}


def target(name, km):
    return getattr(_kestro_py_testing, name) if name == "echo" else getattr(km, name)


@pytest.mark.parametrize("name,args,kwargs", CASES)
def test_binding_errors_match_cpython(km, name, args, kwargs):
    with pytest.raises(TypeError) as expected:
        REFERENCES[name](*args, **kwargs)
    with pytest.raises(TypeError) as got:
        target(name, km)(*args, **kwargs)
    assert str(got.value) == str(expected.value)
    assert not hasattr(got.value, "__notes__")


def test_an_omitted_default_is_absent_and_keywords_bind_by_name():
    echo = _kestro_py_testing.echo
    assert echo("a", True) == ("a", True, None)
    assert echo(flag=False, text="b", items=("x", "y")) == ("b", False, ["x", "y"])


class Text(str):
    pass


@pytest.mark.parametrize(
    "args,error,message,parameter",
    [
        ((1, True), TypeError, "'int' object is not an instance of 'str'", "text"),
        ((None, True), TypeError, "'None' is not an instance of 'str'", "text"),
        (("\ud800", True), UnicodeEncodeError, None, "text"),
        (("a", 1), TypeError, "'int' object is not an instance of 'bool'", "flag"),
        (("a", None), TypeError, "'None' is not an instance of 'bool'", "flag"),
        (("a", True, "xy"), TypeError, "a `str` cannot be taken as a sequence of strings", "items"),
        (("a", True, 5), TypeError, "'int' object is not an instance of 'Sequence'", "items"),
        (("a", True, ["x", 2]), TypeError, "'int' object is not an instance of 'str'", "items"),
    ],
)
def test_conversion_failures_name_the_parameter(args, error, message, parameter):
    with pytest.raises(error) as raised:
        _kestro_py_testing.echo(*args)
    assert type(raised.value) is error
    if message is not None:
        assert str(raised.value) == message
    assert raised.value.__notes__ == [f"while processing '{parameter}'"]


def test_str_subclasses_are_accepted():
    assert _kestro_py_testing.echo(Text("a"), False, [Text("b")]) == ("a", False, ["b"])
