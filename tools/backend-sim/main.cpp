// backend-sim: the factory back-end stand-in, started by hand for demos.
//   backend-sim [--port N] [--results FILE] [--fault PREFIX=KIND[:ARG]]... [--reply OP=FILE]...
// KIND: noanswer, slow, status, notjson, wrongshape, closeearly, split.
#include "BackendSimulator.h"

#include <QCoreApplication>
#include <QCommandLineParser>
#include <QFile>

#include <cstdio>

namespace {

bool AddFault(BackendSimulator& sim, const QString& rule)
{
    const int eq = rule.indexOf('=');
    if (eq < 0)
        return false;
    const QString prefix = rule.left(eq);
    const QStringList kindArg = rule.mid(eq + 1).split(':');
    const QString kind = kindArg.value(0);
    const int arg = kindArg.value(1).toInt();
    using F = BackendSimulator::Fault;
    F fault;
    if (kind == "noanswer") fault = F::NoAnswer;
    else if (kind == "slow") fault = F::Slow;
    else if (kind == "status") fault = F::HttpStatus;
    else if (kind == "notjson") fault = F::NotJson;
    else if (kind == "wrongshape") fault = F::WrongShape;
    else if (kind == "closeearly") fault = F::CloseEarly;
    else if (kind == "split") fault = F::Split;
    else return false;
    sim.SetFault(prefix.toStdString(), fault, arg);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Factory back-end simulator (listens on 127.0.0.1 only)");
    parser.addHelpOption();
    parser.addOption({"port", "Port to listen on (0: any free port).", "port", "8080"});
    parser.addOption({"results", "File that receives each submitted test-data form as one line.", "file"});
    parser.addOption({"fault", "PREFIX=KIND[:ARG]: misbehave for operations starting with PREFIX.", "rule"});
    parser.addOption({"reply", "OP=FILE: answer operation OP with the body in FILE.", "rule"});
    parser.process(app);

    BackendSimulator sim;
    for (const QString& rule : parser.values("fault")) {
        if (!AddFault(sim, rule)) {
            fprintf(stderr, "backend-sim: bad --fault %s\n", qPrintable(rule));
            return 2;
        }
    }
    for (const QString& rule : parser.values("reply")) {
        const int eq = rule.indexOf('=');
        QFile f(rule.mid(eq + 1));
        if (eq < 0 || !f.open(QIODevice::ReadOnly)) {
            fprintf(stderr, "backend-sim: bad --reply %s\n", qPrintable(rule));
            return 2;
        }
        sim.SetReply(rule.left(eq).toStdString(), f.readAll().toStdString());
    }
    if (!sim.Start(uint16_t(parser.value("port").toUInt()), parser.value("results"))) {
        fprintf(stderr, "backend-sim: cannot listen on 127.0.0.1:%s\n", qPrintable(parser.value("port")));
        return 1;
    }
    printf("backend-sim listening on %s\n", sim.HostText().c_str());
    fflush(stdout);
    return app.exec();
}
