// Runs every .vbs file under tests/script/vbs as its own test case. A file states what it
// expects inline: "' expect: TEXT" for each line it prints, in order, and at most one
// "' expect error NUMBER [line LINE]" for the error the run must end with.
#include "script/ScriptControl.h"
#include "script/WScript.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString testDir()
{
    QByteArray src = qgetenv("TW_SOURCE_DIR");
    if (!src.isEmpty())
        return QString::fromLocal8Bit(src) + QStringLiteral("/tests/script/vbs");
    return QStringLiteral(TW_SCRIPT_TEST_DIR);
}

std::vector<std::string> vbsFiles()
{
    std::vector<std::string> out;
    QDir root(testDir());
    QDirIterator it(root.path(), {QStringLiteral("*.vbs")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out.push_back(root.relativeFilePath(it.next()).toStdString());
    std::sort(out.begin(), out.end());
    return out;
}

class VbsFile : public ::testing::TestWithParam<std::string> {};

TEST_P(VbsFile, RunsAsExpected)
{
    QFile file(testDir() + QLatin1Char('/') + QString::fromStdString(GetParam()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString code = QString::fromLatin1(file.readAll());

    QStringList expected;
    int expectNumber = 0, expectLine = 0;
    static const QRegularExpression outRe(QStringLiteral("'\\s*expect:\\s?(.*)$"));
    static const QRegularExpression errRe(QStringLiteral("'\\s*expect error (-?\\d+)(?: line (\\d+))?"));
    for (const QString& line : code.split(QLatin1Char('\n'))) {
        QString l = line;
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
        auto m = errRe.match(l);
        if (m.hasMatch()) {
            expectNumber = m.captured(1).toInt();
            expectLine = m.captured(2).toInt();
            continue;
        }
        m = outRe.match(l);
        if (m.hasMatch())
            expected << m.captured(1);
    }

    QString printed;
    script::ScriptControl sc;
    sc.setTimeout(-1);
    auto* ws = new script::WScriptObject([&](const QString& s) { printed += s; }, [&](const QString& s) { printed += s; });
    ASSERT_TRUE(sc.AddObject(QStringLiteral("WScript"), ws, false));
    bool ok = sc.AddCode(code);

    QStringList lines = printed.split(QLatin1Char('\n'));
    if (!printed.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (printed.isEmpty())
        lines.clear();
    EXPECT_EQ(expected.join(QLatin1Char('\n')).toStdString(), lines.join(QLatin1Char('\n')).toStdString());
    if (expectNumber) {
        EXPECT_FALSE(ok) << "expected error " << expectNumber;
        EXPECT_EQ(expectNumber, sc.Error().Number) << sc.Error().Description.toStdString();
        if (expectLine) {
            EXPECT_EQ(expectLine, sc.Error().Line) << sc.Error().Description.toStdString();
        }
    } else {
        EXPECT_TRUE(ok) << "error " << sc.Error().Number << " line " << sc.Error().Line << ": "
                        << sc.Error().Description.toStdString();
    }
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string s = info.param;
    if (s.size() > 4) s.resize(s.size() - 4);
    for (char& c : s)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return s;
}

INSTANTIATE_TEST_SUITE_P(Vbs, VbsFile, ::testing::ValuesIn(vbsFiles()), caseName);

} // namespace
