"""The class and hint of a failed index read, for each kind of failure and
each kind of `AuthPolicy`."""
import _kestro_py_testing as testing
import pytest

URL = "https://idx.example/p/versions.json"
STATUS_403 = f"HTTP request to `{URL}` returned status 403 Forbidden"
STATUS_401 = f"HTTP request to `{URL}` returned status 401 Unauthorized"
REFUSED = f"could not connect for `{URL}`: connection refused"
RESET = f"error reading the answer from `{URL}`: connection reset"


def raised(registered, failure, status=403, kind="none", url_glob=None, env=()):
    with pytest.raises(Exception) as caught:
        testing.auth_hint(failure, status, URL, kind, url_glob, list(env))
    for slot, cls in registered.items():
        if type(caught.value) is cls:
            return slot, str(caught.value)
    raise AssertionError(f"not a registered class: {caught.value!r}")


@pytest.mark.parametrize(
    "kind, url_glob, env, hint",
    [
        ("bearer", "https://idx.example/**", [],
         f"the bearer credential for URL glob `https://idx.example/**`\nwas rejected by, or does not match, `{URL}`"),
        ("basic", None, [], f"the basic credential for URL glob ``\nwas rejected by, or does not match, `{URL}`"),
        ("none", None, [],
         f"no credentials were configured for `{URL}`;\npass `auth=AuthPolicy.bearer(...)`, "
         "`AuthPolicy.basic(...)` or `AuthPolicy.from_env()`"),
        ("env", None, ["https://idx.example/**|CORP|t1"],
         "the bearer token in `KESTRO_CRED_CORP_BEARER_TOKEN` (URL glob\n`KESTRO_CRED_CORP`) was rejected by "
         f"`{URL}`"),
        ("env", None, ["https://idx.example/**||pw"], f"no `KESTRO_CRED_*` bearer token matches `{URL}`"),
        ("env", None, ["https://idx.example/**|A|t1", "https://*.example/**|B|t2"],
         f"several `KESTRO_CRED_*` URL globs match `{URL}`:\n`KESTRO_CRED_A`, `KESTRO_CRED_B`"),
        ("env", None, ["https://other/**|A|t1"], f"no `KESTRO_CRED_*` bearer token matches `{URL}`"),
    ],
)
def test_a_refused_versions_fetch_is_auth_with_the_hint(registered, kind, url_glob, env, hint):
    assert raised(registered, "versions_status", 403, kind, url_glob, env) == ("auth", f"{STATUS_403}\n  {hint}")


def test_the_hint_never_shows_a_token(registered):
    _, message = raised(registered, "versions_status", 401, "env", None, ["https://idx.example/**|A|tok-SECRET"])
    assert "tok-SECRET" not in message
    assert message.startswith(STATUS_401 + "\n  ")


def test_a_refused_discovery_fetch_is_auth(registered):
    slot, message = raised(registered, "discovery_status", 401, "none")
    assert slot == "auth"
    assert message.startswith(STATUS_401 + "\n  no credentials were configured for ")


@pytest.mark.parametrize(
    "failure, status, slot, message",
    [
        ("versions_status", 404, "index_protocol", f"HTTP request to `{URL}` returned status 404 Not Found"),
        ("versions_status", 500, "index_protocol",
         f"HTTP request to `{URL}` returned status 500 Internal Server Error"),
        ("versions_status", 429, "index_protocol", f"HTTP request to `{URL}` returned status 429 Too Many Requests"),
        ("project_status", 401, "index_protocol", STATUS_401),
        ("versions_request", 0, "resolution",
         f"HTTP request to `{URL}` failed: {REFUSED}\n  caused by: {REFUSED}\n"),
        ("versions_body", 0, "index_protocol",
         f"failed to read HTTP response body from `{URL}`: {RESET}\n  caused by: {RESET}\n"),
        ("discovery_value", 0, "index_protocol",
         f"discovery document at `{URL}` supplied a relative URL `v1/` for `api_root`;\n"
         "absolute HTTP(S) URLs are required"),
        ("file", 0, "resolution", "failed to extract path from file URL"),
    ],
)
def test_other_failures_take_their_class_without_a_hint(registered, failure, status, slot, message):
    assert raised(registered, failure, status, "bearer", "https://idx.example/**") == (slot, message)


def test_a_project_missing_from_the_index_is_index_protocol(registered):
    slot, message = raised(registered, "not_in_index", 0)
    assert slot == "index_protocol"
    assert "\n  " not in message
