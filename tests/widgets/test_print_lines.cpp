// Printed text keeps clear of the paper's edge: the printer's margins, widened to 10 mm.
#include "print_lines.h"

#include "file_helpers.h"

#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

constexpr qreal kPointsPerMm = 72 / 25.4;
constexpr qreal kSlack = 1.5; // points

// Where the first word printed on the first page begins, in points from the top left corner.
QPointF firstWordAt(const QString& pdf) {
    QProcess boxes;
    boxes.start("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
    EXPECT_TRUE(boxes.waitForFinished(20000));
    const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
    const QRegularExpressionMatch word =
        QRegularExpression(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)")re").match(html);
    EXPECT_TRUE(word.hasMatch()) << html.toStdString();
    return {word.captured(1).toDouble(), word.captured(2).toDouble()};
}

class PrintLinesTest : public test::TempDirTest {};

TEST_F(PrintLinesTest, MarginsAreThePrintersButAtLeastTenMillimetres) {
    const struct {
        const char* what;
        std::optional<QMarginsF> chosen; // none: the printer's default
    } cases[] = {
        {"default", std::nullopt},
        {"narrow", QMarginsF(2, 3, 0, 5)},
        {"mixed", QMarginsF(25, 5, 0, 12)},
        {"wide", QMarginsF(20, 15, 30, 25)},
    };
    for (const auto& c : cases) {
        const QString pdf = m_dir.filePath(QString::fromLatin1(c.what) + ".pdf");
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        if (c.chosen) {
            ASSERT_TRUE(printer.setPageMargins(*c.chosen, QPageLayout::Millimeter)) << c.what;
        }
        const QMarginsF before = printer.pageLayout().margins(QPageLayout::Millimeter);
        const auto expected = [](qreal margin) {
            return std::max(margin, 10.0);
        };

        ASSERT_TRUE(printLines(printer, {"select 1", "go"}, QFont("Courier", 10))) << c.what;

        const QMarginsF after = printer.pageLayout().margins(QPageLayout::Millimeter);
        EXPECT_NEAR(after.left(), expected(before.left()), 0.01) << c.what;
        EXPECT_NEAR(after.top(), expected(before.top()), 0.01) << c.what;
        EXPECT_NEAR(after.right(), expected(before.right()), 0.01) << c.what;
        EXPECT_NEAR(after.bottom(), expected(before.bottom()), 0.01) << c.what;
        // The text itself starts there, give or take the rounding to the printer's pixels
        // and the glyphs' own bearings: far less than the millimetres at stake.
        const QPointF word = firstWordAt(pdf);
        EXPECT_NEAR(word.x(), after.left() * kPointsPerMm, kSlack) << c.what;
        EXPECT_GE(word.y(), after.top() * kPointsPerMm - kSlack) << c.what;
        EXPECT_LT(word.y(), after.top() * kPointsPerMm + 4) << c.what;
    }
}

} // namespace
} // namespace ostrim
