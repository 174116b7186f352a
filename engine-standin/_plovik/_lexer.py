"""Lexer of the textual notation: one pass over the text, tokens with 0-based
positions. Errors never raise; they become `ERROR` tokens that the parser
reports."""

from __future__ import annotations

import re

NAME = "name"  # plain or 'quoted' name; `value` holds the unescaped text
NUMBER = "number"
STRING = "string"
COMMENT = "comment"  # /* ... */ body; `value` holds the text between the marks
SYMBOL = "symbol"
ERROR = "error"
EOF = "eof"

# Longest first, so that a prefix never wins over a longer symbol.
_SYMBOLS = sorted(
    [
        "===", "!==", "::>", ":>>", "::", ":>", ":=", "..", "**", "==", "!=", "<=",
        ">=", "->", "??", "@@", "=", "@", "#", "[", "]", "{", "}", "(", ")", ".",
        ",", ";", ":", "<", ">", "+", "-", "*", "/", "%", "^", "~", "!", "|", "&",
        "?", "$",
    ],
    key=len,
    reverse=True,
)
_SYMBOL_STARTS = {s[0] for s in _SYMBOLS}
# The symbols that start with each character, longest first.
_SYMBOLS_BY_START = {c: [s for s in _SYMBOLS if s[0] == c] for c in _SYMBOL_STARTS}
_NAME = re.compile(r"[^\W\d]\w*")
_BLANKS = re.compile(r"[ \t\r\f\v]+")
_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "b": "\b", "f": "\f", "'": "'", '"': '"', "\\": "\\"}


class Token:
    __slots__ = ("kind", "text", "value", "line", "col", "end_line", "end_col", "quoted")

    def __init__(self, kind, text, value, line, col, end_line, end_col, quoted=False):
        self.kind = kind
        self.text = text
        self.value = value
        self.line = line
        self.col = col
        self.end_line = end_line
        self.end_col = end_col
        self.quoted = quoted

    def is_sym(self, text: str) -> bool:
        return self.kind == SYMBOL and self.text == text

    def is_word(self, text: str) -> bool:
        return self.kind == NAME and not self.quoted and self.text == text

    def __repr__(self) -> str:
        return f"Token({self.kind}, {self.text!r}, {self.line}:{self.col})"


def _is_name_start(c: str) -> bool:
    return c.isalpha() or c == "_"


def tokenize(text: str) -> list[Token]:
    """Splits `text` into tokens, ending with one `EOF` token. Line notes
    (`// ...`) are dropped; an unterminated string, name or comment gives an
    `ERROR` token that runs to the end of its line or of the text."""
    tokens: list[Token] = []
    n = len(text)
    i = 0
    line = 0
    line_start = 0

    def advance_to(j: int) -> tuple[int, int]:
        # Moves the line bookkeeping over text[i:j]; returns the end position.
        nonlocal line, line_start
        nl = text.count("\n", i, j)
        if nl:
            line += nl
            line_start = text.rfind("\n", i, j) + 1
        return line, j - line_start

    while i < n:
        c = text[i]
        if c == "\n":
            i += 1
            line += 1
            line_start = i
            continue
        if c in " \t\r\f\v":
            i = _BLANKS.match(text, i).end()
            continue
        start_line, start_col = line, i - line_start
        if c == "/" and text.startswith("//*", i):
            # A note that spans lines, kept out of the model like `//`.
            j = text.find("*/", i + 3)
            j = n if j < 0 else j + 2
            advance_to(j)
            i = j
            continue
        if c == "/" and text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
            continue
        if c == "/" and text.startswith("/*", i):
            j = text.find("*/", i + 2)
            if j < 0:
                end = advance_to(n)
                tokens.append(Token(ERROR, text[i:], "unterminated comment", start_line, start_col, *end))
                i = n
                continue
            body = text[i + 2 : j]
            end = advance_to(j + 2)
            tokens.append(Token(COMMENT, text[i : j + 2], body, start_line, start_col, *end))
            i = j + 2
            continue
        if _is_name_start(c):
            m = _NAME.match(text, i)
            j = m.end() if m is not None else i + 1
            word = text[i:j]
            tokens.append(Token(NAME, word, word, start_line, start_col, start_line, start_col + j - i))
            i = j
            continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit() and not (tokens and tokens[-1].kind == NAME)):
            j = i + 1
            while j < n and text[j].isdigit():
                j += 1
            is_real = c == "."  # `.6`
            if j + 1 < n and text[j] == "." and text[j + 1].isdigit():
                is_real = True
                j += 1
                while j < n and text[j].isdigit():
                    j += 1
            if j < n and text[j] in "eE":
                k = j + 1
                if k < n and text[k] in "+-":
                    k += 1
                if k < n and text[k].isdigit():
                    is_real = True
                    j = k
                    while j < n and text[j].isdigit():
                        j += 1
            lit = text[i:j]
            value = float(lit) if is_real else int(lit)
            tokens.append(Token(NUMBER, lit, value, start_line, start_col, start_line, start_col + j - i))
            i = j
            continue
        if c == "'" or c == '"':
            j = i + 1
            out = []
            closed = False
            while j < n:
                d = text[j]
                if d == "\\" and j + 1 < n:
                    out.append(_ESCAPES.get(text[j + 1], text[j + 1]))
                    j += 2
                    continue
                if d == c:
                    closed = True
                    j += 1
                    break
                if d == "\n":
                    break
                out.append(d)
                j += 1
            if not closed:
                end = advance_to(j)
                what = "name" if c == "'" else "string"
                tokens.append(Token(ERROR, text[i:j], f"unterminated {what}", start_line, start_col, *end))
                i = j
                continue
            kind = NAME if c == "'" else STRING
            tokens.append(
                Token(kind, text[i:j], "".join(out), start_line, start_col, start_line, start_col + j - i, c == "'")
            )
            i = j
            continue
        if c in _SYMBOL_STARTS:
            for sym in _SYMBOLS_BY_START[c]:
                if text.startswith(sym, i):
                    break
            tokens.append(Token(SYMBOL, sym, sym, start_line, start_col, start_line, start_col + len(sym)))
            i += len(sym)
            continue
        tokens.append(Token(ERROR, c, f"unexpected character {c!r}", start_line, start_col, start_line, start_col + 1))
        i += 1
    tokens.append(Token(EOF, "", None, line, i - line_start, line, i - line_start))
    return tokens
