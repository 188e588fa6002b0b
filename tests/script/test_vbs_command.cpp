// The tarnwick-vbs command: files run in order in one engine, WScript is there, and an error
// ends the run with "FILE(LINE): error NUMBER: DESCRIPTION" and a non-zero exit.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result runVbs(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TW_VBS_RUNNER), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromLatin1(p.readAllStandardOutput()), QString::fromLatin1(p.readAllStandardError())};
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

    r = runVbs({dir.filePath(QStringLiteral("missing.vbs"))});
    EXPECT_NE(0, r.code);
    EXPECT_TRUE(r.err.contains(QStringLiteral("error 53: File not found")));
}

TEST(VbsCommand, QuitEndsWithItsCode)
{
    QTemporaryDir dir;
    QString q = writeFile(dir, QStringLiteral("q.vbs"), "WScript.Echo \"a\"\nWScript.Quit 3\nWScript.Echo \"b\"\n");
    Result r = runVbs({q});
    EXPECT_EQ(3, r.code);
    EXPECT_EQ("a\n", r.out.toStdString());
}
