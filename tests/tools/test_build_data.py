"""tools/build_data.py's test of when a listed wrong form that a source lists as a word is still
a misspelling: far rarer than the right form in both sources, and of the same use."""

import unittest

import build_data


class Source:
    def __init__(self, jieba, tags, rime):
        self.jieba, self.tags, self.rime_weights = jieba, tags, rime


class FarRarer(unittest.TestCase):
    def test_a_rare_form_of_the_same_use_is_a_misspelling(self):
        src = Source({"做为": 208, "作为": 28567}, {"做为": "v", "作为": "v"},
                     {"做为": 1649, "作为": 37936})
        self.assertTrue(build_data.far_rarer(src, "做为", "作为"))
        # A form no source counts is rarer than any counted one.
        src = Source({"部署": 3333}, {"部署": "n"}, {})
        self.assertTrue(build_data.far_rarer(src, "布署", "部署"))

    def test_either_source_can_show_both_forms_in_use(self):
        src = Source({"那天": 2224, "哪天": 3}, {}, {"那天": 10420, "哪天": 3245})
        self.assertFalse(build_data.far_rarer(src, "哪天", "那天"))  # rime: 3 times rarer only
        src = Source({"那里": 13132, "哪里": 7571}, {}, {})
        self.assertFalse(build_data.far_rarer(src, "哪里", "那里"))

    def test_different_uses_are_different_words_unless_a_tag_is_a_function_words(self):
        src = Source({"期中": 48, "其中": 34173}, {"期中": "f", "其中": "r"},
                     {"期中": 206, "其中": 26299})
        self.assertFalse(build_data.far_rarer(src, "期中", "其中"))
        src = Source({"而以": 3, "而已": 3085}, {"而以": "c", "而已": "y"},
                     {"而以": 167, "而已": 14806})
        self.assertTrue(build_data.far_rarer(src, "而以", "而已"))


if __name__ == "__main__":
    unittest.main()
