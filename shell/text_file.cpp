#include "text_file.h"

#include <QStringDecoder>

#include <QFile>
#include <QSaveFile>

namespace ostrim {

IoResult IoResult::failure(const QString& message, const QString& fileName) {
    IoResult result;
    result.m_ok = false;
    result.m_message = message;
    result.m_fileName = fileName;
    return result;
}

IoResult writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& writer) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return IoResult::failure(file.errorString(), path);
    if (!writer(file)) {
        const QString message = file.errorString();
        file.cancelWriting(); // the temporary file is removed, the target never touched
        return IoResult::failure(message, path);
    }
    if (!file.commit())
        return IoResult::failure(file.errorString(), path);
    return IoResult::success();
}

IoResult writeFileSafely(const QString& path, const QByteArray& contents) {
    return writeFileSafely(
        path, [&contents](QIODevice& device) { return device.write(contents) == contents.size(); });
}

IoResult readFileCreatingIfMissing(const QString& path, QByteArray& contents) {
    // An existing but unreadable file must not be truncated, so only a missing one is created.
    if (!QFile::exists(path)) {
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly))
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

QStringList splitLines(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

QByteArray joinLines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace ostrim
