// The demo fitting program as Zelk runs it: a separate process started in
// the task folder with its own name as argument 0 and nothing else.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CurveFile.h"
#include "Model.h"
#include "Text.h"
#include "plot/PlotState.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace zelk::fit {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (auto line : SplitLines(text)) {
        lines.emplace_back(line);
    }
    return lines;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts `program` in `folder` with `args` as its whole argument vector, as
// Zelk's launcher does (no shell), and waits for it.
Outcome Start(const std::string& program, const std::vector<std::string>& args,
              const fs::path& folder, const fs::path& logs) {
    const std::string outPath = (logs / "out.txt").string();
    const std::string errPath = (logs / "err.txt").string();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0 || !freopen(outPath.c_str(), "w", stdout) ||
            !freopen(errPath.c_str(), "w", stderr)) {
            _exit(127);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Outcome run;
    int raw = 0;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) {
        run.status = WEXITSTATUS(raw);
    }
    run.out = Read(outPath);
    run.err = Read(errPath);
    return run;
}

class FitProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zelk fit test XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        logs_ = root_ / "logs";
        demo_ = root_ / "demo task with blanks";
        fs::create_directories(logs_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // make-demo, then the program START_A.INP names, run like Zelk runs it.
    Outcome MakeDemoAndFit() {
        const Outcome make =
            Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--make-demo", demo_.string()}, root_, logs_);
        EXPECT_EQ(make.status, 0) << make.err;
        const std::string program = Lines(Read(demo_ / "START_A.INP")).at(10);
        return Start(program, {program}, demo_, logs_);
    }

    fs::path root_;
    fs::path logs_;
    fs::path demo_;
};

TEST_F(FitProgram, DemoFolderWithBlanksRunsEndToEnd) {
    const Outcome make =
        Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--make-demo", demo_.string()}, root_, logs_);
    ASSERT_EQ(make.status, 0) << make.err;
    const std::vector<std::string> task = Lines(Read(demo_ / "START_A.INP"));
    ASSERT_GE(task.size(), 15u);
    EXPECT_EQ(fs::canonical(task[10]), fs::canonical(ZELK_FIT_PROGRAM));
    for (const char* name : {"FIT.INP", "Angle.inp", "Energy.inp"}) {
        EXPECT_TRUE(fs::exists(demo_ / name)) << name;
    }
    // The axis file holds nine values; the markers lie inside its x range.
    const std::vector<std::string> axis = Lines(Read(demo_ / task[14]));
    ASSERT_EQ(axis.size(), 9u);
    const double xMin = std::stod(axis[0]);
    const double xMax = std::stod(axis[1]);
    std::istringstream markers(task[8]);
    double m1 = 0;
    double m2 = 0;
    markers >> m1 >> m2;
    EXPECT_TRUE(xMin < m1 && m1 < m2 && m2 < xMax);
    EXPECT_EQ(task[5].substr(0, 1), "1");

    const Outcome fit = Start(task[10], {task[10]}, demo_, logs_);
    ASSERT_EQ(fit.status, 0) << fit.err;
    EXPECT_EQ(fit.err, "");

    // The result file: "N M" and titles, then the experimental grid.
    const std::string result = Read(demo_ / task[12]);
    const std::string header = result.substr(0, result.find('\n'));
    EXPECT_EQ(header, "401 3 x sampleA sampleB sampleC");
    const CurveData measured = ParseCurveFile(Read(demo_ / task[7]), "exp");
    const CurveData fitted =
        ParseCurveFile("401 3\n" + result.substr(result.find('\n') + 1), "res");
    EXPECT_EQ(fitted.x, measured.x);

    // EPS.res: reduced chi-square, near 1 since the demo's sigma is its noise.
    const std::string epsText = Read(demo_ / "EPS.res");
    const auto epsWords = SplitWords(epsText, false);
    ASSERT_FALSE(epsWords.empty());
    const auto eps = ParseNumber(epsWords[0]);
    ASSERT_TRUE(eps.has_value());
    EXPECT_GT(*eps, 0.8);
    EXPECT_LT(*eps, 1.2);

    // newmod.res is a model file for the same task.
    const Model fittedModel = ParseModel(Read(demo_ / "newmod.res"), "newmod.res");
    EXPECT_EQ(fittedModel.curves.size(), 3u);
    EXPECT_FALSE(fs::exists(demo_ / "newmod.res.part"));
}

// What the demo and a fit leave behind is what Zelk's own readers take.
TEST_F(FitProgram, ZelksReadersTakeEveryFileOfTheDemoAndTheFit) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    const std::string epsText = Read(demo_ / "EPS.res");
    const double eps = *ParseNumber(SplitWords(epsText, false).at(0));

    const zelk::testing::ScopedCurrentDir inDemo(demo_);
    auto state = std::make_unique<zelk::PlotState>();
    zelk::testing::RecordingHost host;
    state->fitRunCount = 1;
    zelk::ReadTaskFile(*state, host);
    zelk::ReadAxisFile(*state, host);
    zelk::ReadCurveFiles(*state, host);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(fs::canonical(state->fitProgram), fs::canonical(ZELK_FIT_PROGRAM));
    EXPECT_EQ(state->experimentFlag, 1);
    EXPECT_TRUE(state->xMin < state->markerX1 && state->markerX2 < state->xMax);
    EXPECT_EQ(state->scaleType, 1);
    EXPECT_GT(state->stackOffset, 0.0f);
    for (const zelk::CurveSet* set : {&state->experimental, &state->result}) {
        EXPECT_EQ(set->pointCount, 401);
        EXPECT_EQ(set->curveCount, 3);
        EXPECT_EQ(set->x[400], 100.0f);
    }
    // Scaled by the stacking factor and stacked with the axis file's offset,
    // no curve reaches into its neighbour's band or out of the plot.
    for (const zelk::CurveSet* set : {&state->experimental, &state->result}) {
        for (int c = 0; c < 3; ++c) {
            for (int p = 0; p < 401; ++p) {
                const float v =
                    set->y[static_cast<std::size_t>(p * zelk::MAX_CURVES + c)] * state->stackFactor;
                EXPECT_GT(v, state->yMin);
                EXPECT_LT(v, state->stackOffset);
            }
        }
    }
    EXPECT_LE(3 * state->stackOffset, state->yMax);
    EXPECT_FLOAT_EQ(state->eps, static_cast<float>(eps));
}

TEST_F(FitProgram, NewModelAsModelContinuesFromTheFit) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    const std::string eps1 = Read(demo_ / "EPS.res");
    const std::string newmod = Read(demo_ / "newmod.res");
    fs::copy_file(demo_ / "newmod.res", demo_ / "demo.mod", fs::copy_options::overwrite_existing);
    const std::string program = Lines(Read(demo_ / "START_A.INP")).at(10);
    ASSERT_EQ(Start(program, {program}, demo_, logs_).status, 0);
    const auto first = ParseNumber(SplitWords(eps1, false).at(0));
    const auto second = ParseNumber(SplitWords(Read(demo_ / "EPS.res"), false).at(0));
    ASSERT_TRUE(first && second);
    EXPECT_NEAR(*second, *first, 1e-8 * *first);
    Model a = ParseModel(newmod, "a");
    Model b = ParseModel(Read(demo_ / "newmod.res"), "b");
    for (std::size_t c = 0; c < a.curves.size(); ++c) {
        const auto pa = Parameters(a.curves[c]);
        const auto pb = Parameters(b.curves[c]);
        for (std::size_t k = 0; k < pa.size(); ++k) {
            EXPECT_NEAR(pb[k]->value, pa[k]->value, 1e-6 * std::max(1.0, std::abs(pa[k]->value)));
        }
    }
}

TEST_F(FitProgram, ZelksPlaceholderFitInputFitsLikeTheDemosOwn) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    const std::string result = Read(demo_ / "demo.res");
    std::string placeholder;
    for (int i = 0; i < 10; ++i) {
        placeholder += " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000 \n";
    }
    Write(demo_ / "FIT.INP", placeholder);
    const std::string program = Lines(Read(demo_ / "START_A.INP")).at(10);
    const Outcome run = Start(program, {program}, demo_, logs_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(demo_ / "demo.res"), result);
}

TEST_F(FitProgram, WithoutExperimentFlagTheModelIsOnlyEvaluated) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    std::vector<std::string> task = Lines(Read(demo_ / "START_A.INP"));
    task[5] = "0   no experimental curves";
    std::string text;
    for (const std::string& line : task) {
        text += line + "\n";
    }
    Write(demo_ / "START_A.INP", text);
    const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("not fitted"), std::string::npos) << run.err;
    Model start = ParseModel(Read(demo_ / "demo.mod"), "demo.mod");
    Model written = ParseModel(Read(demo_ / "newmod.res"), "newmod.res");
    const std::string result = Read(demo_ / "demo.res");
    const CurveData curves =
        ParseCurveFile("401 3\n" + result.substr(result.find('\n') + 1), "res");
    for (std::size_t c = 0; c < 3; ++c) {
        const auto a = Parameters(start.curves[c]);
        const auto b = Parameters(written.curves[c]);
        for (std::size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k]->value, b[k]->value);
        }
        EXPECT_NEAR(curves.y[c][100], Evaluate(start.curves[c], curves.x[100]), 1e-6);
    }
}

TEST_F(FitProgram, AFitThatRunsOutOfEvaluationsWritesItsFilesAndSaysSo) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    Write(demo_ / "demo.opt", "max-evaluations 2\nsigma 3\n");
    fs::remove(demo_ / "demo.res");
    const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("did not converge"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(demo_ / "demo.res"));
}

TEST_F(FitProgram, BadInputIsReportedAndWritesNothing) {
    struct Case {
        const char* file;     // replaced in the demo folder
        const char* content;  // nullptr: removed
        const char* message;  // part of stderr
    };
    const Case cases[] = {
        {"START_A.INP", nullptr, "cannot open the task file \"START_A.INP\""},
        {"START_A.INP", "1\n2\n3\n", "START_A.INP ends before line 4"},
        {"FIT.INP", nullptr, "cannot open the fit input file \"FIT.INP\""},
        {"FIT.INP", " 0 1\n", "FIT.INP:1: an option record holds nine numbers"},
        {"demo.mod", nullptr, "cannot open the model file \"demo.mod\""},
        {"demo.mod", "curve\ngauss 1 v\n", "demo.mod:2:"},
        {"demo.mod", "curve a\ncurve b\n", "describes 2 curves"},
        {"demo.dat", "2 3 titles\n", "demo.dat:1: text after the two counts"},
        {"demo.dat", "\x01\xff\xfe garbage", "demo.dat:1:"},
        {"demo.opt", "sigma -1\n", "demo.opt:1: sigma must be above 0"},
    };
    for (const Case& c : cases) {
        fs::remove_all(demo_);
        ASSERT_EQ(MakeDemoAndFit().status, 0);
        for (const char* name : {"demo.res", "EPS.res", "newmod.res"}) {
            fs::remove(demo_ / name);
        }
        if (c.content) {
            Write(demo_ / c.file, c.content);
        } else {
            fs::remove(demo_ / c.file);
        }
        const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
        EXPECT_EQ(run.status, 2) << c.file;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.file << ": " << run.err;
        for (const char* name : {"demo.res", "EPS.res", "newmod.res"}) {
            EXPECT_FALSE(fs::exists(demo_ / name)) << c.file << " left " << name;
        }
    }
}

// Replaces line `index` (0-based) of the demo's START_A.INP.
void SetTaskLine(const fs::path& demo, std::size_t index, const std::string& value) {
    std::vector<std::string> task = Lines(Read(demo / "START_A.INP"));
    task.at(index) = value;
    std::string text;
    for (const std::string& line : task) {
        text += line + "\n";
    }
    Write(demo / "START_A.INP", text);
}

// Every file of the folder with its bytes (links by their target's name).
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            files[name] = Read(entry.path());
        } else {
            files[name] = "<folder>";
        }
    }
    return files;
}

TEST_F(FitProgram, AnOutputThatIsAnInputIsRefusedAndNothingIsWritten) {
    struct Case {
        std::size_t line;   // START_A.INP line changed (0-based)
        std::string value;  // its new text
        const char* link;   // when set: a link of this name to demo.mod is made first
    };
    const Case cases[] = {
        {12, "demo.dat", nullptr},      {12, "START_A.INP", nullptr},
        {12, "demo.mod", nullptr},      {12, "demo.opt", nullptr},
        {12, "FIT.INP", nullptr},       {12, "./sub/../demo.mod", nullptr},
        {12, "alias.res", "alias.res"}, {12, "EPS.res", nullptr},
        {12, "newmod.res", nullptr},    {4, "newmod.res", nullptr},
        {2, "EPS.res", nullptr},        {7, "EPS.res", nullptr},
    };
    for (const Case& c : cases) {
        fs::remove_all(demo_);
        ASSERT_EQ(MakeDemoAndFit().status, 0);
        fs::create_directory(demo_ / "sub");
        // The inputs a case points at must exist with their own content.
        fs::copy_file(demo_ / "demo.mod", demo_ / "newmod.res",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(demo_ / "demo.opt", demo_ / "EPS.res", fs::copy_options::overwrite_existing);
        if (c.line == 7) {
            fs::copy_file(demo_ / "demo.dat", demo_ / "EPS.res",
                          fs::copy_options::overwrite_existing);
        }
        if (c.link) {
            fs::create_symlink("demo.mod", demo_ / c.link);
        }
        SetTaskLine(demo_, c.line, c.value);
        const auto before = Snapshot(demo_);
        const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
        EXPECT_EQ(run.status, 2) << c.value;
        EXPECT_NE(run.err.find("nothing is written"), std::string::npos)
            << c.value << ": " << run.err;
        EXPECT_EQ(Snapshot(demo_), before) << "line " << c.line + 1 << " = " << c.value;
    }
}

TEST_F(FitProgram, ALinkPlantedInTheFolderIsNeverWrittenThrough) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    const fs::path victim = root_ / "victim.txt";
    Write(victim, "keep me\n");
    // Links under the names of the old temporary files and in place of the
    // outputs themselves.
    for (const char* name : {"demo.res.part", "EPS.res.part", "newmod.res.part", "demo.res",
                             "EPS.res", "newmod.res"}) {
        fs::remove(demo_ / name);
        fs::create_symlink(victim, demo_ / name);
    }
    const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(victim), "keep me\n");
    for (const char* name : {"demo.res.part", "EPS.res.part", "newmod.res.part"}) {
        EXPECT_TRUE(fs::is_symlink(demo_ / name)) << name;
    }
    // The outputs are plain files now, the links replaced and not followed.
    for (const char* name : {"demo.res", "EPS.res", "newmod.res"}) {
        EXPECT_FALSE(fs::is_symlink(demo_ / name)) << name;
        EXPECT_NE(Read(demo_ / name), "keep me\n") << name;
    }
}

TEST_F(FitProgram, AResultThatCannotBeWrittenLeavesTheOtherOutputsAlone) {
    ASSERT_EQ(MakeDemoAndFit().status, 0);
    Write(demo_ / "EPS.res", "old eps\n");
    Write(demo_ / "newmod.res", "old model\n");
    // A folder that does not exist; root may write anywhere else.
    SetTaskLine(demo_, 12, "no such folder/demo.res");
    const auto before = Snapshot(demo_);
    const Outcome run = Start(ZELK_FIT_PROGRAM, {"zelk-fit"}, demo_, logs_);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no such folder/demo.res"), std::string::npos) << run.err;
    // Same files, same bytes, and no temporary file left behind.
    EXPECT_EQ(Snapshot(demo_), before);
}

TEST_F(FitProgram, CommandLineOptions) {
    EXPECT_EQ(Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--help"}, root_, logs_).status, 0);
    const Outcome version = Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--version"}, root_, logs_);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zelk-fit ", 0), 0u);
    const Outcome unknown = Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--frobnicate"}, root_, logs_);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("Usage"), std::string::npos);
    // A file where the demo folder should be.
    Write(root_ / "plain", "x");
    EXPECT_EQ(Start(ZELK_FIT_PROGRAM, {"zelk-fit", "--make-demo", (root_ / "plain").string()},
                    root_, logs_)
                  .status,
              2);
}

}  // namespace
}  // namespace zelk::fit
