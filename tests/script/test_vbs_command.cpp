// The tarnwick-vbs command: files run in order in one engine, WScript is there, and an error
// ends the run with "FILE(LINE): error NUMBER: DESCRIPTION" and a non-zero exit; message boxes
// without --allow-ui or without a display; the command-line conventions.
#include "support/ProcessRun.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Result = tw::test::ProcessRun;

Result runVbs(const QStringList& args)
{
    // As on a server: no display, whatever the machine running the tests has.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return tw::test::RunToEnd(QStringLiteral(TW_VBS_RUNNER), args, env);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

} // namespace

TEST(VbsCommand, RunsFilesInOrderInOneEngine)
{
    QTemporaryDir dir;
    QString a = writeFile(dir, QStringLiteral("a.vbs"), "Function Greet(n) : Greet = \"hi \" & n : End Function\r\nshared = 1\r\n");
    QString b = writeFile(dir, QStringLiteral("b.vbs"),
                          "WScript.Echo Greet(WScript.ScriptName), shared, WScript.Arguments.Count, WScript.Arguments(1)\n"
                          "WScript.StdOut.Write \"x\"\nWScript.StdOut.WriteLine \"y\"\n");
    Result r = runVbs({a, b, QStringLiteral("--"), QStringLiteral("one"), QStringLiteral("two")});
    EXPECT_EQ(0, r.code) << r.err.toStdString();
    EXPECT_EQ("hi b.vbs 1 2 two\nxy\n", r.out.toStdString());
    EXPECT_TRUE(r.err.isEmpty());
}

TEST(VbsCommand, ReportsErrorsAsFileLineNumberDescription)
{
    QTemporaryDir dir;
    QString ok = writeFile(dir, QStringLiteral("ok.vbs"), "WScript.Echo \"first\"\n");
    QString bad = writeFile(dir, QStringLiteral("bad.vbs"), "x = 1\nx = x / 0\nWScript.Echo \"not reached\"\n");
    QString never = writeFile(dir, QStringLiteral("never.vbs"), "WScript.Echo \"never\"\n");
    Result r = runVbs({ok, bad, never});
    EXPECT_NE(0, r.code);
    EXPECT_EQ("first\n", r.out.toStdString());
    EXPECT_EQ((bad + QStringLiteral("(2): error 11: Division by zero\n")).toStdString(), r.err.toStdString());

    QString syntax = writeFile(dir, QStringLiteral("syntax.vbs"), "If x Then\n");
    r = runVbs({syntax});
    EXPECT_NE(0, r.code);
    EXPECT_TRUE(r.err.contains(QStringLiteral("(1): error 1014: Expected 'End'")) ||
                r.err.contains(QStringLiteral(": error 1014: Expected 'End'")))
        << r.err.toStdString();

    // The report names the item an error concerns, though Err.Description does not.
    QString undefinedName = writeFile(dir, QStringLiteral("undefined.vbs"), "Option Explicit\nDim a\na = b + 1\n");
    r = runVbs({undefinedName});
    EXPECT_EQ((undefinedName + QStringLiteral("(3): error 500: Variable is undefined: 'b'\n")).toStdString(),
              r.err.toStdString());

    // A missing file has no line to point at.
    const QString missing = dir.filePath(QStringLiteral("missing.vbs"));
    r = runVbs({missing});
    EXPECT_EQ(1, r.code);
    EXPECT_EQ((missing + QStringLiteral(": error 53: File not found\n")).toStdString(), r.err.toStdString());
}

TEST(VbsCommand, MessageBoxesNeedAllowUiAndWithoutDisplayAreAnsweredAsHeadless)
{
    QTemporaryDir dir;
    QString box = writeFile(dir, QStringLiteral("box.vbs"),
                            "WScript.Echo \"before\"\nanswer = MsgBox(\"Delete it?\", vbYesNo)\nWScript.Echo answer\n"
                            "MsgBox \"done\"\n");
    Result r = runVbs({box});
    EXPECT_EQ(1, r.code);
    EXPECT_EQ("before\n", r.out.toStdString());
    EXPECT_EQ((box + QStringLiteral("(2): error 70: Permission denied (MsgBox and InputBox need --allow-ui)\n")).toStdString(),
              r.err.toStdString());

    r = runVbs({QStringLiteral("--allow-ui"), box});
    EXPECT_EQ(0, r.code) << r.err.toStdString();
    EXPECT_EQ("before\n7\n", r.out.toStdString()); // vbNo, the safe answer
    EXPECT_EQ("tarnwick-vbs: no display, so message boxes are written here and get the answer a headless robot gives\n"
              "QUESTION: Delete it? ANSWER (no display): No\n"
              "MESSAGE: done\n",
              r.err.toStdString());

    // Other permission errors get no hint about message boxes.
    QString other = writeFile(dir, QStringLiteral("other.vbs"), "Err.Raise 70\n");
    r = runVbs({other});
    EXPECT_EQ((other + QStringLiteral("(1): error 70: Permission denied\n")).toStdString(), r.err.toStdString());
}

TEST(VbsCommand, CommandLineFollowsTheConventions)
{
    QTemporaryDir dir;
    QString ok = writeFile(dir, QStringLiteral("ok.vbs"), "WScript.Echo WScript.Arguments(0)\n");
    for (const QStringList& args : {QStringList{QStringLiteral("--bogus"), ok}, QStringList{},
                                    QStringList{QStringLiteral("--allow-ui=yes"), ok}}) {
        Result r = runVbs(args);
        EXPECT_EQ(2, r.code) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: tarnwick-vbs [--allow-ui] FILE... [-- ARG...]\n")))
            << r.err.toStdString();
    }
    // Options end at "--": what follows belongs to the script, dashes and all.
    Result r = runVbs({ok, QStringLiteral("--"), QStringLiteral("--bogus")});
    EXPECT_EQ(0, r.code) << r.err.toStdString();
    EXPECT_EQ("--bogus\n", r.out.toStdString());

    r = runVbs({QStringLiteral("--help")});
    EXPECT_EQ(0, r.code);
    for (const char* item : {"Usage: tarnwick-vbs", "--allow-ui", "--version", "Exit codes:", "\n  0  ", "\n  1  ",
                             "\n  2  ", "WScript.Quit"})
        EXPECT_TRUE(r.out.contains(QLatin1String(item))) << item;
    r = runVbs({QStringLiteral("--version")});
    EXPECT_EQ(0, r.code);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("tarnwick-vbs "))) << r.out.toStdString();
}

TEST(VbsCommand, QuitEndsWithItsCode)
{
    QTemporaryDir dir;
    QString q = writeFile(dir, QStringLiteral("q.vbs"), "WScript.Echo \"a\"\nWScript.Quit 3\nWScript.Echo \"b\"\n");
    Result r = runVbs({q});
    EXPECT_EQ(3, r.code);
    EXPECT_EQ("a\n", r.out.toStdString());
}
