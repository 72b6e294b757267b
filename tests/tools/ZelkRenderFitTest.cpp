// zelk-render's headless fit runs with scripted fitting programs: the exit
// statuses, the program's output on standard error, the time limit, and
// zelk-render itself ended by a signal or killed in the middle of a run.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/QtTestApp.h"

namespace {

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new zelk::testing::QtTestApp);

const std::string kUserInput = "7 7 7 the user's own fit input\n";

std::string PlaceholderText() {
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000 \n";
    }
    return text;
}

struct Outcome {
    int status = -1;  // -1: ended by a signal
    std::string out;
    std::string err;
};

// True once the process is gone (reaped, or a zombie nobody waits for).
bool ProcessGone(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text)) {
            return true;
        }
        const std::size_t close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ZelkRenderFit : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Write("START_A.INP",
              "Zelk fit-run test\noptions:\nopt.inp\nmodel:\nmodel.inp\n1 experiment\n"
              "experimental curves:\nexp.dat\n2.5  7.5  markers\nfitting program:\nfit.sh\n"
              "result curves:\nres.dat\naxis file:\naxis.inp\n");
        Write("axis.inp", "0\n10\n2\n0\n3\n1\n1\n1\n1\n");
        Write("exp.dat", "3 1\n0 0.5\n5 1\n10 0.5\n");
        Write("model.inp", "model\n");
        Write("opt.inp", "options\n");
        Write("FIT.INP", kUserInput);
    }

    void Write(const std::string& name, const std::string& text) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

    std::string Read(const std::string& name) const {
        QFile file(Path(name));
        if (!file.open(QIODevice::ReadOnly)) {
            return "<missing>";
        }
        return file.readAll().toStdString();
    }

    bool Exists(const std::string& name) const { return QFile::exists(Path(name)); }

    // The fitting program: a shell script run in the task folder.
    void Fitter(const std::string& body) {
        Write("fit.sh", "#!/bin/sh\n" + body);
        ::chmod(Path("fit.sh").toLocal8Bit().constData(), 0755);
    }

    QString Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name));
    }

    QStringList Args(QStringList args) const {
        args.prepend(dir_.path());
        args.prepend(QStringLiteral("--dir"));
        return args;
    }

    Outcome Run(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral(ZELK_RENDER_PATH), Args(args));
        process.waitForFinished(60000);
        return Finish(process);
    }

    static Outcome Finish(QProcess& process) {
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    // Waits until the fitting program has noted its pid in the task folder.
    pid_t WaitForFitter() {
        for (int i = 0; i < 3000; ++i) {
            const std::string text = Read("fitter.pid");
            if (text.find('\n') != std::string::npos) {
                return static_cast<pid_t>(std::stol(text));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    QTemporaryDir dir_;
};

const QStringList kOpsOut = {QStringLiteral("--ops"), QStringLiteral("-")};

TEST_F(ZelkRenderFit, PlaceholderRunDrawsTheFitAndRestoresTheInput) {
    Fitter(
        "cat FIT.INP > seen.inp\necho 'fitting...'\nprintf '10%%\\r50%%\\r100%%\\n' >&2\n"
        "printf '3 1  x y\\n0 0.4\\n5 0.9\\n10 0.4\\n' > res.dat\necho 0.1234567 > EPS.res\n");
    const Outcome run = Run(QStringList{QStringLiteral("--run-fit")} + kOpsOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read("seen.inp"), PlaceholderText());
    EXPECT_EQ(Read("FIT.INP"), kUserInput);
    // The program's output reaches standard error byte for byte.
    EXPECT_NE(run.err.find("fitting...\n10%\r50%\r100%\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the fitting program ended with exit status 0"), std::string::npos);
    EXPECT_NE(run.out.find(" EPS =   0.1234567"), std::string::npos);
}

TEST_F(ZelkRenderFit, RunOnTheInputAsItStands) {
    Fitter("cat FIT.INP > seen.inp\nprintf '3 1\\n0 0.4\\n5 0.9\\n10 0.4\\n' > res.dat\n");
    const Outcome run = Run(QStringList{QStringLiteral("--run-fit-as-is")} + kOpsOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read("seen.inp"), kUserInput);
    EXPECT_FALSE(Exists("BUFF.RES"));
}

TEST_F(ZelkRenderFit, RunWithoutResultEndsWithStatusThree) {
    struct Case {
        const char* what;
        std::string script;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"exits 3", "echo 'model.inp:7: the height \"abc\" is not a number' >&2\nexit 3\n",
         "the fitting program ended with exit status 3"},
        {"crashes", "kill -SEGV $$\n", "the fitting program ended by signal 11"},
        {"writes nothing", "exit 0\n", "CAN NOT FIND fileRES\nres.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("res.dat", "3 1\n0 1\n5 1\n10 1\n");  // an earlier run's result
        Fitter(c.script);
        const Outcome run = Run(QStringList{QStringLiteral("--run-fit")} + kOpsOut);
        EXPECT_EQ(run.status, 3) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(Read("FIT.INP"), kUserInput);
        // Still drawn, without a fit from before the run.
        EXPECT_NE(run.out.find("fill"), std::string::npos);
        EXPECT_EQ(run.out.find(" EPS ="), std::string::npos);
    }
}

TEST_F(ZelkRenderFit, TimeLimitStopsTheProgramAndWhatItStarted) {
    Fitter(
        "sleep 1000 &\necho $! > child.pid\necho $$ > fitter.pid\n"
        "while :; do sleep 0.05; done\n");
    const Outcome run = Run({QStringLiteral("--run-fit"), QStringLiteral("--fit-timeout"),
                             QStringLiteral("0.5"), QStringLiteral("--ops"), Path("ops.txt")});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("the fitting program stopped"), std::string::npos) << run.err;
    EXPECT_EQ(Read("FIT.INP"), kUserInput);
    EXPECT_TRUE(ProcessGone(static_cast<pid_t>(std::stol(Read("fitter.pid")))));
    EXPECT_TRUE(ProcessGone(static_cast<pid_t>(std::stol(Read("child.pid")))));
}

TEST_F(ZelkRenderFit, SignalsDuringARunStopTheProgramAndRestoreTheInput) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QFile::remove(Path("fitter.pid"));
        // Once a program that ignores SIGTERM: only the kill after the
        // grace ends it.
        Fitter(std::string(signal == SIGTERM ? "trap '' TERM\n" : "") +
               "echo $$ > fitter.pid\nwhile :; do sleep 0.05; done\n");
        QProcess process;
        process.start(
            QStringLiteral(ZELK_RENDER_PATH),
            Args({QStringLiteral("--run-fit"), QStringLiteral("--ops"), Path("ops.txt")}));
        ASSERT_TRUE(process.waitForStarted());
        const pid_t fitter = WaitForFitter();
        ASSERT_GT(fitter, 0);
        EXPECT_EQ(Read("FIT.INP"), PlaceholderText());
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(30000));
        // Ends by the signal it was sent, as it would without a run.
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(Read("FIT.INP"), kUserInput);
        EXPECT_TRUE(ProcessGone(fitter));
    }
}

TEST_F(ZelkRenderFit, KilledDuringARunTheNextRunPutsTheInputBack) {
    Fitter("echo $$ > fitter.pid\nwhile :; do sleep 0.05; done\n");
    QProcess process;
    process.start(QStringLiteral(ZELK_RENDER_PATH),
                  Args({QStringLiteral("--run-fit"), QStringLiteral("--ops"), Path("ops.txt")}));
    ASSERT_TRUE(process.waitForStarted());
    const pid_t fitter = WaitForFitter();
    ASSERT_GT(fitter, 0);
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(30000));
    // Nothing could restore anything: the placeholder stands in FIT.INP and
    // the user's input is in BUFF.RES. The orphaned program is ended here.
    ::kill(fitter, SIGKILL);
    EXPECT_TRUE(ProcessGone(fitter));
    ASSERT_EQ(Read("FIT.INP"), PlaceholderText());
    ASSERT_EQ(Read("BUFF.RES"), kUserInput);

    Fitter("cat FIT.INP > seen.inp\nprintf '3 1\\n0 0.4\\n5 0.9\\n10 0.4\\n' > res.dat\n");
    const Outcome next =
        Run({QStringLiteral("--run-fit"), QStringLiteral("--ops"), Path("ops.txt")});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.err.find("FIT.INP RESTORED FROM BUFF.RES"), std::string::npos) << next.err;
    EXPECT_EQ(Read("seen.inp"), PlaceholderText());
    EXPECT_EQ(Read("FIT.INP"), kUserInput);
    EXPECT_EQ(Read("BUFF.RES"), kUserInput);
}

TEST_F(ZelkRenderFit, SecondRunInTheSameFolderIsTurnedAway) {
    Fitter(
        "echo $$ > fitter.pid\nwhile [ ! -e go ]; do sleep 0.05; done\n"
        "printf '3 1\\n0 0.4\\n5 0.9\\n10 0.4\\n' > res.dat\n");
    QProcess first;
    first.start(QStringLiteral(ZELK_RENDER_PATH),
                Args({QStringLiteral("--run-fit"), QStringLiteral("--ops"), Path("ops.txt")}));
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_GT(WaitForFitter(), 0);
    const Outcome second =
        Run({QStringLiteral("--run-fit"), QStringLiteral("--ops"), Path("ops.txt")});
    EXPECT_EQ(second.status, 3);
    EXPECT_NE(second.err.find("A fit is already running in this folder"), std::string::npos)
        << second.err;
    // The second one neither took the first one's placeholder for an
    // interrupted run nor touched FIT.INP.
    EXPECT_EQ(second.err.find("RESTORED"), std::string::npos);
    EXPECT_EQ(Read("FIT.INP"), PlaceholderText());
    Write("go", "");
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(Finish(first).status, 0);
    EXPECT_EQ(Read("FIT.INP"), kUserInput);
}

TEST_F(ZelkRenderFit, UsageErrors) {
    const std::vector<QStringList> cases = {
        {QStringLiteral("--run-fit"), QStringLiteral("--run-fit-as-is")},
        {QStringLiteral("--run-fit"), QStringLiteral("--fit-runs"), QStringLiteral("1")},
        {QStringLiteral("--fit-timeout"), QStringLiteral("5")},
        {QStringLiteral("--run-fit"), QStringLiteral("--fit-timeout"), QStringLiteral("0")},
        {QStringLiteral("--run-fit"), QStringLiteral("--fit-timeout"), QStringLiteral("soon")},
    };
    Fitter("echo ran > ran.txt\n");
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const Outcome run = Run(args + kOpsOut);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_FALSE(Exists("ran.txt"));
    }
}

}  // namespace
