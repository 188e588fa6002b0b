// The command-line table: values in both forms, "--" ending the options, operands, and the
// errors that must stop a program before it does anything.
#include "platform/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    QString home;
    bool quiet = false;
    QStringList operands;
    QStringList rest;
};

platform::CommandLine::Outcome parse(const QStringList& args, Parsed& p, QString* error = nullptr)
{
    platform::CommandLine cl(QStringLiteral("prog"), QStringLiteral("[WORD] [-- ARG...]"), QStringLiteral("9.9"));
    cl.add({QStringLiteral("--home"), QStringLiteral("DIR"), QStringLiteral("folder"),
            [&p](const QString& v) { p.home = v; }});
    cl.add({QStringLiteral("--quiet"), {}, QStringLiteral("say less"), [&p](const QString&) { p.quiet = true; }});
    cl.onOperand([&p](const QString& w) {
        p.operands << w;
        return w != QLatin1String("refused");
    });
    cl.onRest([&p](const QStringList& w) { p.rest = w; });
    const auto outcome = cl.parse(args);
    if (error)
        *error = cl.error();
    return outcome;
}

} // namespace

using Outcome = platform::CommandLine::Outcome;

TEST(CommandLine, ValuesInBothFormsOperandsAndTheRestAfterDoubleDash)
{
    Parsed p;
    EXPECT_EQ(parse({QStringLiteral("--home"), QStringLiteral("/a b"), QStringLiteral("x"), QStringLiteral("--quiet"),
                     QStringLiteral("--"), QStringLiteral("--home"), QStringLiteral("-q")},
                    p),
              Outcome::Run);
    EXPECT_EQ(p.home, QStringLiteral("/a b"));
    EXPECT_TRUE(p.quiet);
    EXPECT_EQ(p.operands, QStringList{QStringLiteral("x")});
    EXPECT_EQ(p.rest, QStringList({QStringLiteral("--home"), QStringLiteral("-q")}));

    Parsed q;
    EXPECT_EQ(parse({QStringLiteral("--home=/x=y")}, q), Outcome::Run);
    EXPECT_EQ(q.home, QStringLiteral("/x=y")); // only the first "=" splits
}

TEST(CommandLine, ErrorsNameWhatWasWrong)
{
    const struct {
        QStringList args;
        const char* error;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "prog: unknown option '--bogus'"},
        {{QStringLiteral("-x")}, "prog: unknown option '-x'"},
        {{QStringLiteral("--bogus=1")}, "prog: unknown option '--bogus'"},
        {{QStringLiteral("--home")}, "prog: option '--home' needs a value (DIR)"},
        {{QStringLiteral("--home=")}, "prog: option '--home' needs a value (DIR)"},
        {{QStringLiteral("--home"), QString()}, "prog: option '--home' needs a value (DIR)"},
        {{QStringLiteral("--quiet=yes")}, "prog: option '--quiet' takes no value"},
        {{QStringLiteral("refused")}, "prog: unexpected argument 'refused'"},
    };
    for (const auto& c : cases) {
        Parsed p;
        QString error;
        EXPECT_EQ(parse(c.args, p, &error), Outcome::Error) << c.error;
        EXPECT_EQ(error.toStdString(), c.error);
    }
}

TEST(CommandLine, HelpAndVersionEndTheParseAndHelpListsEveryOption)
{
    Parsed p;
    EXPECT_EQ(parse({QStringLiteral("--version"), QStringLiteral("--bogus")}, p), Outcome::Done);
    EXPECT_EQ(parse({QStringLiteral("-h")}, p), Outcome::Done);
    EXPECT_FALSE(p.quiet);

    platform::CommandLine cl(QStringLiteral("prog"), QStringLiteral("[WORD]"), QStringLiteral("1"));
    cl.add({QStringLiteral("--home"), QStringLiteral("DIR"), QStringLiteral("folder"), {}});
    cl.add({QStringLiteral("--quiet"), {}, QStringLiteral("say less"), {}});
    cl.addHelpRow(QStringLiteral("WORD"), QStringLiteral("a word"));
    cl.setEpilogue(QStringLiteral("Exit codes:\n  0  fine\n"));
    EXPECT_EQ(cl.usageLine(), QStringLiteral("Usage: prog [--home DIR] [--quiet] [WORD]"));
    EXPECT_EQ(cl.helpText().toStdString(), "Usage: prog [--home DIR] [--quiet] [WORD]\n"
                                           "  --home DIR  folder\n"
                                           "  --quiet     say less\n"
                                           "  --help      print this help and end\n"
                                           "  --version   print the version and end\n"
                                           "  WORD        a word\n"
                                           "\n"
                                           "Exit codes:\n  0  fine\n");
}
