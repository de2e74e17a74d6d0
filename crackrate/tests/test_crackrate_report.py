"""The example analysis section of Crackrate: its table and its SVG picture
of crack length against cycles with and without the overload."""
import os
import shutil
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

if sys.version_info[0] >= 3:
    from io import StringIO
else:
    from StringIO import StringIO

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
sys.path.insert(0, EXAMPLES)
from analysis import load_section  # noqa: E402 (the examples' own loader)

REPORT = os.path.join(EXAMPLES, "report_crackrate.py")
SVG = "{http://www.w3.org/2000/svg}"


def points(polyline):
    return [tuple(float(v) for v in p.split(",")) for p in polyline.get("points").split()]


class ReportTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.section = load_section("report_crackrate", REPORT)
        cls.folder = tempfile.mkdtemp()
        cls.path = os.path.join(cls.folder, "growth.svg")
        out = StringIO()
        cls.section.report(out, cls.path)
        cls.text = out.getvalue()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_the_picture_is_well_formed_svg_with_both_curves_axes_and_the_overload(self):
        root = ET.parse(self.path).getroot()  # raises on malformed XML
        self.assertEqual(root.tag, SVG + "svg")
        curves = dict((p.get("id"), points(p)) for p in root.iter(SVG + "polyline"))
        self.assertEqual(sorted(curves), ["with-overload", "without-overload"])
        width, height = float(root.get("width")), float(root.get("height"))
        for name, curve in curves.items():
            self.assertGreater(len(curve), 100, name)
            for x, y in curve:
                self.assertTrue(0 <= x <= width and 0 <= y <= height, (name, x, y))
            # Cycles and crack length only ever grow: x rises, y falls.
            self.assertEqual(curve, sorted(curve, key=lambda p: (p[0], -p[1])), name)
        texts = [t.text for t in root.iter(SVG + "text")]
        self.assertIn("Cycles (millions)", texts)
        self.assertIn("Crack length a (in)", texts)
        marks = [g for g in root.iter(SVG + "g") if g.get("id") == "overload"]
        self.assertEqual(len(marks), 1)
        self.assertEqual(len(list(marks[0].iter(SVG + "line"))), 1)

    def test_the_overload_retards_growth_after_it_and_not_before(self):
        plain, _ = self.section.grow(False)
        retarded, overload_at = self.section.grow(True)
        self.assertIsNotNone(overload_at)
        before = [p for p in plain if p[0] < overload_at]
        self.assertEqual(before, retarded[:len(before)])
        final = self.section.FINAL_CRACK
        self.assertGreater(self.section.cycles_to(retarded, final),
                           self.section.cycles_to(plain, final))
        self.assertIn("Overload at cycle %d" % overload_at, self.text)
        self.assertIn(self.path, self.text)


if __name__ == "__main__":
    unittest.main()
