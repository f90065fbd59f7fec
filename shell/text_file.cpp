#include "text_file.h"

#include <QStringDecoder>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ostrim {

IoResult IoResult::failure(const QString& message, const QString& fileName) {
    IoResult result;
    result.m_ok = false;
    result.m_message = message;
    result.m_fileName = fileName;
    return result;
}

namespace {

// A device or a pipe (/dev/null, /dev/full, a FIFO) cannot be replaced by a temporary file: the
// rename would put a regular file in its place. Such targets are written directly.
IoResult writeDirectly(const QString& path, const std::function<bool(QIODevice&)>& writer) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return IoResult::failure(file.errorString(), path);
    const bool written = writer(file) && file.flush();
    // A full device may only refuse the bytes when they are handed over on close.
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return IoResult::failure(file.errorString(), path);
    return IoResult::success();
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

IoResult writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& writer,
                         FileMode mode) {
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeDirectly(path, writer);
    const bool ownerOnly = mode == FileMode::Private;
    // QSaveFile::open copies the target's mode onto its temporary file, so the target is made the
    // owner's alone first (created so when missing): the copy is then never open to others, not
    // even for the moment before its own mode is set. A file we may not chmod is still tightened
    // through the temporary file below.
    if (ownerOnly && target.isFile()) {
        QFile::setPermissions(path, target.permissions() & kOwnerOnly);
    } else if (ownerOnly && !target.exists()) {
        QFile created(path);
        if (created.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly))
            created.close();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return IoResult::failure(file.errorString(), path);
    // Before the first byte is written.
    if (ownerOnly && !file.setPermissions(kOwnerOnly)) {
        const QString message = file.errorString();
        file.cancelWriting();
        return IoResult::failure(message, path);
    }
    if (!writer(file)) {
        const QString message = file.errorString();
        file.cancelWriting(); // the temporary file is removed, the target never touched
        return IoResult::failure(message, path);
    }
    if (!file.commit())
        return IoResult::failure(file.errorString(), path);
    return IoResult::success();
}

IoResult writeFileSafely(const QString& path, const QByteArray& contents, FileMode mode) {
    return writeFileSafely(
        path, [&contents](QIODevice& device) { return device.write(contents) == contents.size(); },
        mode);
}

IoResult readFileCreatingIfMissing(const QString& path, QByteArray& contents, FileMode mode) {
    // An existing but unreadable file must not be truncated, so only a missing one is created,
    // and never over one that appeared meanwhile.
    if (!QFile::exists(path)) {
        QFile created(path);
        const QIODevice::OpenMode create = QIODevice::WriteOnly | QIODevice::NewOnly;
        const bool opened =
            mode == FileMode::Private ? created.open(create, kOwnerOnly) : created.open(create);
        if (!opened && !QFile::exists(path))
            return IoResult::failure(created.errorString(), path);
        created.close();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IoResult::failure(file.errorString(), path);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return IoResult::failure(file.errorString(), path);
    contents = std::move(bytes);
    return IoResult::success();
}

namespace {

QString fromWindows1252(const QByteArray& bytes) {
    // 0x80-0x9F, where the code page differs from Latin-1; its five unassigned bytes keep
    // Latin-1's control characters, so every byte still reads as one character.
    static constexpr char16_t kHighRange[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? kHighRange[byte - 0x80] : char16_t(byte));
    }
    return text;
}

QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

} // namespace

QStringList splitLines(const QByteArray& bytes) {
    QString text = decodeText(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

LineEnd dominantLineEnd(const QByteArray& bytes) {
    const qsizetype lineFeeds = bytes.count('\n');
    const qsizetype crlfs = bytes.count("\r\n");
    return crlfs > lineFeeds - crlfs ? LineEnd::CrLf : LineEnd::Lf;
}

QByteArray joinLines(const QStringList& lines, LineEnd lineEnd) {
    const char* const end = lineEnd == LineEnd::CrLf ? "\r\n" : "\n";
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += end;
    }
    return bytes;
}

} // namespace ostrim
