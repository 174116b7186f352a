"""The lexer, and the parser's recovery from broken text."""

import pytest

from _plovik import _lexer, core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)


@pytest.mark.parametrize(
    "text, expected",
    [
        ("a::b", [("name", "a"), ("symbol", "::"), ("name", "b")]),
        ("x :>> y ::> z :> w", [("name", "x"), ("symbol", ":>>"), ("name", "y"), ("symbol", "::>"), ("name", "z"), ("symbol", ":>"), ("name", "w")]),
        ("[1..*]", [("symbol", "["), ("number", 1), ("symbol", ".."), ("symbol", "*"), ("symbol", "]")]),
        ("1.5 2e3 7", [("number", 1.5), ("number", 2000.0), ("number", 7)]),
        ("'a b' 'q\\'s'", [("name", "a b"), ("name", "q's")]),
        ('"s\\"t\\n"', [("string", 's"t\n')]),
        ("a // note\nb", [("name", "a"), ("name", "b")]),
        ("/* c */ x", [("comment", " c "), ("name", "x")]),
        ("a := b == c != d <= e >= f === g", [("name", "a"), ("symbol", ":="), ("name", "b"), ("symbol", "=="), ("name", "c"), ("symbol", "!="), ("name", "d"), ("symbol", "<="), ("name", "e"), ("symbol", ">="), ("name", "f"), ("symbol", "==="), ("name", "g")]),
    ],
)
def test_tokens(text, expected):
    toks = _lexer.tokenize(text)
    assert toks[-1].kind == _lexer.EOF
    assert [(t.kind, t.value) for t in toks[:-1]] == expected


@pytest.mark.parametrize(
    "text, message",
    [
        ("'open", "unterminated name"),
        ('"open', "unterminated string"),
        ("/* open", "unterminated comment"),
        ("\u00a7", "unexpected character '\u00a7'"),
    ],
)
def test_lexer_errors_are_tokens(text, message):
    (err, eof) = _lexer.tokenize(text)
    assert (err.kind, err.value) == (_lexer.ERROR, message)
    assert eof.kind == _lexer.EOF


def test_positions_are_zero_based_and_span_lines():
    toks = _lexer.tokenize("a\n  /* x\n y */ bb")
    assert [(t.line, t.col, t.end_line, t.end_col) for t in toks[:-1]] == [(0, 0, 0, 1), (1, 2, 2, 5), (2, 6, 2, 8)]


@pytest.mark.parametrize(
    "text, line, col, survivors",
    [
        ("package P {\n  part a;\n  part b : ;\n  part c;\n}\n", 3, 12, ["P::a", "P::c"]),
        ("package P {\n  frobnicate x y;\n  part c;\n}\n", 2, 3, ["P::c"]),
        ("package P {\n  part a { part x : = ; }\n  part c;\n}\n", 2, 21, ["P::a", "P::c"]),
        ("package P {\n  part a;\n  part b { part y;\n", 4, 1, ["P::a", "P::b", "P::b::y"]),
        ("package P {\n  part a;\n}\n}\npart def Q;\n", 4, 1, ["P::a", "Q"]),
        ("package P {\n  part 'open;\n  part c;\n}\n", 2, 8, ["P::c"]),
        ("package P {\n  part a = 1 + ;\n  part c;\n}\n", 2, 16, ["P::a", "P::c"]),
        ("package P {\n  \u00a7 part a;\n  part c;\n}\n", 2, 3, ["P::c"]),
        ("package P {\n  import ;\n  part c;\n}\n", 2, 10, ["P::c"]),
        ("package P {\n  part a\n  part c;\n}\n", 3, 3, ["P::a", "P::c"]),
        ("package P {\n  part a :\n  package Q { part d; }\n}\n", 3, 3, ["P::a", "P::Q::d"]),
    ],
)
def test_syntax_errors_are_reported_and_the_rest_loads(load, text, line, col, survivors):
    model, diags = load(text)
    assert diags.parser, "no parser diagnostic"
    first = diags.parser[0]
    assert (first.line, first.col, first.code, first.severity) == (line, col, "syntax", core.DiagnosticSeverity.Error)
    assert first.filename.endswith("model.sysml")
    for name in survivors:
        by_qname(model, name)


def test_garbage_never_raises(load):
    junk = "package { :: :> ]] [[ ( } } 'x \" /* @ # ; def def part def ; view v { expose ::*; filter ; }"
    for cut in range(0, len(junk), 3):
        model, diags = load(junk[:cut] + "\npackage Ok { part def A; }\n")
        assert any(d.declared_name == "A" for d in model.nodes(core.PartDefinition))
        assert diags.parser or cut == 0


def test_diagnostics_render_as_text(load):
    _, diags = load("package P {\n  part b : ;\n}\n")
    text = str(diags)
    assert "model.sysml:2:" in text and "syntax" in text


@pytest.mark.parametrize(
    "deep",
    [
        "package P { attribute a = " + "(" * 3000 + "1" + ")" * 3000 + "; }",
        "package P { " + "package Q { " * 1500 + "}" * 1500 + "}",
        "package P { attribute a = " + "-" * 3000 + "1; }",
        "package P { attribute a = 2" + " ** 2" * 3000 + "; }",
        "package P { attribute a = " + "f(" * 3000 + ")" * 3000 + "; }",
    ],
    ids=["parentheses", "packages", "unary", "power", "calls"],
)
def test_deep_nesting_is_a_diagnostic(load, deep):
    model, diags = load(deep + "\npackage Ok { part def A; }\n")
    assert any("nesting" in d.message for d in diags.parser), str(diags)
    by_qname(model, "Ok::A")


def test_moderate_nesting_loads(load):
    text = "package P { " + "package Q { " * 30 + "attribute a = " + "(" * 30 + "1" + ")" * 30 + ";" + "}" * 30 + "}"
    model, diags = load(text)
    assert not diags, str(diags)


def test_nesting_limit_holds_after_a_recovered_error(load):
    # After the first too-deep member, the next one at the same depth is refused too.
    inner = "package Q { " * 150 + "}" * 150
    model, diags = load("package P { " + inner + " " + inner + " }\npackage Ok { part def A; }\n")
    assert sum("nesting" in d.message for d in diags.parser) == 2
    by_qname(model, "Ok::A")


def test_language_is_a_name_unless_a_language_string_follows(load):
    model, diags = load('package L { enum def R { language; name; } rep language "x" /* y */ }')
    assert not diags, str(diags)
    r = by_qname(model, "L::R")
    assert [v.name for v in r.enumerated_values] == ["language", "name"]
    assert [(t.name, t.language) for t in model.nodes(core.TextualRepresentation)] == [(None, "x")]


@pytest.mark.parametrize(
    "member",
    ["frobnicate Engine;", "frobnicate Engine { part x; }", "frobnicate <e> Engine : T;", "abstract frobnicate Engine;"],
)
def test_a_word_without_a_rule_gives_one_diagnostic_and_no_element(load, member):
    model, diags = load(f"package P {{\n    part def T;\n    {member}\n    part c;\n}}\n")
    assert [(d.line, d.message) for d in diags.parser] == [(3, "unknown keyword 'frobnicate'")]
    names = {e.name for e in model.nodes(core.Element)}
    assert not names & {"frobnicate", "Engine", "e", "x"}
    by_qname(model, "P::c")
