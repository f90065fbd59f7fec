// How fluent the server window's editor stays over a long script: a 2 MB script of about 20,000
// lines loaded into the editor with its Transact-SQL colouring and line-number gutter on, then
// key presses at its start, middle and end, and a comment opener and a quote typed near the top
// and taken back (each recolours the lines after it). Every time includes the events the step
// caused, painting among them, until none is left. Qt offscreen unless QT_QPA_PLATFORM is set.
//
//   bench_editor_typing [--lines N]   (default 20000)

#include "line_gutter.h"
#include "sql_highlighter.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// About 100 characters a line, as procedures are written: a header comment (with a nested one,
// as the server allows), declarations, statements with strings and trailing comments, "go".
QString script(int lines) {
    const char* const procedure[] = {
        "/* "
        "------------------------------------------------------------------------------------------"
        "----------",
        " * proc_%1: keeps the open orders of one customer in step with the ledger, the invoices "
        "and the stock.",
        " * Run by the nightly batch /* and by hand after a failed load */; the ledger's wiki page "
        "tells more.",
        " * "
        "------------------------------------------------------------------------------------------"
        "--------*/",
        "create procedure proc_%1 @customer int, @from datetime = null, @until datetime = null, "
        "@note varchar(255) = \"\"",
        "as  -- the caller holds no transaction: each step below commits on its own, as the batch "
        "expects",
        "begin",
        "    declare @count int, @total money, @message varchar(255), @state char(1) -- figures of "
        "the customer",
        "    select @count = count(*), @total = sum(amount) from orders (index orders_customer) "
        "where customer_id = @customer",
        "    if @count = 0 and not exists (select 1 from invoices where customer_id = @customer "
        "and created >= @from)",
        "    begin",
        "        print 'customer %1 has no orders and no invoices since the date given; nothing to "
        "reconcile'",
        "        return 0",
        "    end",
        "    update ledger set balance = balance - o.amount * 1.075, changed = getdate(), "
        "changed_by = suser_name()",
        "        from ledger l, orders o where l.customer_id = o.customer_id and o.state = 'open' "
        "and o.created < @until",
        "    if @@error != 0 or @@rowcount = 0  /* nothing updated: the ledger row is missing or "
        "locked */",
        "    begin",
        "        select @message = 'ledger of customer ' + convert(varchar(12), @customer) + ''' "
        "failed: see the log'",
        "        raiserror 20001 @message",
        "        rollback transaction",
        "        return 1",
        "    end",
        "    insert into invoices (customer_id, amount, created, note, state) select "
        "o.customer_id, sum(o.amount),",
        "        getdate(), isnull(@note, \"nightly\"), 'N' from orders o holdlock where o.state = "
        "'open' and o.amount > 0",
        "        group by o.customer_id having sum(o.amount) > 0x10 order by 2 desc -- the largest "
        "amounts first",
        "    select o.order_id, o.customer_id, o.created, o.amount, o.state, c.name, c.street, "
        "c.city, c.country, c.credit_limit,",
        "           c.phone, c.email, l.balance, l.changed, l.changed_by, i.invoice_id, i.amount, "
        "i.created, i.note, i.state",
        "        from orders o, customers c, ledger l, invoices i  -- all four, joined on the "
        "customer as the report wants",
        "        where o.customer_id = @customer and c.customer_id = o.customer_id and "
        "l.customer_id = c.customer_id",
        "          and i.customer_id = c.customer_id and i.created between @from and @until and "
        "o.state in ('open', 'held')",
        "    delete orders where customer_id = @customer and state = 'open' and created < @from "
        "and amount is not null",
        "    select @total = @total * 2.5e0 / 100, @count = @count + 1 where @total is not null "
        "and @count < 1000000",
        "    return 0",
        "end",
        "go",
        "grant execute on proc_%1 to public  -- the clerks run it by hand when the nightly batch "
        "has failed them",
        "go",
    };
    QStringList out;
    for (int n = 1; out.size() < lines; ++n)
        for (const char* line : procedure)
            if (out.size() < lines)
                out << QString::fromUtf8(line).replace(QLatin1String("%1"), QString::number(n));
    return out.join(QLatin1Char('\n'));
}

// The longest single pass of the event loop since it was last reset: what a next key could have
// had to wait for.
double longestPass = 0;

// Runs the events the last step posted, painting among them, until none is left.
void settle() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    bool more = true;
    while (more) {
        const auto start = Clock::now();
        QCoreApplication::sendPostedEvents();
        more = dispatcher->processEvents(QEventLoop::AllEvents);
        longestPass = std::max(longestPass, milliseconds(Clock::now() - start));
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Keys {
    const char* what;
    std::vector<double> times;
};

// The longest time the work a key press left for later took, after its keystroke: what the
// event loop did beyond its first pass, a pass at a time.
double longestLater = 0;

// A keystroke: the key press handled, and the first pass of the event loop after it (the repaint
// and whatever else was due), after which a next key would be taken.
double press(QWidget& editor, int key, const QString& text) {
    const auto start = Clock::now();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&editor, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(&editor, &up);
    QCoreApplication::sendPostedEvents();
    QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents);
    const auto handled = Clock::now();
    settle();
    longestLater = std::max(longestLater, milliseconds(Clock::now() - handled));
    return milliseconds(handled - start);
}

void placeCaret(QTextEdit& editor, int line) {
    editor.setTextCursor(QTextCursor(editor.document()->findBlockByNumber(line)));
    editor.ensureCursorVisible();
    settle();
}

void typeWord(QTextEdit& editor, Keys& keys, int count) {
    const char word[] = "select";
    for (int i = 0; i < count; ++i) {
        const char c = word[i % 6];
        keys.times.push_back(press(editor, Qt::Key_A + (c - 'a'), QString(QLatin1Char(c))));
    }
}

std::string figures(const Keys& keys) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f / %.1f ms", median(keys.times),
                  *std::max_element(keys.times.begin(), keys.times.end()));
    return text;
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Loads the script into the editor, shown, then types into it; prints one row of the table.
bool measure(const char* label, QTextEdit& editor, const QString& text, int lines) {
    editor.setLineWrapMode(QTextEdit::NoWrap);
    editor.setFont(QFont("Monospace", 10));
    editor.resize(1000, 700);
    editor.show();
    editor.setFocus();
    settle();

    const auto start = Clock::now();
    editor.setPlainText(text);
    const auto returned = Clock::now();
    // Laid out to the last line, as the first scroll to the end would need it.
    editor.document()->documentLayout()->blockBoundingRect(editor.document()->lastBlock());
    settle();
    const auto idle = Clock::now();
    longestLater = 0;
    longestPass = 0;

    Keys top{"start", {}};
    placeCaret(editor, 8);
    typeWord(editor, top, 100);
    Keys middle{"middle", {}};
    placeCaret(editor, lines / 2 + 8);
    typeWord(editor, middle, 100);
    Keys end{"end", {}};
    editor.moveCursor(QTextCursor::End);
    settle();
    typeWord(editor, end, 100);

    // On the first procedure's create line: "/*" there turns every line after it into comment
    // (each header's comment then nests one deeper and never closes), and a quote turns the
    // text up to the next quote into string; taking them back undoes that.
    Keys opener{"/*", {}};
    Keys quote{"'", {}};
    for (int round = 0; round < 10; ++round) {
        placeCaret(editor, 4);
        opener.times.push_back(press(editor, Qt::Key_Slash, "/"));
        opener.times.push_back(press(editor, Qt::Key_Asterisk, "*"));
        opener.times.push_back(press(editor, Qt::Key_Backspace, {}));
        opener.times.push_back(press(editor, Qt::Key_Backspace, {}));
        quote.times.push_back(press(editor, Qt::Key_Apostrophe, "'"));
        quote.times.push_back(press(editor, Qt::Key_Backspace, {}));
    }
    if (editor.toPlainText().size() != text.size() + 300) {
        std::fprintf(stderr, "%s: the typed text did not arrive as typed\n", label);
        return false;
    }
    Keys all{"all", {}};
    for (const Keys* keys : {&top, &middle, &end, &opener, &quote})
        all.times.insert(all.times.end(), keys->times.begin(), keys->times.end());
    std::printf("| %s | %.0f ms | %.0f ms | %s | %s | %s | %s | %s | %s | %.1f ms | %.1f ms |\n",
                label, milliseconds(returned - start), milliseconds(idle - start),
                figures(top).c_str(), figures(middle).c_str(), figures(end).c_str(),
                figures(opener).c_str(), figures(quote).c_str(), figures(all).c_str(), longestLater,
                longestPass);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int lines = 20000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lines") == 0 && i + 1 < argc) {
            lines = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--lines N]\n", argv[0]);
            return 2;
        }
    }
    if (lines < 100) {
        std::fprintf(stderr, "--lines: at least 100\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString text = script(lines);
    std::printf("load average %s; a script of %d lines, %lld bytes\n", loadAverage().c_str(), lines,
                static_cast<long long>(text.toUtf8().size()));
    std::printf("keys: 100 typed at the start, in the middle and at the end; 10 rounds of \"/*\" "
                "typed and taken back (40 keys) and of \"'\" (20 keys); median / longest\n\n");
    std::printf("| editor | setPlainText | laid out, idle | start | middle | end | /* | ' | all | "
                "work left for later, longest | one later pass, longest |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    {
        QTextEdit plain;
        if (!measure("QTextEdit alone", plain, text, lines))
            return 1;
    }
    {
        ostrim::SqlEdit gutter;
        gutter.setLineNumbers(true);
        if (!measure("SqlEdit, line numbers", gutter, text, lines))
            return 1;
    }
    ostrim::SqlEdit editor;
    editor.setLineNumbers(true);
    ostrim::SqlHighlighter highlighter(&editor);
    if (!measure("SqlEdit, line numbers, colouring", editor, text, lines))
        return 1;
    // QSyntaxHighlighter colours inside setPlainText's own change, not on a later pass.
    std::printf("\nlast line coloured right after setPlainText: %s\n",
                editor.document()->lastBlock().layout()->formats().isEmpty() ? "no" : "yes");
    return 0;
}
