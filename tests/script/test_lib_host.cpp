// The library as a host sees it: locale-dependent number and date texts, the movable clock,
// MsgBox and InputBox with and without the user-interface permission, and a receive script
// that uses RegExp, FileSystemObject and a shared Dictionary the way users' scripts do.
#include "script/Dictionary.h"
#include "script/Engine.h"
#include "script/Library.h"
#include "script/ScriptControl.h"

#include "platform/Clock.h"
#include "platform/Format.h"
#include "platform/Messages.h"
#include "platform/VbDate.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using script::Variant;

class PinnedLocale {
public:
    PinnedLocale() : old_(QLocale()) { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~PinnedLocale() { QLocale::setDefault(old_); }

private:
    QLocale old_;
};

QString evalText(script::ScriptControl& sc, const QString& expr)
{
    Variant r;
    if (!sc.Eval(expr, &r))
        return QStringLiteral("error %1: %2").arg(sc.Error().Number).arg(sc.Error().Description);
    return script::toStr(r);
}

TEST(LibHost, NumberFormatsFollowTheLocale)
{
    PinnedLocale pin;
    script::ScriptControl sc;
    EXPECT_EQ(evalText(sc, "FormatNumber(1234567.891)"), "1,234,567.89");
    EXPECT_EQ(evalText(sc, "FormatNumber(0.125, 2)"), "0.13");
    EXPECT_EQ(evalText(sc, "FormatNumber(2.5, 0)"), "3");
    EXPECT_EQ(evalText(sc, "FormatNumber(-0.5, 2, vbFalse)"), "-.50");
    EXPECT_EQ(evalText(sc, "FormatNumber(-1234.5, 1, , vbTrue)"), "(1,234.5)");
    EXPECT_EQ(evalText(sc, "FormatNumber(1234.5, 1, , , vbFalse)"), "1234.5");
    EXPECT_EQ(evalText(sc, "FormatNumber(\"1000\", 0)"), "1,000");
    EXPECT_EQ(evalText(sc, "FormatNumber(-0.001, 2)"), "0.00");
    EXPECT_EQ(evalText(sc, "FormatCurrency(1234.5)"), "$1,234.50");
    EXPECT_EQ(evalText(sc, "FormatCurrency(-3)"), "-$3.00");
    EXPECT_EQ(evalText(sc, "FormatCurrency(-3, 0, , vbTrue)"), "($3)");
    EXPECT_EQ(evalText(sc, "FormatPercent(0.256)"), "25.60%");
    EXPECT_EQ(evalText(sc, "FormatPercent(1 / 3, 0)"), "33%");
    EXPECT_EQ(evalText(sc, "FormatNumber(\"abc\")"), "error 13: Type mismatch");
}

TEST(LibHost, FormatDateTimeUsesThePlatformForms)
{
    PinnedLocale pin;
    script::ScriptControl sc;
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026 2:07:09 PM#)"), "3/5/2026 2:07:09 PM");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026#)"), "3/5/2026");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026 2:07:09 PM#, vbLongDate)"), "Thursday, March 5, 2026");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026 2:07:09 PM#, vbShortDate)"), "3/5/2026");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026 2:07:09 PM#, vbLongTime)"), "2:07:09 PM");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026 2:07:09 PM#, vbShortTime)"), "14:07");
    EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026#, 5)"), "error 5: Invalid procedure call or argument");
    EXPECT_EQ(evalText(sc, "MonthName(3)"), "March");
}

TEST(LibHost, TheScriptLocaleStartsAsTheProgramsAndEveryDateFormFollowsIt)
{
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        script::ScriptControl sc;
        EXPECT_EQ(evalText(sc, "GetLocale()"), "1031");
        EXPECT_EQ(evalText(sc, "CStr(1.5) & \"|\" & CDbl(\"2,25\")"), "1,5|2,25");
        EXPECT_EQ(evalText(sc, "CStr(#3/5/2026 2:07:09 PM#)"), "05.03.2026 14:07:09");
        EXPECT_EQ(evalText(sc, "FormatDateTime(#3/5/2026#, vbLongDate)"), "Donnerstag, 5. M\u00e4rz 2026");
        EXPECT_EQ(evalText(sc, "FormatNumber(1234.5)"), "1.234,50");
        // A script's choice changes every form at once, and 0 goes back to the program's.
        EXPECT_EQ(evalText(sc, "SetLocale(1033) & \"|\" & FormatDateTime(#3/5/2026 2:07:09 PM#) & \"|\" & FormatDateTime(#3/5/2026#, 1)"),
                  "1031|3/5/2026 2:07:09 PM|Thursday, March 5, 2026");
        EXPECT_EQ(evalText(sc, "SetLocale(1036) & \"|\" & FormatNumber(1234567.5, 1) & \"|\" & FormatDateTime(#3/5/2026 2:07:09 PM#, vbLongTime)"),
                  QString::fromUtf8("1033|1\u00a0234\u00a0567,5|14:07:09"));
        EXPECT_EQ(evalText(sc, "SetLocale(0) & \"|\" & GetLocale()"), "1036|1031");
        // An id without known forms is remembered and keeps the program's forms.
        EXPECT_EQ(evalText(sc, "SetLocale(1081) & \"|\" & GetLocale() & \"|\" & CStr(0.5)"), "1031|1081|0,5");
    }
    // The C and POSIX locales name no language: US English, as on a machine set up that way.
    QLocale::setDefault(QLocale::c());
    {
        script::ScriptControl sc;
        EXPECT_EQ(evalText(sc, "GetLocale() & \"|\" & FormatCurrency(2) & \"|\" & FormatDateTime(#3/5/2026 2:07:09 PM#)"),
                  "1033|$2.00|3/5/2026 2:07:09 PM");
    }
    QLocale::setDefault(old);
}

TEST(LibHost, ClockFunctionsReadTheMovableClock)
{
    platform::ScopedTestClock clock(QDateTime(QDate(2026, 1, 5), QTime(9, 30, 15, 750)));
    script::ScriptControl sc;
    EXPECT_EQ(evalText(sc, "Year(Now) & \"-\" & Month(Now) & \"-\" & Day(Now)"), "2026-1-5");
    EXPECT_EQ(evalText(sc, "Date = DateSerial(2026, 1, 5)"), "True");
    EXPECT_EQ(evalText(sc, "Time = TimeSerial(9, 30, 15)"), "True");
    EXPECT_EQ(evalText(sc, "Now = DateSerial(2026, 1, 5) + TimeSerial(9, 30, 15)"), "True");
    EXPECT_EQ(evalText(sc, "Timer"), "34215.75");
    EXPECT_EQ(evalText(sc, "Weekday(Now)"), "2");
    clock->advance(3600 * 1000);
    EXPECT_EQ(evalText(sc, "Hour(Now)"), "10");
    EXPECT_EQ(evalText(sc, "DateDiff(\"n\", #1/5/2026 9:00:00 AM#, Now)"), "90");
}

TEST(LibHost, DialogsNeedTheUserInterfacePermission)
{
    platform::ScopedRecordingMessages rec;
    script::ScriptControl sc;
    sc.setAllowUI(false);
    Variant r;
    EXPECT_FALSE(sc.Eval("MsgBox(\"hi\")", &r));
    EXPECT_EQ(sc.Error().Number, 70);
    EXPECT_EQ(sc.Error().Description, "Permission denied");
    EXPECT_FALSE(sc.Eval("InputBox(\"name?\")", &r));
    EXPECT_EQ(sc.Error().Number, 70);
    EXPECT_TRUE(rec->shown.isEmpty());

    sc.setAllowUI(true);
    rec->queue(platform::MsgAnswer::Yes);
    rec->queue(platform::MsgAnswer::Cancel);
    rec->queue(platform::MsgAnswer::OK);
    rec->queue(platform::MsgAnswer::Cancel);
    EXPECT_EQ(evalText(sc, "MsgBox(\"Go on?\", vbYesNo + vbQuestion, \"title\")"), "6");
    EXPECT_EQ(evalText(sc, "MsgBox(\"Retry?\", vbOKCancel + vbCritical)"), "2");
    EXPECT_EQ(evalText(sc, "InputBox(\"Name?\", \"t\", \"proposed\")"), "proposed");
    EXPECT_EQ(evalText(sc, "\"[\" & InputBox(\"Name?\", \"t\", \"proposed\") & \"]\""), "[]");
    ASSERT_EQ(rec->shown.size(), 4);
    EXPECT_EQ(rec->shown[0].text, "Go on?");
    EXPECT_EQ(rec->shown[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(rec->shown[0].icon, platform::MsgIcon::Question);
    EXPECT_EQ(rec->shown[1].buttons, platform::MsgButtons::OKCancel);
    EXPECT_EQ(rec->shown[1].icon, platform::MsgIcon::Critical);
    EXPECT_EQ(rec->shown[2].text, "Name?");
}

// A stand-in for the gateway's message in hand: its headers, the folder of the robot, and
// the format function receive scripts use for dates.
class FakeMessage final : public script::Dispatch {
public:
    QString typeName() const override { return QStringLiteral("clsInetGateway"); }
    int memberId(const QString& name, bool) override { return script::lib::memberIndex(name, {"Header", "Base", "XFormat"}); }
    Variant invoke(int id, script::InvokeKind, script::Args a) override
    {
        switch (id) {
        case 1: return Variant::fromString(headers.value(script::toStr(*a[0]).toLower()));
        case 2: return Variant::fromString(base);
        case 3: {
            double oa = script::toDate(script::valueOf(*a[0]));
            return Variant::fromString(platform::Format(platform::FormatValue::fromDate(oa), script::toStr(*a[1])));
        }
        default: script::raiseError(script::errNoMember);
        }
    }
    QHash<QString, QString> headers;
    QString base;

protected:
    void lastRelease() override {}
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void touch(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

const char* kReceiveScript = R"(
Const ForAppending = 8
Dim re, seen
Set re = New RegExp
re.Pattern = "^\s*Order\s+(\d+)\s*$"
re.IgnoreCase = True
seen = 0

Sub Main()
  Dim subj, m, order, ts, csv
  seen = seen + 1
  subj = IM.Header("subject")
  If Not re.Test(subj) Then
    XCommon("skipped") = XCommon("skipped") + 1
    Exit Sub
  End If
  Set m = re.Execute(subj)(0)
  order = m.SubMatches(0)
  csv = BuildPath(IM.Base, "orders.csv")
  Set ts = OpenTextFile(csv, ForAppending, True)
  ts.WriteLine IM.XFormat(Now, "yyyy-mm-dd hh:nn") & ";" & order & ";" & Trim(IM.Header("from")) & ";" & seen
  ts.Close
  If Not XCommon.Exists("orders") Then XCommon.Add "orders", 0
  XCommon("orders") = XCommon("orders") + 1
  MoveFile BuildPath(IM.Base, "in\" & order & "_*.csv"), BuildPath(IM.Base, "done") & "\"
End Sub
)";

TEST(LibHost, ReceiveScriptMatchesWritesCountsAndMoves)
{
    platform::ScopedTestClock clock(QDateTime(QDate(2026, 2, 28), QTime(23, 59, 30)));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path();
    QDir(base).mkdir("in");
    QDir(base).mkdir("done");
    touch(base + "/in/17_a.csv", "a");
    touch(base + "/in/17_b.csv", "b");
    touch(base + "/in/17_c.txt", "c");
    touch(base + "/in/42_a.csv", "d");

    FakeMessage msg;
    msg.base = base;
    script::Ref<script::Dictionary> common(new script::Dictionary());
    script::ScriptControl sc;
    sc.setTimeout(-1);
    sc.setAllowUI(false);
    ASSERT_TRUE(sc.AddObject("IM", &msg, true));
    ASSERT_TRUE(sc.AddObject("FS", script::createRuntimeObject("Scripting.FileSystemObject"), true));
    ASSERT_TRUE(sc.AddObject("XCommon", common.get(), false));
    ASSERT_TRUE(sc.AddCode(QString::fromLatin1(kReceiveScript))) << sc.Error().Description.toStdString();

    const std::pair<const char*, const char*> messages[] = {
        {"order 17", "Shop <shop@example.com> "},
        {"Re: order 17", "someone"},
        {"  ORDER 42 ", "Depot"},
    };
    for (const auto& [subject, from] : messages) {
        msg.headers = {{"subject", subject}, {"from", from}};
        ASSERT_TRUE(sc.Run("Main")) << sc.Error().Number << " line " << sc.Error().Line << ": "
                                    << sc.Error().Description.toStdString();
        clock->advance(60 * 1000);
    }

    EXPECT_EQ(readAll(base + "/orders.csv"),
              "2026-02-28 23:59;17;Shop <shop@example.com>;1\r\n2026-03-01 00:01;42;Depot;3\r\n");
    ASSERT_NE(common->find(Variant::fromString("orders")), nullptr);
    EXPECT_EQ(script::toStr(*common->find(Variant::fromString("orders"))), "2");
    EXPECT_EQ(script::toStr(*common->find(Variant::fromString("skipped"))), "1");
    EXPECT_EQ(QDir(base + "/done").entryList(QDir::Files), QStringList({"17_a.csv", "17_b.csv", "42_a.csv"}));
    EXPECT_EQ(QDir(base + "/in").entryList(QDir::Files), QStringList({"17_c.txt"}));

    // A message whose files are already gone stops the script with "File not found".
    msg.headers = {{"subject", "Order 17"}, {"from", "x"}};
    EXPECT_FALSE(sc.Run("Main"));
    EXPECT_EQ(sc.Error().Number, 53);
    EXPECT_EQ(sc.Error().Description, "File not found");
}

} // namespace
