#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the language bindings and the reference tables from include/vok32.h.

    python3 scripts/gen-bindings.py           # rewrite the generated files
    python3 scripts/gen-bindings.py --check   # exit 1 when one is out of date

The header is the one source: every `#define VOK_...` with a number (or with
the name of another constant, an alias) and its comment, and every exported
prototype with the comment above it. A constant's comment is the one on its
line, else the block that ends on the line above it. The section a constant
stands in (the block comments that begin "Integer parameters", "String
parameters", ...) decides its table; the prefixes VOK_PARAM_, VOK_STAT_ and
VOK_DEBUG_ and a quoted text as the comment's start (result codes) do the
rest, so constants added later are picked up by running this again.
"""
import argparse
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HEADER = os.path.join(ROOT, "include", "vok32.h")
NOTICE = "Generated from include/vok32.h by scripts/gen-bindings.py: do not edit."
SPDX = "SPDX-License-Identifier: MIT"

SECTIONS = [("Integer parameters", "int"), ("String parameters", "str"),
            ("Statistics", "stat"), ("Debug codes", "debug"), ("Result codes", "result"),
            ("Socket-layer", "result")]
SKIP = {"VOK32_H", "VOKAPI", "VOK_EXPORT"}


class Constant:
    def __init__(self, name, value, alias, doc, section):
        self.name, self.value, self.alias, self.doc, self.section = name, value, alias, doc, section

    @property
    def text(self):
        """The result code's text: the quoted start of its comment."""
        m = re.match(r'"((?:[^"\\]|\\.)*)"', self.doc or "")
        return m.group(1) if m else None

    @property
    def kind(self):
        if self.name.startswith("VOK_PARAM_"):
            return "str" if self.section == "str" else "int"
        if self.name.startswith("VOK_STAT_"):
            return "stat"
        if self.name.startswith("VOK_DEBUG_"):
            return "debug"
        if self.text is not None:
            return "result"
        return "other"


class Function:
    def __init__(self, name, args, doc):
        self.name, self.args, self.doc = name, args, doc  # args: [(kind, name)]


def clean_comment(text):
    body = re.sub(r"^/\*+|\*+/$", "", text.strip())
    lines = [re.sub(r"^\s*\*\s?", "", ln).rstrip() for ln in body.split("\n")]
    return " ".join(ln.strip() for ln in lines if ln.strip())


def parse(path=HEADER):
    lines = open(path, encoding="utf-8").read().split("\n")
    constants, functions = [], []
    section = None
    last_doc, last_doc_end = None, -2
    i = 0
    while i < len(lines):
        line = lines[i]
        stripped = line.strip()
        if stripped.startswith("/*"):
            start = i
            while "*/" not in lines[i]:
                i += 1
            text = clean_comment("\n".join(lines[start:i + 1]))
            heading = [kind for title, kind in SECTIONS if text.startswith(title)]
            if heading:
                section = heading[0]
                last_doc, last_doc_end = None, -2
            else:
                last_doc, last_doc_end = text, i
            i += 1
            continue
        m = re.match(r"#define\s+(VOK_\w+)\s+(\(?-?(?:0x[0-9A-Fa-f]+|\d+)\)?|VOK_\w+)\s*(/\*.*\*/)?\s*$",
                     stripped)
        if m and m.group(1) not in SKIP:
            name, raw, trailing = m.groups()
            doc = clean_comment(trailing) if trailing else (
                last_doc if last_doc_end == i - 1 else None)
            alias = raw if raw.startswith("VOK_") else None
            value = None if alias else int(raw.strip("()"), 0)
            constants.append(Constant(name, value, alias, doc, section))
        elif stripped.startswith("VOK_EXPORT"):
            start = i
            while ";" not in lines[i]:
                i += 1
            decl = " ".join(ln.strip() for ln in lines[start:i + 1])
            f = re.match(r"VOK_EXPORT\s+int\s+VOKAPI\s+(\w+)\s*\((.*)\)\s*;", decl)
            if not f:
                sys.exit("cannot read the prototype: " + decl)
            args = []
            for arg in f.group(2).split(","):
                arg = arg.strip()
                if arg == "void":
                    continue
                a = re.match(r"(const\s+char\s*\*|char\s*\*|int)\s*(\w+)$", arg)
                if not a:
                    sys.exit("unknown argument type in %s: %s" % (f.group(1), arg))
                kind = {"int": "int"}.get(a.group(1), "in" if "const" in a.group(1) else "out")
                args.append((kind, a.group(2)))
            doc = last_doc if last_doc_end == start - 1 else None
            functions.append(Function(f.group(1), args, doc))
        i += 1
    by_name = {c.name: c for c in constants}
    for c in constants:
        if c.alias:
            target = by_name.get(c.alias)
            if target is None or target.alias:
                sys.exit("%s names %s, which is no numbered constant" % (c.name, c.alias))
            c.value = target.value
    return constants, functions


# --- Bindings ------------------------------------------------------------------


def comment_lines(doc, prefix, width=96):
    words, out, line = (doc or "").split(), [], ""
    for w in words:
        if line and len(prefix) + len(line) + 1 + len(w) > width:
            out.append(prefix + line)
            line = w
        else:
            line = (line + " " + w) if line else w
    if line:
        out.append(prefix + line)
    return out


def csharp(constants, functions):
    types = {"int": "int", "in": "string", "out": "StringBuilder"}
    out = ["// " + SPDX, "// " + NOTICE, "// VOK32 for C#: P/Invoke declarations of VOK32.dll.",
           "using System.Runtime.InteropServices;", "using System.Text;", "", "namespace Vok32", "{", "    public static class Vok", "    {",
           '        public const string Dll = "VOK32.dll";', ""]
    for c in constants:
        out += comment_lines(c.doc, "        /// ") if c.doc else []
        out.append("        public const int %s = %s;" % (c.name, c.alias or c.value))
    for f in functions:
        out.append("")
        out += comment_lines(f.doc, "        /// ") if f.doc else []
        out.append("        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, "
                   "CharSet = CharSet.Ansi, ExactSpelling = true)]")
        args = ", ".join("%s %s" % (types[k], n) for k, n in f.args)
        out.append("        public static extern int %s(%s);" % (f.name, args))
    out += ["    }", "}", ""]
    return "\n".join(out)


def vbnet(constants, functions):
    types = {"int": "Integer", "in": "String", "out": "StringBuilder"}
    out = ["' " + SPDX, "' " + NOTICE, "' VOK32 for VB.NET: P/Invoke declarations of VOK32.dll.",
           "Imports System.Runtime.InteropServices", "Imports System.Text", "", "Public Module Vok",
           '    Public Const Dll As String = "VOK32.dll"', ""]
    for c in constants:
        out += comment_lines(c.doc, "    ''' ") if c.doc else []
        out.append("    Public Const %s As Integer = %s" % (c.name, c.alias or c.value))
    for f in functions:
        out.append("")
        out += comment_lines(f.doc, "    ''' ") if f.doc else []
        args = ", ".join("ByVal %s As %s" % (n, types[k]) for k, n in f.args)
        out.append("    <DllImport(Dll, CallingConvention:=CallingConvention.StdCall, "
                   "CharSet:=CharSet.Ansi, ExactSpelling:=True)>")
        out.append("    Public Function %s(%s) As Integer" % (f.name, args))
        out.append("    End Function")
    out += ["End Module", ""]
    return "\n".join(out)


def pascal(constants, functions):
    def value(c):
        if c.alias:
            return c.alias
        return ("-$%X" % -c.value if c.value < 0 else "$%X" % c.value) if c.value and abs(
            c.value) >= 0x100 and "VERSION" in c.name else str(c.value)
    seen = {}
    for name in [c.name for c in constants] + [f.name for f in functions]:
        if name.lower() in seen:
            sys.exit("Pascal cannot tell %s from %s" % (name, seen[name.lower()]))
        seen[name.lower()] = name
    types = {"int": "Integer", "in": "PAnsiChar", "out": "PAnsiChar"}
    reserved = set("and array as begin case class const div do downto else end file for function "
                   "goto if in inherited is label mod nil not object of or packed procedure "
                   "program record repeat set shl shr string then to type unit until uses var "
                   "while with xor".split())

    def arg(name):
        return "a" + name[0].upper() + name[1:] if name.lower() in reserved else name
    out = ["{ " + SPDX + " }", "{ " + NOTICE + " }",
           "{ VOK32 for Delphi and Free Pascal: VOK32.dll (Windows, stdcall) or",
           "  libvok32.so (elsewhere, cdecl). }", "unit vok32;", "", "{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}",
           "", "interface", "", "const", "{$IFDEF MSWINDOWS}", "  VOK32_LIBRARY = 'VOK32.dll';",
           "{$ELSE}", "  VOK32_LIBRARY = 'vok32';", "{$ENDIF}", ""]
    for c in constants:
        out += comment_lines(c.doc, "  // ") if c.doc else []
        out.append("  %s = %s;" % (c.name, value(c)))
    out.append("")
    for f in functions:
        out += comment_lines(f.doc, "// ") if f.doc else []
        args = "; ".join("%s: %s" % (arg(n), types[k]) for k, n in f.args)
        out.append("function %s%s: Integer; {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};"
                   % (f.name, "(%s)" % args if args else ""))
    out += ["", "implementation", ""]
    for f in functions:
        out.append("function %s; external VOK32_LIBRARY name '%s';" % (f.name, f.name))
    out += ["", "end.", ""]
    return "\n".join(out)


def python(constants, functions):
    out = ["# " + SPDX, '"""%s"""' % NOTICE, "", "# Every named constant of vok32.h."]
    for c in constants:
        out.append("%s = %s" % (c.name, c.alias or c.value))
    out += ["", "# The text vokErrorText gives for each result code.", "ERROR_TEXTS = {"]
    for c in constants:
        if c.kind == "result" and not c.alias:
            out.append("    %d: %r," % (c.value, c.text))
    out += ["}", "", "# The table each name belongs to: int, str, stat, debug, result or other.",
            "KINDS = {"]
    for c in constants:
        out.append("    %r: %r," % (c.name, c.kind))
    out += ["}", "", "# Each exported function's arguments: int, in (a text) or out (a buffer).",
            "FUNCTIONS = {"]
    for f in functions:
        out.append("    %r: %r," % (f.name, tuple(k for k, _ in f.args)))
    out += ["}", ""]
    return "\n".join(out)


def reference(constants, functions):
    def esc(text):
        return (text or "").replace("|", "\\|")
    names = {}
    for c in constants:
        if c.alias:
            names.setdefault(c.alias, []).append(c.name)
    out = ["# VOK32 reference tables", "", "<!-- %s -->" % NOTICE, "",
           "The numbers and texts of `include/vok32.h`, which describes each function "
           "in full. Old names that still work are given as aliases.", ""]
    tables = [("int", "Integer parameters (`vokIntegerParam`)"),
              ("str", "String parameters (`vokStringParam`)"),
              ("stat", "Statistics (`vokStatistics`)"), ("debug", "Debug codes (`vokDebug`)")]
    for kind, title in tables:
        out += ["## " + title, "", "| Index | Name | Alias | Description |", "|---|---|---|---|"]
        for c in constants:
            if c.kind == kind and not c.alias:
                out.append("| %d | `%s` | %s | %s |" % (c.value, c.name,
                           ", ".join("`%s`" % n for n in names.get(c.name, [])), esc(c.doc)))
        out.append("")
    out += ["## Result codes", "", "| Code | Name | Text (`vokErrorText`) and notes |", "|---|---|---|"]
    for c in constants:
        if c.kind == "result" and not c.alias:
            out.append("| %d | `%s` | %s |" % (c.value, c.name, esc(c.doc)))
    out += ["", "## Other constants", "", "| Value | Name | Description |", "|---|---|---|"]
    for c in constants:
        if c.kind == "other" and not c.alias:
            out.append("| %s | `%s` | %s |" % (c.value, c.name, esc(c.doc)))
    out += ["", "## Functions", ""]
    for f in functions:
        args = ", ".join({"int": "int", "in": "const char*", "out": "char*"}[k] + " " + n
                         for k, n in f.args) or "void"
        out += ["### %s" % f.name, "", "    int %s(%s);" % (f.name, args), "", esc(f.doc), ""]
    return "\n".join(out)


OUTPUTS = {
    "bindings/csharp/Vok32.cs": csharp,
    "bindings/vbnet/Vok32.vb": vbnet,
    "bindings/pascal/vok32.pas": pascal,
    "bindings/python/vok32/_header.py": python,
    "docs/reference.md": reference,
}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--check", action="store_true", help="change nothing; fail when a file is stale")
    ap.add_argument("--root", default=ROOT, help="where to write (default: the repository)")
    args = ap.parse_args()
    constants, functions = parse()
    stale = []
    for rel, make in OUTPUTS.items():
        text = make(constants, functions)
        path = os.path.join(args.root, rel)
        old = open(path, encoding="utf-8").read() if os.path.exists(path) else None
        if old == text:
            continue
        stale.append(rel)
        if not args.check:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8", newline="\n") as f:
                f.write(text)
    if args.check and stale:
        print("out of date (run python3 scripts/gen-bindings.py): " + ", ".join(stale))
        return 1
    print("%d constants, %d functions; %s" % (len(constants), len(functions),
          ("rewrote " + ", ".join(stale)) if stale else "all files up to date"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
