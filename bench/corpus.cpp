#include "corpus.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text_converter.h"

namespace corpus {
namespace {

// splitmix64: fixed output everywhere, unlike the standard distributions.
struct Rng {
    std::uint64_t state;
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>((Next() >> 11) % static_cast<std::uint64_t>(n)); }
    bool Percent(int p) { return Below(100) < p; }
};

struct Token {
    std::string sjis;
    int chars = 0; // as a reader counts them: one per character, whatever its width
};
using Tokens = std::vector<Token>;

// The word lists hold only characters that every Japanese code set maps the
// same way, so other converters can take the same texts without loss.
constexpr std::string_view kKanjiNouns[] = {
    "日本", "東京", "会社", "時間", "問題", "社会", "経済", "政府", "技術", "研究", "開発", "文化",
    "歴史", "言葉", "文字", "情報", "世界", "国民", "地域", "自然", "環境", "教育", "学校", "先生",
    "学生", "仕事", "生活", "家族", "友人", "電車", "駅", "町", "山", "川", "海", "空", "雨", "春",
    "夏", "秋", "冬", "朝", "夜", "今日", "明日", "昨日", "人", "手紙", "新聞", "雑誌", "番組",
    "映画", "音楽", "料理", "部屋", "図書館", "病院", "市場", "価格", "結果", "方法", "理由", "目的",
    "計画", "意見", "記事", "資料", "変換", "文書", "漢字", "名前", "天気", "風", "道", "子供",
    "両親", "気持ち", "心", "体", "顔", "声", "力", "光", "色", "形", "数", "量", "速度", "機械",
    "電話", "会議", "報告", "説明", "質問", "答え", "試験", "結論", "鰺", "腕", "亜鉛", "鉄道",
};
constexpr std::string_view kKatakanaNouns[] = {
    "コンピュータ", "システム", "データ", "ネットワーク", "ソフトウェア", "ファイル", "テキスト",
    "メール", "サーバー", "プログラム", "インターネット", "ユーザー", "デザイン", "ニュース",
    "テレビ", "ラジオ", "カメラ", "ホテル", "レストラン", "コーヒー", "パン", "バス", "タクシー",
    "ページ", "キーボード", "ウィンドウ", "ボタン", "メニュー",
};
constexpr std::string_view kAsciiNouns[] = {
    "Linux", "CPU", "PC", "OS", "USB", "Web", "API", "HTML", "2024", "10", "3.5", "version", "OK", "A4", "100",
};
constexpr std::string_view kParticles[] = {
    "は", "が", "を", "に", "の", "で", "と", "も", "から", "まで", "より", "へ", "や", "には", "では",
};
constexpr std::string_view kConnectors[] = {
    "そして、", "しかし、", "また、", "つまり、", "ところで、", "さらに、", "例えば、", "一方、",
};
constexpr std::string_view kEndings[] = {
    "です。", "ます。", "でした。", "しました。", "している。", "である。", "と思う。", "だった。",
    "になる。", "ができる。", "を使う。", "について考える。", "が必要だ。", "とされている。", "を見た。",
    "に行った。", "ではないか。", "を読んだ！", "はどうか？", "が増えている。",
};
constexpr std::string_view kEnglishWords[] = {
    "the", "of", "and", "to", "a", "in", "is", "it", "that", "was", "for", "on", "are", "with", "as",
    "his", "they", "be", "at", "one", "have", "this", "from", "or", "had", "by", "word", "but", "what",
    "some", "we", "can", "out", "other", "were", "all", "there", "when", "up", "use", "your", "how",
    "said", "an", "each", "which", "she", "do", "their", "time", "if", "will", "way", "about", "many",
    "then", "them", "write", "would", "like", "so", "these", "her", "long", "make", "thing", "see",
    "him", "two", "has", "look", "more", "day", "could", "go", "come", "did", "number", "sound", "no",
    "most", "people", "my", "over", "know", "water", "than", "call", "first", "who", "may", "down",
    "side", "been", "now", "find", "file", "text", "line", "encoding", "converter", "character", "page",
};
// Single-byte katakana, as a ledger or an old terminal would print them.
constexpr std::string_view kHalfWidthWords[] = {
    "ｺﾝﾋﾟｭｰﾀ", "ｼｽﾃﾑ", "ﾃﾞｰﾀ", "ﾌｧｲﾙ", "ｼｮｳﾋﾝ", "ｺｰﾄﾞ", "ﾆｭｳｶ", "ｼｭｯｶ", "ｽｳﾘｮｳ", "ﾀﾝｶ", "ｷﾝｶﾞｸ",
    "ｺﾞｳｹｲ", "ﾄｸｲｻｷ", "ｼﾞｭｳｼｮ", "ﾄｳｷｮｳﾄ", "ｵｵｻｶﾌ", "ﾃﾞﾝﾜ", "ﾊﾞﾝｺﾞｳ", "ﾆｯﾎﾟﾝ", "ｶﾌﾞｼｷｶﾞｲｼｬ",
    "ﾀﾅｶ", "ｽｽﾞｷ", "ｻﾄｳ", "ﾔﾏﾀﾞ", "ﾀﾛｳ", "ﾊﾅｺ", "ｹｲﾔｸ", "ｾｲｷｭｳ", "ﾉｳﾋﾝ", "ﾖﾃｲ", "ｶﾝﾘｮｳ｡",
    "ﾐﾁｬｸ", "ｷｬﾝｾﾙ", "ﾍﾝﾋﾟﾝ", "ｻﾞｲｺ", "ｿｳｺ", "｢ﾒﾓ｣", "ｲﾁﾗﾝ", "ｹﾞﾂﾏﾂ", "ｼﾒｷﾘ､", "ｾｲｻﾝ", "ﾊｯｺｳ",
    "ｺﾞﾁｭｳｲ", "ｦ", "ﾆ･ﾊ", "ﾏｴｳｹｷﾝ",
};
constexpr std::string_view kLedgerWords[] = {
    "A-1023", "No.", "TEL", "03-1234-5678", "2024/04/01", "OK", "NG", "x10", "JPY", "B2", "#", "=",
};

int CountCharacters(std::string_view utf8)
{
    int n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

template <std::size_t N>
Tokens ToShiftJis(const std::string_view (&words)[N])
{
    CTextConverter converter;
    Tokens tokens;
    for (const std::string_view word : words) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(word.data());
        const auto n = static_cast<std::int64_t>(word.size());
        CByteBuffer sjis;
        CByteBuffer back;
        Utf8ToShiftJis(p, n, &sjis, &converter);
        ShiftJisToUtf8(sjis.Data(), sjis.Size(), &back, &converter);
        const std::string_view roundTrip(reinterpret_cast<const char*>(back.Data()),
                                         static_cast<std::size_t>(back.Size()));
        if (roundTrip != word)
            throw std::runtime_error("the engine does not round-trip the benchmark word \"" + std::string(word) + "\"");
        tokens.push_back({std::string(reinterpret_cast<const char*>(sjis.Data()), static_cast<std::size_t>(sjis.Size())),
                          CountCharacters(word)});
    }
    return tokens;
}

// Fills lines of 40-80 characters, breaking between tokens.
class LineFiller {
public:
    LineFiller(Rng& rng, std::string& out, bool bSpaced) : m_rng(rng), m_out(out), m_bSpaced(bSpaced) { NewTarget(); }

    void Put(const Token& token)
    {
        const int gap = (m_bSpaced && m_nChars > 0) ? 1 : 0;
        if (m_nChars > 0 && m_nChars + gap + token.chars > kMaxChars)
            EndLine();
        else if (gap > 0)
            Append(" ", 1);
        Append(token.sjis, token.chars);
        if (m_nChars >= m_nTarget)
            EndLine();
    }

    int Chars() const { return m_nChars; }

    void EndLine()
    {
        m_out += "\r\n";
        m_nChars = 0;
        NewTarget();
    }

private:
    static constexpr int kMinChars = 40;
    static constexpr int kMaxChars = 80;

    void NewTarget() { m_nTarget = kMinChars + m_rng.Below(kMaxChars - kMinChars + 1); }
    void Append(std::string_view bytes, int chars)
    {
        m_out += bytes;
        m_nChars += chars;
    }

    Rng& m_rng;
    std::string& m_out;
    bool m_bSpaced;
    int m_nChars = 0;
    int m_nTarget = 0;
};

template <typename T>
const T& Pick(Rng& rng, const std::vector<T>& v)
{
    return v[static_cast<std::size_t>(rng.Below(static_cast<int>(v.size())))];
}

void WriteProse(Rng& rng, std::string& out, std::int64_t nMinBytes)
{
    const Tokens kanji = ToShiftJis(kKanjiNouns);
    const Tokens katakana = ToShiftJis(kKatakanaNouns);
    const Tokens ascii = ToShiftJis(kAsciiNouns);
    const Tokens particles = ToShiftJis(kParticles);
    const Tokens connectors = ToShiftJis(kConnectors);
    const Tokens endings = ToShiftJis(kEndings);
    const Tokens marks = ToShiftJis({"、", "「", "」", "・", "（", "）"});
    const Token& comma = marks[0];
    LineFiller filler(rng, out, false);

    const auto putNoun = [&] {
        const int r = rng.Below(100);
        if (r < 55) {
            filler.Put(Pick(rng, kanji));
        } else if (r < 75) {
            filler.Put(Pick(rng, katakana));
        } else if (r < 85) {
            filler.Put(Pick(rng, ascii));
        } else if (r < 93) {
            filler.Put(marks[1]);
            filler.Put(Pick(rng, kanji));
            filler.Put(marks[2]);
        } else if (r < 97) {
            filler.Put(Pick(rng, kanji));
            filler.Put(marks[3]);
            filler.Put(Pick(rng, katakana));
        } else {
            filler.Put(Pick(rng, kanji));
            filler.Put(marks[4]);
            filler.Put(Pick(rng, ascii));
            filler.Put(marks[5]);
        }
    };

    while (static_cast<std::int64_t>(out.size()) < nMinBytes || filler.Chars() > 0) {
        if (rng.Percent(15))
            filler.Put(Pick(rng, connectors));
        for (int phrases = 1 + rng.Below(3); phrases > 0; --phrases) {
            putNoun();
            filler.Put(Pick(rng, particles));
            if (rng.Percent(25))
                filler.Put(comma);
        }
        putNoun();
        filler.Put(Pick(rng, endings));
    }
}

void WriteAscii(Rng& rng, std::string& out, std::int64_t nMinBytes)
{
    const Tokens words = ToShiftJis(kEnglishWords);
    LineFiller filler(rng, out, true);
    Token word;
    while (static_cast<std::int64_t>(out.size()) < nMinBytes || filler.Chars() > 0) {
        const int nWords = 5 + rng.Below(11);
        for (int i = 0; i < nWords; ++i) {
            word = Pick(rng, words);
            if (i == 0)
                word.sjis[0] = static_cast<char>(word.sjis[0] - 'a' + 'A');
            if (i == nWords - 1)
                word.sjis += rng.Percent(85) ? "." : "?";
            else if (rng.Percent(8))
                word.sjis += ",";
            word.chars = static_cast<int>(word.sjis.size());
            filler.Put(word);
        }
    }
}

void WriteHalfWidthKana(Rng& rng, std::string& out, std::int64_t nMinBytes)
{
    const Tokens kana = ToShiftJis(kHalfWidthWords);
    const Tokens ledger = ToShiftJis(kLedgerWords);
    // Every record ends in an amount, so no line ends in a katakana byte
    // (which the line-ending pass would pair with the CR after it).
    constexpr int kAmountRoom = 6; // " 12345"
    int nChars = 0;
    int nTarget = 40 + rng.Below(41);
    while (static_cast<std::int64_t>(out.size()) < nMinBytes || nChars > 0) {
        const Token& token = rng.Percent(75) ? Pick(rng, kana) : Pick(rng, ledger);
        if (nChars > 0 && (nChars + 1 + token.chars + kAmountRoom > 80 || nChars + kAmountRoom >= nTarget)) {
            out += ' ';
            out += std::to_string(10000 + rng.Below(90000));
            out += "\r\n";
            nChars = 0;
            nTarget = 40 + rng.Below(41);
            if (static_cast<std::int64_t>(out.size()) >= nMinBytes)
                break;
        }
        if (nChars > 0) {
            out += ' ';
            ++nChars;
        }
        out += token.sjis;
        nChars += token.chars;
    }
}

} // namespace

CByteBuffer MakeShiftJis(Kind kind, std::int64_t nMinBytes)
{
    Rng rng{0x6D6F6A69726Full + static_cast<std::uint64_t>(kind)};
    std::string text;
    text.reserve(static_cast<std::size_t>(nMinBytes) + 256);
    switch (kind) {
    case Kind::Prose:
        WriteProse(rng, text, nMinBytes);
        break;
    case Kind::Ascii:
        WriteAscii(rng, text, nMinBytes);
        break;
    case Kind::HalfWidthKana:
        WriteHalfWidthKana(rng, text, nMinBytes);
        break;
    }
    return CByteBuffer::CopyOf(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int64_t>(text.size()));
}

} // namespace corpus
