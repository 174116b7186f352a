from conftest import run_python

CLASSES = "dict.fromkeys(['project', 'env', 'resolution', 'not_found', 'auth', 'index_protocol', 'solve', 'sync'], Exception)"

CAPTURE = """
import logging
records = []
class Capture(logging.Handler):
    def emit(self, record):
        records.append((record.name, record.levelname, record.getMessage()))
logging.getLogger().addHandler(Capture())
logging.getLogger().setLevel(logging.DEBUG)
"""


def test_records_reach_python_logging_only_after_a_do_call(km_import):
    out = run_python(
        CAPTURE,
        f"""
        {km_import}
        km._register_errors(**{CLASSES})
        km._register_errors(**{CLASSES})
        print(records)
        # A do_ function installs the bridge; the repeated registration logs.
        try:
            km.do_info_py_path(".")
        except Exception:
            pass
        km._register_errors(**{CLASSES})
        print(records)
        """
    )
    assert out.splitlines() == [
        "[]",
        "[('kestro_py.py_errors', 'DEBUG', \"kestro's exception classes are already registered; "
        "keeping the ones registered first\")]",
    ]


def test_levels_targets_and_records_from_released_sections():
    out = run_python(
        CAPTURE,
        f"""
        import _kestro_py_testing as testing
        logging.getLogger("kestro_core.quiet").setLevel(logging.WARNING)
        for level, target in [(1, "kestro_core::commands::sync"), (2, "a::b"), (3, "a"), (4, "a"), (5, "a"),
                              (3, "kestro_core::quiet"), (2, "kestro_core::quiet")]:
            testing.do_log_released(level, target, f"m{{level}} 100%")
        for record in records:
            print(*record)
        """
    )
    assert out.splitlines() == [
        "kestro_core.commands.sync ERROR m1 100%",
        "a.b WARNING m2 100%",
        "a INFO m3 100%",
        "a DEBUG m4 100%",
        "kestro_core.quiet WARNING m2 100%",
    ]


def test_a_logger_that_cannot_answer_leaves_the_call_unharmed(km_import):
    out = run_python(
        f"""
        import logging, sys
        class Undecided:
            def __bool__(self):
                raise ValueError("undecided")
        class Odd(logging.Logger):
            def isEnabledFor(self, level):
                return Undecided()
        logging.setLoggerClass(Odd)
        sys.unraisablehook = lambda u: print("unraisable", repr(u.exc_value))
        {km_import}
        km._register_errors(**{CLASSES})
        try:
            km.do_info_py_path("/nonexistent")
        except RuntimeError:
            pass
        # The repeated registration asks the bridge whether to log.
        print(km._register_errors(**{CLASSES}))
        """
    )
    assert out.splitlines() == ["unraisable ValueError('undecided')", "None"]
