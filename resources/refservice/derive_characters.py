#!/usr/bin/env python3
"""Derive the character tables of the reference naming service.

Reads the Unihan files of Debian's unicode-data package and writes
  characters.tsv  one row per character of the 2013 general standard list (kTGH)
  surnames.tsv    single and compound surnames with their surname readings and strokes
The traditional form of each character comes from the `opencc` command (s2t).
Run from anywhere:  python3 resources/refservice/derive_characters.py
Afterwards the written tables are checked: every Kangxi count must equal the dictionary's
count of its radical plus the residual strokes of its counted form.
  derive_characters.py --check [folder]  checks tables already written, and writes nothing.
The outputs are committed; the program itself never runs at build time.
"""
import bisect
import bz2
import os
import re
import subprocess
import sys
import unicodedata

UNIHAN = "/usr/share/unicode"
HERE = os.path.dirname(os.path.abspath(__file__))


def read_unihan(fields):
    data = {}
    for name in os.listdir(UNIHAN):
        if not (name.startswith("Unihan_") and name.endswith(".txt.bz2")):
            continue
        with bz2.open(os.path.join(UNIHAN, name), "rt", encoding="utf-8") as f:
            for line in f:
                if line.startswith("#") or not line.strip():
                    continue
                code, field, value = line.rstrip("\n").split("\t", 2)
                if field in fields:
                    data.setdefault(chr(int(code[2:], 16)), {})[field] = value
    return data


def radical_forms():
    """Radical number as written in kRSUnicode ("85", "120'") -> its ideograph (水, 纟)."""
    result = {}
    with open(os.path.join(UNIHAN, "CJKRadicals.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            num, _, ideograph = [p.strip() for p in line.split(";")]
            if ideograph:
                result[num] = chr(int(ideograph, 16))
    return result


# The Kangxi dictionary fixes the strokes of its 214 radicals by their place in its list:
# radicals 1-6 have one stroke, 7-29 two, 30-60 three ... 214 (龠) seventeen. Each entry is
# the first radical of the next stroke count. Today's counts of some radical characters
# differ (廴 2, 瓦 4, 禸 4, 骨 9, 鬼 9, 鼎 12, 龜 17 in kTotalStrokes), so the table, not
# kTotalStrokes, gives a radical its strokes.
FIRST_RADICAL_BY_STROKES = [1, 7, 30, 61, 95, 118, 147, 167, 176, 187, 195, 201, 205, 209, 211, 212, 214]


def radical_strokes(number):
    """Strokes of Kangxi radical `number` in its full form (水 4, 艸 6, 阜 8, 邑 7 ...)."""
    if not 1 <= number <= 214:
        raise ValueError(f"no Kangxi radical {number}")
    return bisect.bisect_right(FIRST_RADICAL_BY_STROKES, number)


def radical_and_residual(props):
    """(radical number, residual strokes) of a character by kRSKangXi, else kRSUnicode;
    None when Unihan gives neither. A simplified radical (120') counts as the full one."""
    rs = props.get("kRSKangXi") or props.get("kRSUnicode")
    if not rs:
        return None
    rad, residual = rs.split()[0].split(".")
    return int(rad.rstrip("'")), int(residual)


TONE_MARKS = {
    "ā": ("a", 1), "á": ("a", 2), "ǎ": ("a", 3), "à": ("a", 4),
    "ē": ("e", 1), "é": ("e", 2), "ě": ("e", 3), "è": ("e", 4),
    "ī": ("i", 1), "í": ("i", 2), "ǐ": ("i", 3), "ì": ("i", 4),
    "ō": ("o", 1), "ó": ("o", 2), "ǒ": ("o", 3), "ò": ("o", 4),
    "ū": ("u", 1), "ú": ("u", 2), "ǔ": ("u", 3), "ù": ("u", 4),
    "ǖ": ("v", 1), "ǘ": ("v", 2), "ǚ": ("v", 3), "ǜ": ("v", 4), "ü": ("v", 5),
    "ń": ("n", 2), "ň": ("n", 3), "ǹ": ("n", 4), "ḿ": ("m", 2),
    "ê": ("e", 5), "ế": ("e", 2), "ề": ("e", 4),
}
INITIALS = ["zh", "ch", "sh", "b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "h",
            "j", "q", "x", "r", "z", "c", "s", "y", "w"]


def split_pinyin(syllable):
    """'zhāng' -> ('zhang', 1, 'zh', 'ang'); tone 5 is the neutral tone."""
    plain, tone = "", 5
    for ch in unicodedata.normalize("NFC", syllable):
        if ch in TONE_MARKS:
            base, t = TONE_MARKS[ch]
            plain += base
            if t != 5:
                tone = t
        else:
            plain += ch
    initial = ""
    for ini in INITIALS:
        if plain.startswith(ini) and len(plain) > len(ini):
            initial = ini
            break
    final = plain[len(initial):]
    # After j q x y the written u is ü.
    if initial in ("j", "q", "x", "y") and final.startswith("u"):
        final = "v" + final[1:]
    return plain, tone, initial, final


# Element of a character by its radical (Kangxi radical numbers), the first rule;
# the second rule is the initial sound (below).
RADICAL_ELEMENT = {
    85: "水", 15: "水", 173: "水", 47: "水",           # 水 氵 冫 雨 川
    75: "木", 140: "木", 115: "木", 118: "木", 119: "木", 120: "木",  # 木 艹 禾 竹 米 糸
    86: "火", 72: "火", 73: "火", 109: "火",            # 火 灬 日 曰 目
    32: "土", 46: "土", 112: "土", 102: "土", 170: "土", 163: "土",  # 土 山 石 田 阝
    167: "金", 96: "金", 18: "金", 62: "金", 14: "金",  # 金 钅 玉 王 刂 戈
}
# Five sounds: velars 木, alveolars 火, gutturals and zero initials 土,
# sibilants 金, labials 水.
INITIAL_ELEMENT = {
    "g": "木", "k": "木",
    "d": "火", "t": "火", "n": "火", "l": "火",
    "h": "土", "y": "土", "w": "土", "": "土",
    "z": "金", "c": "金", "s": "金", "zh": "金", "ch": "金", "sh": "金", "r": "金",
    "j": "金", "q": "金", "x": "金",
    "b": "水", "p": "水", "m": "水", "f": "水",
}

NUMERALS = {"一": 1, "二": 2, "三": 3, "四": 4, "五": 5, "六": 6, "七": 7, "八": 8, "九": 9, "十": 10}

# Surname characters whose surname is written with the simplified form itself in
# traditional writing (s2t would give a different word's character).
SURNAME_SAME_FORM = set("于余范沈后谷姜郁朴种干卜曲台吁蒙党占适出")

# Surname readings that differ from the character's common reading.
SURNAME_READING = {
    "曾": "zēng", "单": "shàn", "仇": "qiú", "翟": "zhái", "区": "ōu", "查": "zhā",
    "解": "xiè", "朴": "piáo", "盖": "gě", "乐": "yuè", "缪": "miào", "覃": "qín",
    "尉": "wèi", "召": "shào", "秘": "bì", "员": "yùn", "种": "chóng", "黑": "hè",
    "繁": "pó", "纪": "jǐ", "任": "rén", "华": "huà", "宁": "nìng", "相": "xiàng",
    "冼": "xiǎn", "隗": "wěi", "逄": "páng", "阚": "kàn", "句": "gōu", "那": "nā",
    "乜": "niè", "粘": "nián", "车": "chē", "薄": "bó", "过": "guō", "折": "shé",
    "沈": "shěn", "重": "chóng", "曲": "qū", "葛": "gě", "莘": "shēn", "燕": "yān",
    "鲜": "xiān", "澹": "tán", "万": "wàn", "长": "zhǎng", "尉迟": "yùchí",
    "万俟": "mòqí", "单于": "chányú", "长孙": "zhǎngsūn", "澹台": "tántái",
    "令狐": "línghú", "皇甫": "huángfǔ", "尉缭": "wèiliáo", "乐正": "yuèzhèng",
    "区": "ōu", "藏": "zàng", "石": "shí", "参": "cān", "柏": "bǎi", "蕃": "pí",
    "能": "nài", "朝": "cháo", "家": "jiā", "角": "jué", "应": "yīng", "传": "chuán",
}

SINGLE_SURNAMES = (
    "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢"
    "姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤常温康施"
    "文牛樊葛邢安齐易乔伍庞颜倪庄聂章鲁岳翟殷詹申欧耿关兰焦俞左柳甘祝包宁尚符舒阮柯纪梅童凌毕单季裴霍涂成苗谷"
    "盛曲翁冉骆蓝路游辛靳管柴蒙鲍华喻祁蒲房滕屈饶解牟艾尤阳时穆农司卓古吉缪简车项连芦麦褚娄窦戚岑景党宫费卜冷"
    "晏席卫米柏宗瞿桂全佟应臧闵苟邬边卞姬师和仇栾隋商刁沙荣巫寇桑郎甄丛仲虞敖巩明佘池查麻苑迟邝官封谈匡鞠惠荆"
    "乐冀郁胥南班储原栗燕楚鄢劳谌奚皮粟冼蔺楼盘满闻位厉伊仝区郜海阚花权强帅屠豆朴盖练廉禹井祖漆巴丰支卿国狄平"
    "计索宣晋相初门云容敬来扈晁芮都普阙浦戈伏鹿薄邸雍辜羊阿乌母裘亓修邰赫杭况那宿鲜印逯隆茹诸战慕危玉银亢嵇公"
    "哈湛宾戎勾茅利於呼居揭干但尉冶斯元束檀衣信展阴昝智幸奉植衡富尧闭由"
)
COMPOUND_SURNAMES = [
    "欧阳", "上官", "司马", "诸葛", "东方", "皇甫", "尉迟", "公孙", "慕容", "长孙", "宇文",
    "司徒", "夏侯", "轩辕", "令狐", "钟离", "闻人", "澹台", "万俟", "单于", "太史", "申屠",
    "公羊", "赫连", "西门", "南宫", "东郭", "独孤", "呼延", "端木", "百里", "第五", "拓跋",
    "濮阳", "淳于", "公冶", "宗政", "仲孙", "乐正", "漆雕", "司空", "羊舌", "微生", "梁丘",
    "左丘", "东门", "公西", "谷梁", "段干", "巫马", "亓官", "司寇", "子车", "颛孙", "壤驷",
    "公良", "闾丘", "鲜于", "即墨", "南门",
]


def reading_of(props):
    """The first toned reading of kMandarin, else of kTGHZ2013; a name is never read in
    the neutral tone (子 is zǐ, 卜 is bǔ)."""
    candidates = props["kMandarin"].split()
    for entry in props.get("kTGHZ2013", "").split():
        candidates += entry.split(":")[1].split(",")
    for syl in candidates:
        if split_pinyin(syl)[1] != 5:
            return syl
    return candidates[0]


def check_tables(unihan, folder):
    """Every Kangxi count of characters.tsv and surnames.tsv in `folder` against the
    dictionary's count of its radical plus the residual of its counted form: the
    traditional column of characters.tsv, the character itself for a surname written with
    its own form; numerals count their value. Returns one message per disagreement."""
    problems = []

    def expected(form, ch):
        if ch in NUMERALS:
            return NUMERALS[ch]
        rs = radical_and_residual(unihan.get(form, {}))
        return radical_strokes(rs[0]) + rs[1] if rs else None

    def rows_of(name):
        path = os.path.join(folder, name)
        try:
            with open(path, encoding="utf-8") as f:
                return [(n, line.rstrip("\n").split("\t")) for n, line in enumerate(f, 1)
                        if line.strip() and not line.startswith("#")]
        except (OSError, UnicodeDecodeError) as e:
            problems.append(f"{name}: cannot be read ({e})")
            return []

    traditional = {}
    for n, f in rows_of("characters.tsv"):
        if len(f) < 8 or not f[6].isdigit() or len(f[0]) != 1:
            problems.append(f"characters.tsv line {n}: malformed row")
            continue
        ch, kangxi, form = f[0], int(f[6]), f[7]
        traditional[ch] = form
        want = expected(form, ch)
        if want is None:
            problems.append(f"characters.tsv line {n}: {ch} ({form}) has no radical in Unihan")
        elif want != kangxi:
            problems.append(f"characters.tsv line {n}: {ch} ({form}) has kangxi {kangxi}, "
                            f"dictionary count {want}")

    for n, f in rows_of("surnames.tsv"):
        counts = f[2].split(",") if len(f) >= 3 else []
        if not counts or len(counts) != len(f[0]) or not all(c.isdigit() for c in counts):
            problems.append(f"surnames.tsv line {n}: malformed row")
            continue
        for ch, count in zip(f[0], map(int, counts)):
            if ch not in traditional:
                problems.append(f"surnames.tsv line {n}: {ch} of {f[0]} is not in characters.tsv")
                continue
            form = ch if ch in SURNAME_SAME_FORM else traditional[ch]
            want = expected(form, ch)
            if want is None:
                problems.append(f"surnames.tsv line {n}: {ch} ({form}) of {f[0]} has no radical in Unihan")
            elif want != count:
                problems.append(f"surnames.tsv line {n}: {ch} ({form}) of {f[0]} has kangxi {count}, "
                                f"dictionary count {want}")
    return problems


def report(problems):
    for p in problems:
        print(p, file=sys.stderr)
    print(f"Kangxi check failed: {len(problems)} problem(s)" if problems
          else "Kangxi check: every count agrees with the dictionary", file=sys.stderr)
    return 1 if problems else 0


def main():
    args = sys.argv[1:]
    if args and args[0] == "--check":
        # Checks the tables already written (in HERE, or the folder given) and writes nothing.
        if len(args) > 2:
            print("usage: derive_characters.py [--check [folder]]", file=sys.stderr)
            return 2
        unihan = read_unihan({"kRSKangXi", "kRSUnicode"})
        return report(check_tables(unihan, args[1] if len(args) == 2 else HERE))
    if args:
        print("usage: derive_characters.py [--check [folder]]", file=sys.stderr)
        return 2

    fields = {"kTGH", "kTotalStrokes", "kRSKangXi", "kRSUnicode", "kMandarin", "kTGHZ2013"}
    unihan = read_unihan(fields)
    rad_forms = radical_forms()

    general = []
    for ch, props in unihan.items():
        if "kTGH" in props:
            number = int(props["kTGH"].split()[0].split(":")[1])
            general.append((number, ch))
    general.sort()

    chars = [ch for _, ch in general]
    trad = subprocess.run(["opencc", "-c", "s2t"], input="\n".join(chars), text=True,
                          capture_output=True, check=True).stdout.split("\n")

    def kangxi_strokes(form, fallback):
        rs = radical_and_residual(unihan.get(form, {}))
        if rs:
            return radical_strokes(rs[0]) + rs[1]
        return fallback

    rows = {}
    for (number, ch), t in zip(general, trad):
        props = unihan[ch]
        if "kMandarin" not in props:
            continue
        syllable = reading_of(props)
        plain, tone, initial, final = split_pinyin(syllable)
        strokes = int(props["kTotalStrokes"].split()[0])
        t = t if len(t) == 1 else ch
        if ch in NUMERALS:
            kangxi = NUMERALS[ch]
        else:
            kangxi = kangxi_strokes(t, strokes)
        rad_key = props["kRSUnicode"].split()[0].split(".")[0]
        radical = rad_forms.get(rad_key) or rad_forms.get(rad_key.rstrip("'"), "")
        rad = int(rad_key.rstrip("'"))
        element = RADICAL_ELEMENT.get(rad) or INITIAL_ELEMENT.get(initial, "土")
        level = 1 if number <= 3500 else (2 if number <= 6500 else 3)
        rows[ch] = (ch, syllable, tone, initial, final, strokes, kangxi, t, level, element, radical)

    with open(os.path.join(HERE, "characters.tsv"), "w", encoding="utf-8") as out:
        out.write("# char\tpinyin\ttone\tinitial\tfinal\tstrokes\tkangxi\ttraditional\tlevel\twx\tradical\n")
        for _, ch in general:
            if ch in rows:
                out.write("\t".join(str(v) for v in rows[ch]) + "\n")

    with open(os.path.join(HERE, "surnames.tsv"), "w", encoding="utf-8") as out:
        out.write("# surname\tpinyin (syllables joined by spaces)\tkangxi strokes per character\n")
        seen = set()
        for s in list(SINGLE_SURNAMES) + COMPOUND_SURNAMES:
            if s in seen:
                continue
            seen.add(s)
            if any(c not in rows for c in s):
                print("skipping surname", s, file=sys.stderr)
                continue
            if s in SURNAME_READING and len(s) == 2:
                reading = SURNAME_READING[s]
                # split the compound reading at the first character's syllable length
                first = SURNAME_READING.get(s[0], rows[s[0]][1])
                syllables = [reading[:len(first)], reading[len(first):]] \
                    if split_pinyin(reading[:len(first)])[0] == split_pinyin(first)[0] else None
                if syllables is None:
                    syllables = [rows[s[0]][1], rows[s[1]][1]]
                    m = re.match(r"(.+?[aeiouüāáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜ]+n?g?r?)(.+)", reading)
                    syllables = [m.group(1), m.group(2)] if m else syllables
            else:
                syllables = [SURNAME_READING.get(c, rows[c][1]) for c in s]
            strokes = []
            for c in s:
                if c in SURNAME_SAME_FORM:
                    strokes.append(kangxi_strokes(c, rows[c][5]))
                else:
                    strokes.append(rows[c][6])
            out.write(f"{s}\t{' '.join(syllables)}\t{','.join(map(str, strokes))}\n")

    return report(check_tables(unihan, HERE))


if __name__ == "__main__":
    sys.exit(main())
