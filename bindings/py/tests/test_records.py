import enum
import math
import types

import pytest
from conftest import run_python

INFO = {
    "name": "demo",
    "publisher": "acme",
    "description": "A demo project",
    "version": "1.2.3",
    "license": "MIT",
    "maintainer": ["Ann", "Bob"],
    "website": "https://example.com/demo",
    "topic": ["sysml", "kerml"],
    "usage": [
        {"resource": "pkg:kestro/acme/base", "version_constraint": "^1.0"},
        {"resource": "urn:kestro:acme:other", "version_constraint": None},
        {"dir": "../lib", "publisher": "acme", "name": "lib"},
        {"kpar_path": "deps/x.kpar", "publisher": "acme", "name": "x"},
        {"kind": "git", "nested": {"list": [1, -2, 2.5, None, True, "s", [{"deep": {}}]], "empty": []}, "a": False},
    ],
}

META = {
    "index": {"Demo": "demo.sysml", "Other": "sub/other.kerml"},
    "created": "2025-01-02T03:04:05.123456Z",
    "metamodel": "https://www.omg.org/spec/SysML/20250201",
    "includes_derived": False,
    "includes_implied": True,
    "checksum": {
        "demo.sysml": {"value": "ab" * 32, "algorithm": "SHA256"},
        "sub/other.kerml": {"value": "", "algorithm": "NONE"},
    },
}


def chain(exception):
    """[(type name, message)] of an exception and its causes."""
    links = []
    while exception is not None:
        links.append((type(exception).__name__, str(exception)))
        exception = exception.__cause__
    return links


def test_full_records_come_back_equal_in_table_order(km):
    info, meta = km._do_model_roundtrip_py(INFO, META)
    assert (info, meta) == (INFO, META)
    assert list(info) == list(INFO) and list(meta) == list(META)
    assert list(info["usage"][4]) == ["kind", "nested", "a"]
    assert info["usage"][4] is not INFO["usage"][4] and info["maintainer"] is not INFO["maintainer"]


def test_absent_optionals_and_input_shapes(km):
    info = dict(reversed(INFO.items()))  # key order of the input does not matter
    info.update(publisher=None, description=None, license=None, website=None, maintainer=("Ann",), topic=(), extra=1)
    meta = types.MappingProxyType(dict(META, metamodel=None, includes_derived=None, includes_implied=None, checksum=None, x=2))
    got_info, got_meta = km._do_model_roundtrip_py(info, meta)
    assert list(got_info) == list(INFO)
    assert got_info["maintainer"] == ["Ann"] and got_info["topic"] == [] and got_info["license"] is None
    assert got_meta == dict(META, metamodel=None, includes_derived=None, includes_implied=None, checksum=None)
    assert km._do_model_roundtrip_py(INFO, dict(META, checksum={}))[1]["checksum"] == {}


class Level(enum.IntEnum):
    HIGH = 7


@pytest.mark.parametrize(
    "usage,expected",
    [
        # Only `resource`: not a Resource usage, kept whole as an unknown one.
        ({"resource": "pkg:kestro/a/b"}, {"resource": "pkg:kestro/a/b"}),
        # The first kind that reads wins and keeps only its keys.
        ({"dir": "d", "publisher": "p", "name": "n", "resource": "r", "version_constraint": None},
         {"resource": "r", "version_constraint": None}),
        ({"kpar_path": "k", "publisher": "p", "name": "n", "extra": 1}, {"kpar_path": "k", "publisher": "p", "name": "n"}),
        ({"x": Level.HIGH, "t": True, "f": 1.0}, {"x": 7, "t": True, "f": 1.0}),
        ({"max": 2**63 - 1, "min": -(2**63)}, {"max": 2**63 - 1, "min": -(2**63)}),
    ],
)
def test_usage_kinds(km, usage, expected):
    got = km._do_model_roundtrip_py(dict(INFO, usage=[usage]), META)[0]["usage"][0]
    assert got == expected and list(got) == list(expected)
    for key, value in expected.items():
        assert type(got[key]) is type(value)


def enum_error(unknown_failure, resource="KeyError: 'resource'", directory="KeyError: 'dir'",
               kpar="KeyError: 'kpar_path'"):
    return (
        "failed to extract enum InterchangeProjectUsageG ('Resource | Directory | KparPath | Unknown')\n"
        f"- variant Resource (Resource): {resource}\n"
        f"- variant Directory (Directory): {directory}\n"
        f"- variant KparPath (KparPath): {kpar}\n"
        "- variant Unknown (Unknown): TypeError: failed to extract field InterchangeProjectUsageG::Unknown.0, "
        f"caused by {unknown_failure}"
    )


NOT_SUBSCRIPTABLE = "TypeError: list indices must be integers or slices, not str"


@pytest.mark.parametrize(
    "usage,unknown_failure",
    [
        ({"x": (1, 2)}, "TypeError: `<class 'tuple'>` cannot appear in a usage: expected a value JSON can hold"),
        ({"x": {"y": {1}}}, "TypeError: `<class 'set'>` cannot appear in a usage: expected a value JSON can hold"),
        ({"x": math.nan}, "ValueError: `NaN` is not valid JSON"),
        ({"x": [math.inf]}, "ValueError: `inf` is not valid JSON"),
        ({"x": -math.inf}, "ValueError: `-inf` is not valid JSON"),
        ({"x": 2**63}, "OverflowError: int too big to convert"),
        ({1: "a"}, "TypeError: a usage's keys must be strings, as JSON requires"),
        ({"x": {"y": {2: "a"}}}, "TypeError: a usage's keys must be strings, as JSON requires"),
    ],
)
def test_usages_that_fit_no_kind(km, usage, unknown_failure):
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(dict(INFO, usage=[usage]), META)
    assert chain(raised.value) == [
        ("TypeError", "failed to extract field InterchangeProjectInfoG.usage"),
        ("TypeError", enum_error(unknown_failure)),
    ]


def test_a_usage_that_is_not_a_dict(km):
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(dict(INFO, usage=[["a"]]), META)
    assert str(raised.value.__cause__) == enum_error(
        "TypeError: a usage must be a dict, as `.project.json` requires",
        NOT_SUBSCRIPTABLE, NOT_SUBSCRIPTABLE, NOT_SUBSCRIPTABLE,
    )


def test_a_wrong_type_in_a_named_kind_is_reported_with_its_cause(km):
    usage = {"resource": 5, "version_constraint": None, "k": ()}
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(dict(INFO, usage=[usage]), META)
    assert str(raised.value.__cause__) == enum_error(
        "TypeError: `<class 'tuple'>` cannot appear in a usage: expected a value JSON can hold",
        resource="TypeError: failed to extract field InterchangeProjectUsageG::Resource.resource, "
        "caused by TypeError: 'int' object is not an instance of 'str'",
    )


class CausedByItself:
    """A mapping whose lookups fail with an exception that is its own cause."""

    def __getitem__(self, key):
        error = KeyError(key)
        error.__cause__ = error
        raise error


def test_a_failure_whose_causes_loop_is_described_once(km):
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(dict(INFO, usage=[CausedByItself()]), META)
    assert str(raised.value.__cause__) == enum_error(
        "TypeError: a usage must be a dict, as `.project.json` requires",
    )


@pytest.mark.parametrize("container", ["list", "dict"])
def test_a_self_containing_value_raises(km, container):
    value = []
    value.append(value)
    if container == "dict":
        value = {}
        value["self"] = value
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(dict(INFO, usage=[{"x": value}]), META)
    assert str(raised.value.__cause__).endswith(
        "caused by RecursionError: maximum recursion depth exceeded while converting a usage to JSON"
    )


def test_the_deepest_value_read_comes_back(km):
    def roundtrip(depth):
        value = 1
        for _ in range(depth):
            value = [value]
        try:
            return km._do_model_roundtrip_py(dict(INFO, usage=[{"x": value}]), META)[0]["usage"][0]["x"] == value
        except TypeError:  # deeper than reading takes
            return False

    # The deepest nesting that reading takes, found by bisection; writing
    # gives it back.
    low, high = 1, 100_000
    while low < high:
        middle = (low + high + 1) // 2
        low, high = (middle, high) if roundtrip(middle) else (low, middle - 1)
    assert 1 < low < 100_000


def field(record, key):
    return ("TypeError", f"failed to extract field {record}.{key}")


INFO_G = "InterchangeProjectInfoG"
META_G = "InterchangeProjectMetadataG"
NOT_STR = ("TypeError", "'int' object is not an instance of 'str'")


@pytest.mark.parametrize(
    "info,meta,expected",
    [
        ({k: v for k, v in INFO.items() if k != "license"}, META, [("KeyError", "'license'")]),
        (5, META, [("TypeError", "'int' object is not subscriptable")]),
        (INFO, {k: v for k, v in META.items() if k != "created"}, [("KeyError", "'created'")]),
        (dict(INFO, name=1), META, [field(INFO_G, "name"), NOT_STR]),
        (dict(INFO, version=None), META, [field(INFO_G, "version"), ("TypeError", "'None' is not an instance of 'str'")]),
        (dict(INFO, maintainer="Ann"), META,
         [field(INFO_G, "maintainer"), ("TypeError", "a `str` cannot be taken as a sequence of strings")]),
        (dict(INFO, topic=[1]), META, [field(INFO_G, "topic"), NOT_STR]),
        (dict(INFO, usage="x"), META,
         [field(INFO_G, "usage"), ("TypeError", "a `str` cannot be taken as a sequence of strings")]),
        (dict(INFO, usage=3), META, [field(INFO_G, "usage"), ("TypeError", "'int' object is not an instance of 'Sequence'")]),
        (INFO, dict(META, includes_derived=1), [field(META_G, "includes_derived"),
                                                ("TypeError", "'int' object is not an instance of 'bool'")]),
        (INFO, dict(META, index=[]), [field(META_G, "index"), ("TypeError", "'list' object is not an instance of 'dict'")]),
        (INFO, dict(META, index={"A": 1}), [field(META_G, "index"), NOT_STR]),
        (INFO, dict(META, checksum={"a": {"algorithm": "SHA256"}}), [field(META_G, "checksum"), ("KeyError", "'value'")]),
        (INFO, dict(META, checksum={"a": {"value": 1, "algorithm": "SHA256"}}),
         [field(META_G, "checksum"), field("InterchangeProjectChecksumRaw", "value"), NOT_STR]),
        (INFO, dict(META, checksum={"a": {"value": "", "algorithm": None}}),
         [field(META_G, "checksum"), field("InterchangeProjectChecksumRaw", "algorithm"),
          ("TypeError", "'None' is not an instance of 'str'")]),
    ],
)
def test_reading_failures(km, info, meta, expected):
    with pytest.raises(Exception) as raised:
        km._do_model_roundtrip_py(info, meta)
    assert chain(raised.value) == expected
    assert not hasattr(raised.value, "__notes__")


def test_checksum_entries_keep_any_algorithm_and_drop_extra_items(km):
    meta = dict(META, checksum={"a": {"value": "x", "algorithm": "md5", "size": 3}})
    assert km._do_model_roundtrip_py(INFO, meta)[1]["checksum"] == {"a": {"value": "x", "algorithm": "md5"}}


class Mutating(dict):
    """A checksum entry whose lookup changes the checksum map being walked."""

    def __init__(self, target, change):
        super().__init__(value="v", algorithm="SHA256")
        self.target, self.change = target, change

    def __getitem__(self, key):
        if key == "algorithm":
            self.change(self.target)
        return super().__getitem__(key)


def shrink(d):
    d.pop("b")


def replace_key(d):
    d.pop("a")
    d["c"] = {"value": "", "algorithm": "NONE"}


@pytest.mark.parametrize(
    "change,message",
    [(shrink, "dictionary changed size during iteration"), (replace_key, "dictionary keys changed during iteration")],
)
def test_a_dict_changed_while_it_is_read(km, change, message):
    checksum = {}
    checksum["a"] = Mutating(checksum, change)
    checksum["b"] = {"value": "", "algorithm": "NONE"}
    with pytest.raises(TypeError) as raised:
        km._do_model_roundtrip_py(INFO, dict(META, checksum=checksum))
    assert chain(raised.value) == [field(META_G, "checksum"), ("RuntimeError", message)]


def test_deep_nesting_is_refused_in_a_small_thread(km):
    import threading

    value = 1
    for _ in range(5000):
        value = [value]
    outcome = []

    def run():
        try:
            km._do_model_roundtrip_py(dict(INFO, usage=[{"x": value}]), META)
        except TypeError as e:
            outcome.append(e)

    threading.stack_size(512 * 1024)
    try:
        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
    finally:
        threading.stack_size(0)
    assert len(outcome) == 1


# 64 KiB is below what 256 levels of a recursive conversion take; the record
# file's own parser needs more than that, so the file case runs at 1 MiB only.
@pytest.mark.parametrize("stack_size,with_file", [(1 << 20, True), (64 << 10, False)])
def test_the_deepest_values_convert_in_a_small_thread(km_import, stack_size, with_file, tmp_path):
    # The deepest value taken from Python, and the deepest a record file
    # holds, both cross the boundary in a thread with a small stack: the
    # conversions take no C stack per level. One level more is refused.
    info = {k: v for k, v in INFO.items() if k != "usage"}
    out = run_python(
        f"""
        import json, threading
        {km_import}
        INFO, META, DIR = {info!r}, {META!r}, {str(tmp_path)!r}

        def nested(depth):
            value = 1
            for _ in range(depth):
                value = [value]
            return value

        def from_python(depth):
            value = nested(depth)
            try:
                got = km._do_model_roundtrip_py(dict(INFO, usage=[{{"x": value}}]), META)
            except TypeError as e:
                return str(e.__cause__).rsplit("caused by ", 1)[-1]
            return got[0]["usage"][0]["x"] == value

        def from_file(depth):
            with open(DIR + "/.project.json", "w") as f:
                f.write('{{"name": "n", "version": "1", "usage": [{{"x": ' + "[" * depth + "1" + "]" * depth + "}}]}}")
            with open(DIR + "/.meta.json", "w") as f:
                json.dump(dict(index={{}}, created="c"), f)
            try:
                return km.do_info_py_path(DIR)[0]["usage"][0]["x"] == nested(depth)
            except RuntimeError:
                return False

        def deepest(convert):
            low, high = 1, 10_000
            while low < high:
                middle = (low + high + 1) // 2
                low, high = (middle, high) if convert(middle) is True else (low, middle - 1)
            return low

        python_depth, file_depth = deepest(from_python), deepest(from_file)
        results = []
        def run():
            results.append(from_python(python_depth))
            results.append(from_python(python_depth + 1))
            results.append(not {with_file} or from_file(file_depth))
        threading.stack_size({stack_size})
        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
        print(python_depth > 100, file_depth > 100, results)
        """
    )
    assert out.strip() == (
        "True True [True, 'RecursionError: maximum recursion depth exceeded while converting a usage to JSON', True]"
    )


@pytest.mark.parametrize("kind, key", [("src", "src_cksum"), ("kpar", "kpar_cksum")])
def test_installed_checksum_is_a_one_key_dict(kind, key):
    import _kestro_py_testing

    hex_text = "ab" * 32
    assert _kestro_py_testing.env_checksum(kind, hex_text) == {key: hex_text}
