// Times each benchmark program of this folder inside one engine per run.
#include "script/ScriptControl.h"
#include "script/WScript.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

namespace {

void runScript(benchmark::State& state, const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("cannot read the program");
        return;
    }
    QString code = QString::fromLatin1(f.readAll());
    for (auto _ : state) {
        script::ScriptControl sc;
        sc.setTimeout(-1);
        sc.AddObject(QStringLiteral("WScript"), new script::WScriptObject([](const QString&) {}, [](const QString&) {}), false);
        if (!sc.AddCode(code)) {
            state.SkipWithError(sc.Error().Description.toStdString().c_str());
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDir dir(QStringLiteral(TW_BENCH_SCRIPT_DIR));
    for (const QString& name : dir.entryList({QStringLiteral("*.vbs")}, QDir::Files, QDir::Name)) {
        QString path = dir.filePath(name);
        benchmark::RegisterBenchmark(name.toStdString().c_str(), [path](benchmark::State& s) { runScript(s, path); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
