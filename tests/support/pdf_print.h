#pragma once
// Printing through the scripted print dialog into a PDF file, read back by pdftotext.

#include "scripted_dialogs.h"

#include <QPrinter>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

namespace ostrim::test {

// The next print dialog chooses a PDF printer writing pdf.
inline void printNextToPdf(ScriptedDialogs& dialogs, const QString& pdf) {
    dialogs.printerAnswers.push_back([pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
}

// The text of pdf as laid out on its pages.
inline QString pdfText(const QString& pdf) {
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    EXPECT_TRUE(text.waitForFinished(20000));
    EXPECT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    return QString::fromUtf8(text.readAllStandardOutput());
}

} // namespace ostrim::test
