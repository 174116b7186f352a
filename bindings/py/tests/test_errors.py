import _kestro_py_testing as testing
import pytest
from conftest import HOST_CLASSES, SLOTS, run_python

NOTE = (
    "\n\nnote: kestro's exception classes have not been\n"
    "registered with this extension module. Import the Python\n"
    "package that owns it before calling into the bindings."
)

CLASSES = ", ".join(f"{slot}=type('{slot}', (Exception,), {{}})" for slot in SLOTS)


def test_before_registration_a_failure_is_a_runtime_error_with_the_note():
    out = run_python(
        """
        import _kestro_py_testing as testing
        try:
            testing.raise_registered("project", ["no usage `x`"], {"wrote": True})
        except RuntimeError as e:
            print(repr(str(e)))
        """
    )
    assert out.strip() == repr("no usage `x`" + NOTE)


def test_a_failed_registration_stores_nothing(km_import):
    out = run_python(
        f"""
        {km_import}
        import _kestro_py_testing as testing
        classes = dict({CLASSES})
        classes["env"] = "not a class"
        try:
            km._register_errors(**classes)
        except TypeError as e:
            print(e, e.__notes__)
        try:
            testing.raise_registered("project", ["boom"], None)
        except RuntimeError:
            print("still unregistered")
        """
    )
    assert out.splitlines() == [
        "'str' object is not an instance of 'type' [\"while processing 'env'\"]",
        "still unregistered",
    ]


def test_the_first_registration_wins_across_both_modules():
    out = run_python(
        f"""
        import _kestro_core, _plovik_ext, _kestro_py_testing as testing
        first = dict({CLASSES})
        assert _plovik_ext.project._register_errors(**first) is None
        assert _kestro_core._register_errors(**dict({CLASSES})) is None
        try:
            testing.raise_registered("sync", ["boom"], None)
        except first["sync"]:
            print("first")
        """
    )
    assert out.strip() == "first"


@pytest.mark.parametrize("slot", SLOTS)
def test_each_slot_raises_its_class_with_the_message(registered, slot):
    with pytest.raises(HOST_CLASSES[slot]) as raised:
        testing.raise_registered(slot, ["no lockfile at `x`; run `lock` first (y)"], None)
    assert str(raised.value) == "no lockfile at `x`; run `lock` first (y)"
    assert raised.value.kwargs == {}


def test_keyword_arguments_and_the_rendered_chain(registered):
    with pytest.raises(HOST_CLASSES["solve"]) as raised:
        testing.raise_registered("solve", ["outer", "middle", "inner"], {"kind": "no_solution", "report": "r"})
    assert str(raised.value) == "outer\n  caused by: middle\n  caused by: inner\n"
    assert raised.value.kwargs == {"kind": "no_solution", "report": "r"}


def test_message_bytes_that_are_not_utf8_show_as_replacement_characters(registered):
    with pytest.raises(HOST_CLASSES["project"]) as raised:
        testing.raise_registered("project", [b"failed to read `/tmp/\xff`", "denied"], None)
    assert str(raised.value) == "failed to read `/tmp/\ufffd`\n  caused by: denied\n"


@pytest.mark.parametrize("slot", ["resolution", "auth", "index_protocol"])
def test_failures_made_without_the_gil(registered, slot):
    with pytest.raises(HOST_CLASSES[slot]) as raised:
        testing.raise_from_released(slot, "failure during resolution")
    assert str(raised.value) == "failure during resolution"


def test_classes_that_misbehave():
    out = run_python(
        f"""
        import _kestro_core, _kestro_py_testing as testing
        class Strict(Exception):
            def __init__(self, message):
                super().__init__(message)
        def not_an_exception(message, **kwargs):
            return 42
        classes = dict({CLASSES})
        classes["solve"] = Strict
        classes["env"] = type("Env", (), {{"__new__": lambda cls, m: 42}})
        _kestro_core._register_errors(**classes)
        for slot, kwargs in [("solve", {{"kind": "k"}}), ("env", None)]:
            try:
                testing.raise_registered(slot, ["boom"], kwargs)
            except TypeError as e:
                print(e)
        """
    )
    assert out.splitlines() == [
        "Strict.__init__() got an unexpected keyword argument 'kind'",
        "exceptions must derive from BaseException",
    ]
