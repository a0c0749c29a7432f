"""Characters that are never a miswritten word: Han characters are told apart from the signs,
letters and symbols that the shipped word lists accept as they stand."""


def is_han(ch):
    o = ord(ch)
    return 0x4E00 <= o <= 0x9FFF or 0x3400 <= o <= 0x4DBF or o == 0x3007


def symbols():
    chars = set(chr(c) for c in range(0x21, 0x7F))  # ASCII printable (the blank cannot be stored)
    chars |= set(chr(c) for c in range(0xFF01, 0xFF5F))  # full-width forms
    chars |= set(chr(c) for c in range(0xFFE0, 0xFFE7))  # full-width signs ￠￡￢￣￤￥￦
    chars |= set(chr(c) for c in range(0x3000, 0x3040))  # CJK punctuation, 〇 and the rest
    chars |= set(chr(c) for c in range(0xA1, 0x100)) - {"\xad"}  # Latin-1 signs and letters
    chars |= set("āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜüńňǹḿ")  # pinyin with tone marks
    chars |= set(chr(c) for c in range(0x2010, 0x2028))  # dashes, quotes, bullets, ellipsis
    chars |= set(chr(c) for c in range(0x2030, 0x203C))  # per mille, primes, reference mark
    chars |= set(chr(c) for c in range(0x391, 0x3AA)) | set(chr(c) for c in range(0x3B1, 0x3CA))
    chars |= set(chr(c) for c in range(0x2160, 0x2180))  # Roman numerals
    chars |= set(chr(c) for c in range(0x2460, 0x24A0))  # circled and bracketed numbers
    chars |= set(chr(c) for c in range(0x2190, 0x219A))  # arrows
    chars |= set("℃℉№™℡∶∵∴∞≈≠≡≤≥±×÷∑∏√∫∠⊥∥∩∪∈∽‰§")
    chars |= set(chr(c) for c in range(0x25A0, 0x25D0)) | set("★☆♀♂")  # shapes
    chars |= set(chr(c) for c in range(0x3380, 0x33E0))  # squared units ㎡ ㎏ ㎝
    chars |= set(chr(c) for c in range(0xFE30, 0xFE50)) | set(chr(c) for c in range(0xFE50, 0xFE6C))
    chars |= set(chr(c) for c in range(0x3200, 0x3260))  # parenthesised and circled ideographs
    chars |= set(chr(c) for c in range(0x2500, 0x2580))  # box drawing
    chars |= gbk_signs()  # kana, bopomofo, Cyrillic, block elements: GBK's own repertoire
    chars |= set(chr(c) for c in range(0x25D0, 0x2600))  # the rest of the geometric shapes
    chars |= set(chr(c) for c in range(0x2600, 0x27C0))  # miscellaneous symbols and dingbats
    chars |= set(chr(c) for c in range(0x2B00, 0x2C00))  # arrows and stars of the emoji set
    chars |= set(chr(c) for c in range(0x1F300, 0x1FB00))  # emoji and pictographs
    chars = {c for c in chars if c.isprintable() and not is_han(c) or c == "〇"}
    return chars | {"\u00a0", "\u3000"}  # no-break and ideographic spaces, kept by trimming


def gbk_signs():
    """Every sign and letter of the GB 2312 and GBK character sets that is not an ideograph.

    Text written in China may use any of them (ㄅ for a reading, の in a shop name, ▍ as a
    bullet); none of them is a miswritten Han character."""
    signs = set()
    for code in range(0x80, 0xF900):  # the compatibility ideographs beyond are Han
        c = chr(code)
        if 0xD800 <= code < 0xE000 or 0xE000 <= code < 0xF900:  # surrogates and private use
            continue
        for codec in ("gbk", "gb2312"):  # they map the middle dot of GB 2312 differently
            try:
                c.encode(codec)
            except UnicodeEncodeError:
                continue
            signs.add(c)
    return signs
