#pragma once
// A small RTF reader and writer for the editor's rich-text mode: text, bold, italic,
// underline, font and colour. The reader takes any bytes (it reads the user's files): it never
// fails, skips what it does not know and bounds its nesting.

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>

class QTextCursor;
class QTextDocument;

namespace ostrim {

struct RtfFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QString font;         // empty: the reader's default font
    double pointSize = 0; // 0: not given
    QColor color;         // invalid: automatic colour

    bool operator==(const RtfFormat&) const = default;
};

// A stretch of text in one format; "\n" ends a paragraph.
struct RtfRun {
    QString text;
    RtfFormat format;

    bool operator==(const RtfRun&) const = default;
};

using RtfText = QList<RtfRun>;

// True when the bytes start (after blanks) with an RTF header.
bool looksLikeRtf(const QByteArray& bytes);

// Adjacent runs of the same format are joined.
RtfText readRtf(const QByteArray& rtf);
QByteArray writeRtf(const RtfText& text);

QString plainText(const RtfText& text);

// The document's text with the attributes each character shows (unset ones resolved against
// the document's default font).
RtfText documentRuns(const QTextDocument& document);
QByteArray documentToRtf(const QTextDocument& document);
// Inserts the runs at the cursor, each in its attributes (unset ones left to the document).
void insertRuns(QTextCursor& cursor, const RtfText& text);

} // namespace ostrim
