import _kestro_core


def test_default_env_name():
    assert _kestro_core.DEFAULT_ENV_NAME == ".kestro"
