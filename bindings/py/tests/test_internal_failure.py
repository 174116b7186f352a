import os

import _kestro_py_testing as testing
import pytest
from conftest import run_python


@pytest.mark.parametrize(
    "message,text",
    [
        ("broken invariant", "internal error: broken invariant"),
        (None, "internal failure without a message"),
        # A message that names a path whose bytes are not UTF-8.
        (b"cannot relativize `/tmp/\xff`", "internal error: cannot relativize `/tmp/\ufffd`"),
    ],
)
def test_an_internal_failure_passes_handlers_for_exception(message, text):
    with pytest.raises(BaseException) as raised:
        try:
            testing.fail_internally(message)
        except Exception:
            pytest.fail("an internal failure must not be an Exception")
    assert type(raised.value).__name__ == "InternalError"
    assert type(raised.value).__bases__ == (BaseException,)
    assert str(raised.value) == text


def test_a_do_function_without_python_logging_fails_internally(km_import):
    out = run_python(
        f"""
        import sys
        {km_import}
        sys.modules["logging"] = None
        try:
            km.do_info_py_path(".")
        except BaseException as e:
            print(type(e).__bases__[0].__name__, e)
        """
    )
    assert out.strip() == "BaseException Failed to initialize python logging"


@pytest.mark.skipif(
    os.environ.get("KESTRO_SANITIZED") == "1",
    reason="under AddressSanitizer a failed operator new aborts instead of throwing",
)
def test_a_failed_allocation_is_memory_error(km_import, tmp_path):
    # A record far larger than the memory the process may take: the failed
    # allocation comes back as Python's MemoryError, not as an internal
    # failure.
    with open(tmp_path / ".project.json", "wb") as record:
        record.truncate(200 << 20)
    out = run_python(
        f"""
        import resource
        {km_import}
        with open("/proc/self/status") as status:
            size = next(int(line.split()[1]) for line in status if line.startswith("VmSize:")) * 1024
        resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), resource.RLIM_INFINITY))
        try:
            km.do_info_py_path({str(tmp_path)!r})
        except BaseException as e:
            print(type(e).__name__)
        """
    )
    assert out.strip() == "MemoryError"
