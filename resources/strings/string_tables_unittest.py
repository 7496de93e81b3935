#!/usr/bin/env python3
"""The string-table checker against copies of the real sources with one
fault each: it must name the language, the id and the fault."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "string_tables.py")


class CheckerTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        for name in os.listdir(HERE):
            if name.endswith(".txt"):
                shutil.copy(os.path.join(HERE, name), self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def edit(self, code, old, new):
        path = os.path.join(self.dir, code + ".txt")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def line(self, code, sid):
        with open(os.path.join(self.dir, code + ".txt"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("%d " % sid):
                    return line
        self.fail("%s has no id %d" % (code, sid))

    def check(self):
        result = subprocess.run([sys.executable, SCRIPT, "check", self.dir],
                                capture_output=True, text=True)
        return result.returncode, result.stderr

    def assertFault(self, expected):
        code, errors = self.check()
        self.assertEqual(code, 1, errors)
        self.assertIn(expected, errors)
        return errors

    def test_the_real_sources_pass(self):
        self.assertEqual(self.check(), (0, ""))

    def test_missing_and_empty_ids(self):
        self.edit("de", self.line("de", 431), "")
        self.edit("fr", self.line("fr", 415), "415\n")
        errors = self.assertFault("de id 431: missing")
        self.assertIn("fr id 415: empty", errors)

    def test_ids_no_language_carries(self):
        self.edit("it", "477 ", "476 Questo testo non esiste\n477 ")
        self.assertFault("it id 476: present, but no language carries it")

    def test_placeholders_and_link_marks(self):
        self.edit("fr", "465 %i min restantes", "465 %s min restantes")
        self.edit("ru", "((Лицензионного соглашения))\n",
                  "((Лицензионного соглашения\n")
        self.edit("cs", "Zbývá %i min", "Zbývá min")
        errors = self.assertFault("fr id 465: placeholders or link marks ['%s'] "
                                  "differ from English ['%i']")
        self.assertIn("ru id 463: placeholders or link marks ['(('] "
                      "differ from English ['((', '))']", errors)
        self.assertIn("cs id 465:", errors)

    def test_english_leftovers(self):
        self.edit("it", "415 Installa\n", "415 Install\n")
        errors = self.assertFault("it id 415: same as English and not on the allow-list")
        # An allow-list entry with its reason accepts it; one without a
        # reason is itself a fault.
        self.edit("it", "@allow 400 brand name\n",
                  "@allow 400 brand name\n@allow 415 kept in English\n")
        self.assertEqual(self.check(), (0, ""))
        self.edit("it", "@allow 415 kept in English\n", "@allow 415\n")
        self.assertFault("it id 415: allow-list entry without a reason")

    def test_script_of_the_language(self):
        self.edit("uk", "416 Закрити\n", "416 Zakryty\n")
        self.edit("ja", "416 閉じる\n", "416 Tojiru\n")
        self.edit("zh-TW", "416 關閉\n", "416 Guanbi\n")
        errors = self.assertFault("uk id 416: no Cyrillic characters")
        self.assertIn("ja id 416: no Japanese characters", errors)
        self.assertIn("zh-TW id 416: no Chinese characters", errors)

    def test_copied_tables(self):
        shutil.copy(os.path.join(self.dir, "zh-CN.txt"), os.path.join(self.dir, "zh-TW.txt"))
        shutil.copy(os.path.join(self.dir, "pt-BR.txt"), os.path.join(self.dir, "pt-PT.txt"))
        errors = self.assertFault("zh-TW: the same table as zh-CN")
        self.assertIn("pt-PT: the same table as pt-BR", errors)

    def test_languages_missing_or_unknown(self):
        os.rename(os.path.join(self.dir, "kk.txt"), os.path.join(self.dir, "pl.txt"))
        errors = self.assertFault("kk: language missing")
        self.assertIn("pl: not a language of the installer", errors)

    def test_generate_writes_nothing_after_a_fault(self):
        self.edit("tr", self.line("tr", 500), "")
        rc = os.path.join(self.dir, "out.rc")
        result = subprocess.run([sys.executable, SCRIPT, "generate", self.dir, rc,
                                 os.path.join(self.dir, "out.json")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertFalse(os.path.exists(rc))


class EscapeTest(unittest.TestCase):
    def setUp(self):
        sys.path.insert(0, HERE)
        import string_tables
        self.tables = string_tables

    def test_source_escapes(self):
        decode = self.tables.decode
        self.assertEqual(decode(r"a\nb\\n\u00a0c"), "a\nb\\n\u00a0c")
        with self.assertRaises(ValueError):
            decode(r"bad \t escape")

    def test_rc_literals(self):
        rc = self.tables.rc_string
        self.assertEqual(rc('say "hi"\n\\'), '"say ""hi""\\n\\\\"')
        self.assertEqual(rc("\u00a0Ж"), '"\u00a0Ж"')
        with self.assertRaises(ValueError):
            rc("tab\there")


if __name__ == "__main__":
    unittest.main()
