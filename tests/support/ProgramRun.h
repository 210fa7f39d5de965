#pragma once
// Runs a program to its end, as a user's shell would, and keeps what it said.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vex::test {

struct ProgramRun {
    int Status = -1; // the exit status; -1 when it crashed or did not finish
    QByteArray Out;
    QByteArray Err;
};

inline ProgramRun runProgram(const QString &program, const QStringList &args, const QString &workingFolder,
                             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProgramRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run.Status = process.exitCode();
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    if (process.error() != QProcess::UnknownError)
        run.Err += process.errorString().toUtf8();
    return run;
}

} // namespace vex::test
