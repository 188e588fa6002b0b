// The script control as the host uses it: load a script defining Main, add host objects
// with and without global members, run procedures, and read the error record.
#include "HostFixture.h"
#include "script/Engine.h"
#include "script/ScriptControl.h"
#include "platform/Termination.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

using script::ScriptControl;
using script::Variant;

namespace {

QString runMain(ScriptControl& sc, const QString& code)
{
    if (!sc.AddCode(code))
        return QStringLiteral("compile %1 line %2: %3").arg(sc.Error().Number).arg(sc.Error().Line).arg(sc.Error().Description);
    if (!sc.Run(QStringLiteral("Main")))
        return QStringLiteral("run %1 line %2: %3").arg(sc.Error().Number).arg(sc.Error().Line).arg(sc.Error().Description);
    return QStringLiteral("ok");
}

} // namespace

TEST(ScriptControl, RunsMainAgainstAQObjectWithGlobalMembers)
{
    TestHost host;
    ScriptControl sc;
    sc.setTimeout(-1);
    sc.setAllowUI(false);
    ASSERT_TRUE(sc.AddObject(QStringLiteral("IM"), &host, true));
    QString code = QStringLiteral(
        "Dim calls\r\n"
        "Sub Main()\r\n"
        "  calls = calls + 1\r\n"
        "  LogMessage \"plain \" & Add(1, 2)\r\n"
        "  IM.LogMessage \"named \" & im.add(5)\r\n"
        "  Subject = UCase(\"re: \") & Upper(\"x\")\r\n"
        "  IM.logmessage Count & \" \" & IsTrue(1) & \" \" & TypeName(Echo(Null))\r\n"
        "End Sub\r\n");
    EXPECT_EQ("ok", runMain(sc, code).toStdString());
    EXPECT_EQ((QStringList{"plain 3", "named 15", "2 True Null"}), host.log);
    EXPECT_EQ("RE: X", host.subject().toStdString());
    // Globals keep their values from one run to the next.
    ASSERT_TRUE(sc.Run(QStringLiteral("Main")));
    Variant calls;
    ASSERT_TRUE(sc.Eval(QStringLiteral("calls"), &calls));
    EXPECT_EQ(2, script::toLong(calls));
}

TEST(ScriptControl, ObjectWithoutGlobalMembersIsReachedOnlyByName)
{
    TestHost host;
    ScriptControl sc;
    ASSERT_TRUE(sc.AddObject(QStringLiteral("XCommon"), &host, false));
    EXPECT_EQ("ok", runMain(sc, QStringLiteral("Sub Main\nXCommon.LogMessage \"a\"\nEnd Sub\n")).toStdString());
    EXPECT_EQ("run 13 line 2: Type mismatch: 'LogMessage'",
              runMain(sc, QStringLiteral("Sub Main\nLogMessage \"b\"\nEnd Sub\n")).toStdString());
    EXPECT_EQ("run 438 line 2: Object doesn't support this property or method: 'Nope'",
              runMain(sc, QStringLiteral("Sub Main\nXCommon.Nope\nEnd Sub\n")).toStdString());
    // A second object under a taken name is refused and the first stays.
    TestHost other;
    EXPECT_FALSE(sc.AddObject(QStringLiteral("xcommon"), &other, false));
    EXPECT_EQ(457, sc.Error().Number);
    EXPECT_EQ(QStringList{"a"}, host.log);
}

TEST(ScriptControl, ReportsCompileAndRunErrorsWithNumberLineAndDescription)
{
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode(QStringLiteral("Sub Main\r\n  x = \r\nEnd Sub\r\n")));
    EXPECT_EQ(1023, sc.Error().Number);
    EXPECT_EQ(2, sc.Error().Line);
    EXPECT_EQ("Expected expression", sc.Error().Description.toStdString());
    EXPECT_EQ("VBScript compilation error", sc.Error().Source.toStdString());
    // Nothing of a chunk that failed to compile is kept.
    EXPECT_FALSE(sc.Run(QStringLiteral("Main")));

    EXPECT_EQ("run 11 line 3: Division by zero",
              runMain(sc, QStringLiteral("Sub Main\r\n  Dim a\r\n  a = 1 / 0\r\nEnd Sub\r\n")).toStdString());
    EXPECT_EQ("VBScript runtime error", sc.Error().Source.toStdString());
    // A successful step clears the record.
    ASSERT_TRUE(sc.AddCode(QStringLiteral("x = 1\r\n")));
    EXPECT_EQ(0, sc.Error().Number);
}

TEST(ScriptControl, MissingMainIsAnErrorEveryTime)
{
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode(QStringLiteral("x = 1\r\n")));
    EXPECT_FALSE(sc.Run(QStringLiteral("Main")));
    EXPECT_NE(0, sc.Error().Number);
    EXPECT_FALSE(sc.Run(QStringLiteral("Main")));
}

TEST(ScriptControl, AddedCodeAddsAndReplacesProcedures)
{
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode(QStringLiteral("Dim keep\nkeep = \"kept\"\nFunction Main() : Main = \"one\" : End Function\nFunction Other() : Other = keep : End Function\n")));
    QVariant r;
    ASSERT_TRUE(sc.Run(QStringLiteral("Main"), {}, &r));
    EXPECT_EQ("one", r.toString().toStdString());
    ASSERT_TRUE(sc.AddCode(QStringLiteral("Function Main() : Main = \"two \" & Other() : End Function\n")));
    ASSERT_TRUE(sc.Run(QStringLiteral("main"), {}, &r));
    EXPECT_EQ("two kept", r.toString().toStdString());

    sc.Reset();
    EXPECT_FALSE(sc.Run(QStringLiteral("Main")));
    Variant v;
    ASSERT_TRUE(sc.Eval(QStringLiteral("IsEmpty(keep)"), &v));
    EXPECT_TRUE(script::toBool(v));
}

TEST(ScriptControl, RunPassesArgumentsByReference)
{
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode(QStringLiteral("Sub Twice(x, ByVal y)\n x = x * 2 : y = y * 2\nEnd Sub\n")));
    std::vector<Variant> args{Variant::fromInteger(21), Variant::fromInteger(5)};
    ASSERT_TRUE(sc.Run(QStringLiteral("Twice"), args));
    EXPECT_EQ(42, script::toLong(args[0]));
    EXPECT_EQ(5, script::toLong(args[1]));
    std::vector<Variant> one{Variant::fromInteger(1)};
    EXPECT_FALSE(sc.Run(QStringLiteral("Twice"), one));
    EXPECT_EQ(450, sc.Error().Number);
}

TEST(ScriptControl, TimeOutStopsARunawayScriptEvenUnderResumeNext)
{
    platform::ScopedTestClock clock;
    TestHost host;
    ScriptControl sc;
    sc.setTimeout(2000);
    ASSERT_TRUE(sc.AddObject(QStringLiteral("H"), &host, true));
    EXPECT_FALSE(sc.AddCode(QStringLiteral("On Error Resume Next\nDo\n  Tick 1\nLoop\n")));
    EXPECT_EQ(script::kTimeoutNumber, sc.Error().Number);
    // Without a time-out the same engine keeps working.
    sc.setTimeout(-1);
    EXPECT_TRUE(sc.AddCode(QStringLiteral("n = 0\nDo While n < 10000 : n = n + 1 : Tick 1 : Loop\n")));
}

TEST(ScriptControl, DeepRecursionIsOutOfStackSpaceNotACrash)
{
    ScriptControl sc;
    EXPECT_EQ("run 28 line 2: Out of stack space",
              runMain(sc, QStringLiteral("Sub Main\n  Main\nEnd Sub\n")).toStdString());
    // The engine is usable afterwards.
    Variant v;
    ASSERT_TRUE(sc.Eval(QStringLiteral("1 + 1"), &v));
    EXPECT_EQ(2, script::toLong(v));
}

TEST(ScriptControl, BadInputEndsInAnErrorRecord)
{
    ScriptControl sc;
    sc.setTimeout(-1);
    // Deeply nested parentheses and blocks, unterminated blocks, stray characters.
    EXPECT_FALSE(sc.AddCode(QStringLiteral("x = ") + QString(100000, QLatin1Char('(')) + QStringLiteral("1")));
    EXPECT_EQ(28, sc.Error().Number);
    QString deepIf;
    for (int i = 0; i < 50000; ++i) deepIf += QStringLiteral("If True Then\n");
    EXPECT_FALSE(sc.AddCode(deepIf));
    EXPECT_NE(0, sc.Error().Number);
    EXPECT_FALSE(sc.AddCode(QStringLiteral("Class A\nSub X\n")));
    EXPECT_FALSE(sc.AddCode(QStringLiteral("x = 1 $ 2\n")));
    EXPECT_EQ(1032, sc.Error().Number);
    // A huge string is built and measured without trouble.
    Variant v;
    ASSERT_TRUE(sc.AddCode(QStringLiteral("s = \"x\"\nFor i = 1 To 22 : s = s & s : Next\n")));
    ASSERT_TRUE(sc.Eval(QStringLiteral("Len(s)"), &v));
    EXPECT_EQ(4194304, script::toLong(v));
    // An array too large to hold is refused, not allocated.
    EXPECT_FALSE(sc.AddCode(QStringLiteral("ReDim a(100000, 100000)\n")));
    EXPECT_EQ(7, sc.Error().Number);
}

TEST(ScriptControl, ATerminationRequestStopsOnlyTheScriptThatWasRunning)
{
    ScriptControl sc;
    sc.setTimeout(-1);
    ASSERT_TRUE(sc.AddCode(QStringLiteral("Sub Main\n  On Error Resume Next\n  Do\n  Loop\nEnd Sub\n"
                                          "Function Count(n)\n  Dim i\n  For i = 1 To n : Next\n  Count = i\nEnd Function\n")));
    // The request comes from elsewhere while the script holds the thread, as a signal does.
    std::thread requester([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform::NoteTermination(SIGTERM);
    });
    const bool ran = sc.Run(QStringLiteral("Main"));
    requester.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(script::kTimeoutNumber, sc.Error().Number);
    EXPECT_EQ(QString::fromLatin1(script::kInterruptedText), sc.Error().Description);
    EXPECT_EQ(SIGTERM, platform::LastTerminationSignal());
    // A script started after the request runs to its end.
    QVariant result;
    ASSERT_TRUE(sc.Run(QStringLiteral("Count"), {100000}, &result));
    EXPECT_EQ(100001, result.toInt());
}
