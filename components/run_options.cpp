#include "run_options.h"

namespace ostrim {

namespace {

struct OptionStatement {
    bool RunOptions::*flag;
    const char* statement; // without its "on" or "off"
};

constexpr OptionStatement kStatements[] = {
    {&RunOptions::ShowPlan, "set showplan"},
    {&RunOptions::CheckSyntax, "set parseonly"},
    {&RunOptions::ShowIo, "set statistics io"},
    {&RunOptions::ShowTime, "set statistics time"},
    {&RunOptions::ArithAbort, "set arithabort arith_overflow"},
    {&RunOptions::ArithIgnore, "set arithignore arith_overflow"},
    {&RunOptions::ShowNonAnsi, "set fipsflagger"},
    {&RunOptions::NoExec, "set noexec"},
};

QStringList statements(const RunOptions& options, const char* state) {
    QStringList list;
    for (const OptionStatement& option : kStatements)
        if (options.*option.flag)
            list << QString::fromLatin1(option.statement) + QLatin1Char(' ') + QLatin1String(state);
    return list;
}

} // namespace

QStringList onStatements(const RunOptions& options) {
    return statements(options, "on");
}

QStringList offStatements(const RunOptions& options) {
    return statements(options, "off");
}

} // namespace ostrim
