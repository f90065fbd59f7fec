#include "rtf.h"

#include <QFont>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <algorithm>
#include <climits>
#include <map>
#include <vector>

namespace ostrim {

namespace {

// Deeper groups share their parent's state: hostile input cannot make the reader grow
// without bound, and the reader never recurses.
constexpr std::size_t kMaxDepth = 100;
constexpr int kMaxWordLength = 32;
constexpr int kMaxDigits = 10;
constexpr int kMaxFallback = 16;

// Windows-1252 where it differs from Latin-1 (bytes 0x80..0x9F); unassigned bytes give U+FFFD.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString decodeCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

struct CodePage {
    int charset; // of a font table entry
    int codePage;
    const char* codec;
};
constexpr CodePage kCodePages[] = {
    {77, 10000, "macintosh"},    {128, 932, "Shift_JIS"},     {129, 949, "windows-949"},
    {134, 936, "GBK"},           {136, 950, "Big5"},          {161, 1253, "windows-1253"},
    {162, 1254, "windows-1254"}, {163, 1258, "windows-1258"}, {177, 1255, "windows-1255"},
    {178, 1256, "windows-1256"}, {186, 1257, "windows-1257"}, {204, 1251, "windows-1251"},
    {222, 874, "windows-874"},   {238, 1250, "windows-1250"}, {-1, 437, "IBM437"},
    {-1, 850, "IBM850"},         {-1, 65001, "UTF-8"}};

// 0 for the document's code page.
int codePageOfCharset(int charset) {
    if (charset < 0)
        return 0;
    for (const CodePage& c : kCodePages)
        if (c.charset == charset)
            return c.codePage;
    return 0;
}

QByteArray codecName(int codePage) {
    for (const CodePage& c : kCodePages)
        if (c.codePage == codePage)
            return c.codec;
    return "windows-" + QByteArray::number(codePage);
}

// Code pages the toolkit cannot decode fall back to Windows-1252, the RTF default.
QString decodeBytes(const QByteArray& bytes, int codePage) {
    if (codePage != 1252 && codePage > 0) {
        QStringDecoder decoder(codecName(codePage).constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return decodeCp1252(bytes);
}

// Surrogates that do not form a pair (from \u escapes) become U+FFFD.
void repairSurrogates(QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar(QChar::ReplacementCharacter);
    }
}

void appendRun(RtfText& runs, const QString& text, const RtfFormat& format) {
    if (text.isEmpty())
        return;
    if (!runs.isEmpty() && runs.back().format == format)
        runs.back().text += text;
    else
        runs.push_back({text, format});
}

const QSet<QByteArray>& skippedDestinations() {
    static const QSet<QByteArray> words = [] {
        const QByteArray list =
            "info stylesheet pict object header headerl headerr headerf footer footerl footerr "
            "footerf footnote fldinst listtable listoverridetable rsidtbl xmlnstbl themedata "
            "colorschememapping datastore latentstyles generator revtbl filetbl pgdsctbl "
            "annotation atnid atnauthor bkmkstart bkmkend nonshppict shpinst background "
            "userprops docvar ftnsep ftnsepc ftncn aftnsep aftnsepc aftncn template fchars "
            "lchars xe tc txe";
        const QList<QByteArray> split = list.split(' ');
        return QSet<QByteArray>(split.begin(), split.end());
    }();
    return words;
}

QChar specialCharacter(const QByteArray& word) {
    static const std::map<QByteArray, char16_t> chars = {
        {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
        {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
        {"enspace", 0x2002}, {"qmspace", 0x2005},   {"tab", u'\t'},        {"cell", u'\t'},
        {"par", u'\n'},      {"line", u'\n'},       {"sect", u'\n'},       {"page", u'\n'},
        {"row", u'\n'}};
    const auto found = chars.find(word);
    return found == chars.end() ? QChar() : QChar(found->second);
}

class RtfReader {
public:
    explicit RtfReader(const QByteArray& in) : m_in(in) {}

    RtfText read() {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
                break;
            default:
                character(static_cast<unsigned char>(c));
            }
        }
        flushBytes();
        for (RtfRun& run : m_runs)
            repairSurrogates(run.text);
        return m_runs;
    }

private:
    enum class Dest { Text, Skip, FontTable, ColorTable };
    struct Group {
        Dest dest = Dest::Skip; // text outside the document's group is not part of it
        bool bold = false, italic = false, underline = false;
        int font = -1; // -1: the default font
        int halfPoints = 0;
        int color = 0;
        int fallback = 1; // \uc: characters that follow a \u escape for older readers
    };
    struct Font {
        QString name;
        int charset = 0;
    };

    Group& top() { return m_stack.back(); }

    void openGroup() {
        flushBytes();
        m_skipFallback = 0;
        if (m_stack.size() >= kMaxDepth) {
            ++m_overflow;
            return;
        }
        Group inner = top();
        if (m_stack.size() == 1) {
            // Only the first top-level group is the document.
            inner.dest = m_documentSeen ? Dest::Skip : Dest::Text;
            m_documentSeen = true;
        }
        m_stack.push_back(inner);
        m_freshGroup = true;
    }

    void closeGroup() {
        flushBytes();
        m_skipFallback = 0;
        m_freshGroup = false;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.size() <= 1)
            return; // an unbalanced brace
        if (top().dest == Dest::FontTable)
            commitFont();
        m_stack.pop_back();
    }

    bool consumeFallback() {
        if (m_skipFallback <= 0)
            return false;
        --m_skipFallback;
        return true;
    }

    void controlSequence() {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        QByteArray word;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos])) {
            if (word.size() < kMaxWordLength)
                word += m_in[m_pos];
            ++m_pos;
        }
        bool hasParameter = false;
        bool negative = false;
        qint64 parameter = 0;
        if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        for (int digits = 0; m_pos < m_in.size() && isDigit(m_in[m_pos]); ++m_pos, ++digits) {
            hasParameter = true;
            if (digits < kMaxDigits)
                parameter = parameter * 10 + (m_in[m_pos] - '0');
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        parameter = std::clamp<qint64>(negative ? -parameter : parameter, INT_MIN, INT_MAX);
        flushBytes();
        const bool fresh = m_freshGroup;
        m_freshGroup = false;
        controlWord(word, hasParameter, int(parameter), fresh);
    }

    void controlSymbol(char c) {
        if (c == '\'') {
            int value = 0;
            for (int i = 0; i < 2; ++i) {
                const int digit = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
                if (digit < 0)
                    return; // a truncated escape is dropped
                value = value * 16 + digit;
                ++m_pos;
            }
            m_freshGroup = false;
            if (!consumeFallback())
                byte(static_cast<unsigned char>(value));
            return;
        }
        flushBytes();
        const bool fresh = m_freshGroup;
        m_freshGroup = false;
        if (c == '*') {
            // Marks a destination older readers skip; only meaningful as a group's first word.
            if (fresh)
                top().dest = Dest::Skip;
            return;
        }
        if (consumeFallback())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QString(QLatin1Char(c)));
            break;
        case '~':
            text(QString(QChar(0x00A0)));
            break;
        case '_':
            text(QString(QChar(0x2011)));
            break;
        case '\r':
        case '\n':
            text(QStringLiteral("\n"));
            break;
        default:
            break; // \- optional hyphen, \| \: and unknown symbols
        }
    }

    void controlWord(const QByteArray& word, bool hasParameter, int parameter, bool fresh) {
        if (word == "bin") {
            // Raw bytes, possibly braces and backslashes, whatever the destination.
            if (hasParameter && parameter > 0)
                m_pos += std::min<qint64>(parameter, m_in.size() - m_pos);
            return;
        }
        if (word == "ansicpg" && hasParameter && parameter > 0) {
            m_codePage = parameter;
            return;
        }
        if (word == "mac" || word == "pc" || word == "pca") {
            m_codePage = word == "mac" ? 10000 : word == "pc" ? 437 : 850;
            return;
        }
        if (word == "deff" && hasParameter) {
            m_defaultFont = parameter;
            return;
        }
        Group& group = top();
        if (group.dest == Dest::Skip)
            return;
        if (skippedDestinations().contains(word)) {
            group.dest = Dest::Skip;
            return;
        }
        if (word == "fonttbl") {
            group.dest = Dest::FontTable;
            m_fontNumber = -1;
            m_fontName.clear();
            return;
        }
        if (word == "colortbl") {
            group.dest = Dest::ColorTable;
            m_red = m_green = m_blue = 0;
            m_colorGiven = false;
            return;
        }
        if (word == "u") {
            if (consumeFallback())
                return;
            if (hasParameter && parameter >= -32768 && parameter <= 65535) {
                auto unit = static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter);
                if (unit == QChar::ParagraphSeparator || unit == QChar::LineSeparator)
                    unit = u'\n';
                // Control characters and noncharacters are dropped: the text engine takes some
                // of them for line breaks or frame marks.
                const bool dropped = (unit < 0x20 && unit != u'\t' && unit != u'\n') ||
                                     (unit >= 0xFDD0 && unit <= 0xFDEF) || unit == 0xFFFE ||
                                     unit == 0xFFFF;
                if (!dropped)
                    text(QString(QChar(unit)));
            }
            m_skipFallback = group.fallback;
            return;
        }
        if (group.dest == Dest::FontTable) {
            if (word == "f" && hasParameter) {
                if (fresh || !m_fontName.trimmed().isEmpty())
                    commitFont();
                m_fontNumber = parameter;
                m_fontCharset = 0;
            } else if (word == "fcharset" && hasParameter) {
                m_fontCharset = parameter;
            }
            return;
        }
        if (group.dest == Dest::ColorTable) {
            const int component = std::clamp(parameter, 0, 255);
            if (word == "red")
                m_red = component;
            else if (word == "green")
                m_green = component;
            else if (word == "blue")
                m_blue = component;
            else
                return;
            m_colorGiven = true;
            return;
        }
        if (consumeFallback())
            return;
        const bool on = !hasParameter || parameter != 0;
        if (const QChar special = specialCharacter(word); !special.isNull())
            text(QString(special));
        else if (word == "uc")
            group.fallback = std::clamp(parameter, 0, kMaxFallback);
        else if (word == "b")
            group.bold = on;
        else if (word == "i")
            group.italic = on;
        else if (word == "ulnone")
            group.underline = false;
        else if (word == "ul" || (word.startsWith("ul") && word != "ulc"))
            group.underline = on;
        else if (word == "plain") {
            group.bold = group.italic = group.underline = false;
            group.font = -1;
            group.halfPoints = 0;
            group.color = 0;
        } else if (word == "f" && hasParameter)
            group.font = parameter;
        else if (word == "fs" && hasParameter)
            group.halfPoints = std::clamp(parameter, 0, 3276);
        else if (word == "cf" && hasParameter)
            group.color = parameter;
    }

    void character(unsigned char c) {
        if (c >= 0x80) {
            m_freshGroup = false;
            if (!consumeFallback())
                byte(c);
            return;
        }
        flushBytes();
        m_freshGroup = false;
        if (consumeFallback())
            return;
        const Dest dest = top().dest;
        if (dest == Dest::FontTable && c == ';') {
            commitFont();
        } else if (dest == Dest::ColorTable && c == ';') {
            m_colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
            m_red = m_green = m_blue = 0;
            m_colorGiven = false;
        } else if (c >= 0x20 || c == '\t') {
            text(QString(QLatin1Char(char(c))));
        }
    }

    void byte(unsigned char b) { m_bytes += char(b); }

    int currentCodePage() const {
        const Group& group = m_stack.back();
        int charset = 0;
        if (group.dest == Dest::FontTable) {
            charset = m_fontCharset;
        } else {
            const auto font = m_fonts.find(group.font >= 0 ? group.font : m_defaultFont);
            if (font != m_fonts.end())
                charset = font->second.charset;
        }
        const int codePage = codePageOfCharset(charset);
        return codePage != 0 ? codePage : m_codePage;
    }

    void flushBytes() {
        if (m_bytes.isEmpty())
            return;
        const QString decoded = decodeBytes(m_bytes, currentCodePage());
        m_bytes.clear();
        text(decoded);
    }

    void text(const QString& s) {
        const Group& group = top();
        if (group.dest == Dest::FontTable) {
            m_fontName += s;
            return;
        }
        if (group.dest != Dest::Text)
            return;
        RtfFormat format;
        format.bold = group.bold;
        format.italic = group.italic;
        format.underline = group.underline;
        const auto font = m_fonts.find(group.font >= 0 ? group.font : m_defaultFont);
        if (font != m_fonts.end())
            format.font = font->second.name;
        format.pointSize = group.halfPoints / 2.0;
        if (group.color > 0 && group.color < int(m_colors.size()))
            format.color = m_colors[std::size_t(group.color)];
        appendRun(m_runs, s, format);
    }

    void commitFont() {
        const QString name = m_fontName.trimmed();
        if (m_fontNumber >= 0 && !name.isEmpty())
            m_fonts[m_fontNumber] = {name, m_fontCharset};
        m_fontName.clear();
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c) {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const QByteArray& m_in;
    qsizetype m_pos = 0;
    std::vector<Group> m_stack{Group{}};
    qsizetype m_overflow = 0;
    bool m_documentSeen = false;
    bool m_freshGroup = false;
    int m_skipFallback = 0;
    int m_codePage = 1252;
    int m_defaultFont = 0;
    QByteArray m_bytes;
    std::map<int, Font> m_fonts;
    int m_fontNumber = -1;
    int m_fontCharset = 0;
    QString m_fontName;
    std::vector<QColor> m_colors; // by \cf number; an entry without components is automatic
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;
    RtfText m_runs;
};

QByteArray escaped(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u < 0x20) {
            continue;
        } else if (u < 0x80) {
            out += char(u);
        } else {
            // Signed 16 bits, as the format has it; a surrogate pair is written as two.
            out += "\\u" + QByteArray::number(int(static_cast<qint16>(u))) + '?';
        }
    }
    return out;
}

RtfFormat formatOf(const QTextCharFormat& format, const QFont& base) {
    const QFont font = format.font().resolve(base);
    RtfFormat out;
    out.bold = font.weight() > QFont::Medium;
    out.italic = font.italic();
    out.underline = font.underline() || format.fontUnderline();
    out.font = font.family();
    // Pixels at the usual 96 per inch, so that a size in pixels reads back the same.
    out.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    if (format.hasProperty(QTextFormat::ForegroundBrush) &&
        format.foreground().style() != Qt::NoBrush)
        out.color = format.foreground().color();
    return out;
}

} // namespace

bool looksLikeRtf(const QByteArray& bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

RtfText readRtf(const QByteArray& rtf) {
    return RtfReader(rtf).read();
}

QByteArray writeRtf(const RtfText& text) {
    QStringList fonts;
    QList<QColor> colors;
    for (const RtfRun& run : text) {
        if (!run.format.font.isEmpty() && !fonts.contains(run.format.font))
            fonts << run.format.font;
        if (run.format.color.isValid() && !colors.contains(run.format.color))
            colors << run.format.color;
    }
    // Runs without a font must read back without one: the default font f0 is then left out of
    // the table.
    const bool unnamed = std::any_of(text.begin(), text.end(),
                                     [](const RtfRun& run) { return run.format.font.isEmpty(); });
    const qsizetype firstFont = unnamed ? 1 : 0;
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (qsizetype i = 0; i < fonts.size(); ++i) {
        QString name = fonts[i];
        name.remove(QLatin1Char(';')); // the entry's terminator cannot be escaped
        out += "{\\f" + QByteArray::number(firstFont + i) + "\\fnil\\fcharset0 " + escaped(name) +
               ";}";
    }
    out += '}';
    if (!colors.isEmpty()) {
        out += "{\\colortbl ;";
        for (const QColor& c : colors)
            out += "\\red" + QByteArray::number(c.red()) + "\\green" +
                   QByteArray::number(c.green()) + "\\blue" + QByteArray::number(c.blue()) + ';';
        out += '}';
    }
    out += "\r\n";
    for (const RtfRun& run : text) {
        const RtfFormat& f = run.format;
        QByteArray attributes;
        if (!f.font.isEmpty())
            attributes += "\\f" + QByteArray::number(firstFont + fonts.indexOf(f.font));
        if (f.pointSize > 0)
            attributes += "\\fs" + QByteArray::number(qRound(f.pointSize * 2));
        if (f.bold)
            attributes += "\\b";
        if (f.italic)
            attributes += "\\i";
        if (f.underline)
            attributes += "\\ul";
        if (f.color.isValid())
            attributes += "\\cf" + QByteArray::number(colors.indexOf(f.color) + 1);
        out += '{' + attributes;
        if (!attributes.isEmpty())
            out += ' ';
        const QStringList paragraphs = run.text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0)
                out += "\\par\r\n";
            out += escaped(paragraphs[i]);
        }
        out += '}';
    }
    out += "}\r\n";
    return out;
}

QString plainText(const RtfText& text) {
    QString out;
    for (const RtfRun& run : text)
        out += run.text;
    return out;
}

RtfText documentRuns(const QTextDocument& document) {
    RtfText runs;
    const QFont base = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            appendRun(runs, QStringLiteral("\n"),
                      runs.isEmpty() ? formatOf(block.charFormat(), base) : runs.back().format);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            QString text = fragment.text();
            text.replace(QChar::LineSeparator, QLatin1Char('\n'));
            text.remove(QChar::ObjectReplacementCharacter);
            appendRun(runs, text, formatOf(fragment.charFormat(), base));
        }
    }
    return runs;
}

QByteArray documentToRtf(const QTextDocument& document) {
    return writeRtf(documentRuns(document));
}

void insertRuns(QTextCursor& cursor, const RtfText& text) {
    for (const RtfRun& run : text) {
        const RtfFormat& f = run.format;
        QTextCharFormat format;
        if (f.bold)
            format.setFontWeight(QFont::Bold);
        if (f.italic)
            format.setFontItalic(true);
        if (f.underline)
            format.setFontUnderline(true);
        if (!f.font.isEmpty())
            format.setFontFamilies(QStringList{f.font});
        if (f.pointSize > 0)
            format.setFontPointSize(f.pointSize);
        if (f.color.isValid())
            format.setForeground(f.color);
        cursor.insertText(run.text, format);
    }
}

} // namespace ostrim
