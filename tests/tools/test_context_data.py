"""tools/context_data.py on a few lines of Unihan: readings, near syllables, shapes, variants and
the exact bytes of the tables."""

import os
import unittest

import context_data

FIXTURE = os.path.join(os.path.dirname(__file__), "..", "data", "unihan")


class ContextData(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = context_data.build(context_data.read_lines(FIXTURE))

    def rows(self, name):
        text = self.files[name].decode("utf-8")
        self.assertTrue(text.endswith("\n"))
        return dict(line.split("\t") for line in text.splitlines() if not line.startswith("#"))

    def test_toneless_syllables_keep_u_umlaut_apart(self):
        self.assertEqual(context_data.toneless("shěn"), "shen")
        self.assertEqual(context_data.toneless("lǜ"), "lv")
        self.assertEqual(context_data.toneless("Lü"), "lv")

    def test_readings_leave_out_archaic_ones_and_traditional_characters(self):
        readings = self.rows("readings.txt")
        self.assertEqual(readings["神"], "shen")  # not kHanyuPinyin's second reading
        self.assertEqual(readings["行"], "hang xing")  # not kHanyuPinyin's heng
        self.assertEqual(readings["迹"], "ji")  # kMandarin's jī and kTGHZ2013's jì agree
        self.assertEqual(readings["律"], "lv")
        self.assertNotIn("審", readings)  # outside the general standard list

    def test_near_syllables_pair_both_ways(self):
        near = self.rows("near_syllables.txt")
        self.assertEqual(near["zi"], "zhi")
        self.assertEqual(near["zhi"], "zi")
        self.assertNotIn("ce", near)  # no syllable of the fixture sounds like it

    def test_shapes_one_letter_apart_or_the_same_short_code(self):
        shapes = self.rows("shapes.txt")
        self.assertEqual(shapes["侧"], "测")
        self.assertEqual(shapes["测"], "侧")
        self.assertEqual(shapes["己"], "已")  # both SU
        self.assertNotIn("刀", shapes)  # SH is one letter from SU, but two-letter codes need equality
        self.assertNotIn("审", shapes)  # JLWL and IFLWL differ in length
        # HQGDI without its first letter is QGDI: 牛 on the left where 扌 belongs.
        self.assertEqual(shapes["特"], "持")
        self.assertEqual(shapes["持"], "特")

    def test_wubi_codes_one_letter_apart_join_the_shapes(self):
        # Longest code per character; a word's code and a two-letter code take no part.
        table = ["KeyCode=abcdefghijklmnopqrstuvwxy", "[Data]", "py 神", "pyjh 神", "yjh 审",
                 "yjhk 审", "pyjh 神审", "ymx 计", "yfh 计", "yfhx 迹", "nn 己", "nnn 刀"]
        self.assertEqual(context_data.wubi_codes(table),
                         {"神": "pyjh", "审": "yjhk", "计": "ymx", "迹": "yfhx", "己": "nn",
                          "刀": "nnn"})
        files = context_data.build(context_data.read_lines(FIXTURE),
                                   ["[Data]", "pyjh 神", "pyjk 审", "ymx 计", "ymy 迹", "nn 己",
                                    "nb 刀"])
        text = files["shapes.txt"].decode("utf-8")
        shapes = dict(line.split("\t") for line in text.splitlines() if not line.startswith("#"))
        self.assertEqual(shapes["神"], "审")
        self.assertEqual(shapes["计"], "迹")
        self.assertEqual(shapes["侧"], "测")  # Cangjie's pairs stay
        self.assertEqual(shapes["己"], "已")  # two-letter Wubi codes one letter apart do not pair
        self.assertNotIn("刀", shapes)

    def test_the_same_four_corner_code_joins_the_shapes(self):
        # 未 and 末 (JD and DJ in Cangjie) share 5090.0; 朱's fifth digit differs.
        extra = ["U+672A\tkTGHZ2013\t1.001:wèi", "U+672B\tkTGHZ2013\t1.002:mò",
                 "U+6731\tkTGHZ2013\t1.003:zhū", "U+672A\tkFourCornerCode\t5090.0",
                 "U+672B\tkFourCornerCode\t5090.0", "U+6731\tkFourCornerCode\t5090.1"]
        files = context_data.build(context_data.read_lines(FIXTURE) + extra)
        text = files["shapes.txt"].decode("utf-8")
        shapes = dict(line.split("\t") for line in text.splitlines() if not line.startswith("#"))
        self.assertEqual(shapes["未"], "末")
        self.assertEqual(shapes["末"], "未")
        self.assertNotIn("朱", shapes)
        self.assertEqual(shapes["侧"], "测")  # Cangjie's pairs stay

    def test_variants_map_characters_outside_the_list_but_not_radicals(self):
        self.assertEqual(self.rows("variants.txt"), {"審": "审", "岀": "出", "刂": "刀"})
        with open(os.path.join(FIXTURE, context_data.RADICALS_FILE), encoding="utf-8") as f:
            radicals = context_data.radical_forms(f.read().splitlines())
        self.assertEqual(radicals, {"刂", "艹"})
        files = context_data.build(context_data.read_lines(FIXTURE), radicals=radicals)
        text = files["variants.txt"].decode("utf-8")
        self.assertEqual([line for line in text.splitlines() if not line.startswith("#")],
                         ["審\t审", "岀\t出"])

    def test_output_is_sorted_and_reproducible(self):
        again = context_data.build(context_data.read_lines(FIXTURE))
        self.assertEqual(again, self.files)
        for name in self.files:
            keys = list(self.rows(name))
            self.assertEqual(keys, sorted(keys), name)


if __name__ == "__main__":
    unittest.main()
