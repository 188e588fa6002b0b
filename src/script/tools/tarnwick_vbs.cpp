// tarnwick-vbs: runs script files' top-level code in one engine, in order, with a WScript
// object, so users can try their scripts outside the robot.
#include "script/Engine.h"
#include "script/ScriptControl.h"
#include "script/WScript.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

void write(FILE* to, const QString& s)
{
    QByteArray b = s.toLatin1();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files;
    QStringList scriptArgs;
    bool allowUI = false;
    QStringList all = app.arguments().mid(1);
    for (int i = 0; i < all.size(); ++i) {
        const QString& a = all[i];
        if (a == QLatin1String("--allow-ui")) allowUI = true;
        else if (a == QLatin1String("--")) { scriptArgs = all.mid(i + 1); break; }
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            write(stdout, QStringLiteral("usage: tarnwick-vbs [--allow-ui] FILE... [-- ARG...]\n"));
            return 0;
        } else files << a;
    }
    if (files.isEmpty()) {
        write(stderr, QStringLiteral("usage: tarnwick-vbs [--allow-ui] FILE... [-- ARG...]\n"));
        return 2;
    }

    script::ScriptControl sc;
    sc.setTimeout(-1);
    sc.setAllowUI(allowUI);
    auto* ws = new script::WScriptObject([](const QString& s) { write(stdout, s); }, [](const QString& s) { write(stderr, s); });
    ws->arguments = scriptArgs;
    sc.AddObject(QStringLiteral("WScript"), static_cast<script::Dispatch*>(ws), false);

    for (const QString& name : files) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly)) {
            write(stderr, QStringLiteral("%1(0): error 53: File not found\n").arg(name));
            return 1;
        }
        ws->scriptName = QFileInfo(name).fileName();
        ws->scriptFullName = QFileInfo(name).absoluteFilePath();
        QString code = QString::fromLatin1(f.readAll());
        try {
            if (!sc.AddCode(code)) {
                const script::ScriptErrorInfo& e = sc.Error();
                write(stderr, QStringLiteral("%1(%2): error %3: %4\n").arg(name).arg(e.Line).arg(e.Number).arg(e.Description));
                return 1;
            }
        } catch (const script::ScriptQuit& q) {
            return q.code;
        }
    }
    return 0;
}
