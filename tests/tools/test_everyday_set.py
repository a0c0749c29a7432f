"""tools/everyday_set.py on a corpus of a few sentences: what it plants where, the untouched
sentences it keeps, and the same set from the same seed."""

import os
import tempfile
import unittest

import everyday_set

CORPUS = (
    "我们认真地检查了每一个文件的内容。他跑得很快，大家都看见了这一幕。\n"
    "请先安装驱动程序然后重新启动电脑。我们明天再讨论这个问题的细节。\n"
    "文件保存在桌面上的那个目录里面了。这里的土地非常肥沃而且水源充足。\n"
    "这是一个没有任何特殊字符的句子啊。另一个普普通通的句子放在这里。\n"
)
WORDS = ["土地", "水源", "目录", "里面", "桌面", "安装", "驱动", "程序", "重新", "启动"]
PAIRS = [("sound", "安装", "按装")]


class EverydaySet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        with open(os.path.join(cls.dir.name, "a.txt"), "w", encoding="utf-8") as f:
            f.write(CORPUS)
        cls.words = set(WORDS)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def rows(self, seed=1):
        return everyday_set.plant(self.dir.name, self.words, PAIRS, seed, 5)

    def test_each_planted_sentence_differs_from_its_target_at_its_positions_only(self):
        rows = self.rows()
        planted = [r for r in rows if r[3]]
        self.assertTrue(planted)
        for source, target, positions, _cls in planted:
            self.assertEqual(len(source), len(target))
            self.assertEqual([i for i in range(len(source)) if source[i] != target[i]], positions)

    def test_particles_standing_alone_and_listed_pairs_are_planted_by_class(self):
        planted = {(target, source, cls) for source, target, _, cls in self.rows() if cls}
        targets = {t: (s, c) for t, s, c in planted}
        self.assertEqual(targets["我们认真地检查了每一个文件的内容。"],
                         ("我们认真的检查了每一个文件的内容。", "de"))
        self.assertEqual(targets["他跑得很快，大家都看见了这一幕。"],
                         ("他跑的很快，大家都看见了这一幕。", "de"))
        self.assertEqual(targets["请先安装驱动程序然后重新启动电脑。"],
                         ("请先按装驱动程序然后重新启动电脑。", "sound"))
        self.assertEqual(targets["我们明天再讨论这个问题的细节。"],
                         ("我们明天在讨论这个问题的细节。", "zai"))
        self.assertEqual(targets["文件保存在桌面上的那个目录里面了。"],
                         ("文件保存再桌面上的那个目录里面了。", "zai"))
        # 地 of 土地 is no particle.
        self.assertNotIn("这里的土地非常肥沃而且水源充足。", targets)

    def test_as_many_untouched_sentences_as_planted_ones_when_the_corpus_has_them(self):
        rows = self.rows()
        planted = [r for r in rows if r[3]]
        clean = [r for r in rows if not r[3]]
        self.assertEqual(len(clean), min(len(planted), 8 - len(planted)))
        for source, target, positions, _ in clean:
            self.assertEqual(source, target)
            self.assertEqual(positions, [])

    def test_the_same_seed_gives_the_same_set(self):
        self.assertEqual(self.rows(3), self.rows(3))


if __name__ == "__main__":
    unittest.main()
