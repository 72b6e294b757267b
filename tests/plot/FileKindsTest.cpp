// What the readers do with names that are no readable text file: a folder, a
// named pipe, a device, a file without read permission, UTF-16 or binary
// data. Each is said for what it is, never as "absent", never waited on, and
// leaves what it would have replaced as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plot/Readers.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

using testing::RecordingHost;
using testing::TempWorkDir;
using Messages = std::vector<std::string>;

enum class Kind { Folder, Fifo, Device, Utf16Bom, Utf16, Binary };

struct KindCase {
    const char* name;
    Kind kind;
    const char* what;    // after "<role> - "
    const char* detail;  // after the file's name
};

const KindCase kKinds[] = {
    {"folder", Kind::Folder, "not a file !!!", " is a folder, not a file"},
    {"named pipe", Kind::Fifo, "not a file !!!", " is a named pipe (FIFO), not a file"},
    {"device", Kind::Device, "not a file !!!", " is a device, not a file"},
    {"UTF-16 with BOM", Kind::Utf16Bom, "not a text file !!!",
     ": UTF-16 text; save it as UTF-8 or plain ASCII"},
    {"UTF-16 without BOM", Kind::Utf16, "not a text file !!!",
     ": UTF-16 text; save it as UTF-8 or plain ASCII"},
    {"binary", Kind::Binary, "not a text file !!!",
     ": binary data, not text (it holds zero bytes)"},
};

std::string Utf16(const std::string& text, bool bom) {
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

// Makes name in dir the kind of thing asked for.
bool Make(const testing::TempDir& dir, const std::string& name, Kind kind,
          const std::string& text) {
    const std::filesystem::path path = dir.Path() / name;
    switch (kind) {
        case Kind::Folder:
            return std::filesystem::create_directory(path);
        case Kind::Fifo:
            return ::mkfifo(path.c_str(), 0644) == 0;
        case Kind::Device:
            std::filesystem::create_symlink("/dev/zero", path);
            return true;
        case Kind::Utf16Bom:
            dir.Write(name, Utf16(text, true));
            return true;
        case Kind::Utf16:
            dir.Write(name, Utf16(text, false));
            return true;
        case Kind::Binary:
            dir.Write(name, std::string("\x7F"
                                        "ELF\x02\x01\x01\0\0\0",
                                        10) +
                                text);
            return true;
    }
    return false;
}

class FileKindsTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(FileKindsTest, CurveFilesAndEpsSayWhatTheNameIs) {
    const KindCase& c = GetParam();
    const struct {
        const char* role;
        const char* name;
    } files[] = {{"fileE1", "exp.dat"}, {"fileRES", "res.dat"}, {"EPS.res", "EPS.res"}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        TempWorkDir dir;
        dir.Write("exp.dat", "2 1\n1 1\n2 2\n");
        dir.Write("res.dat", "2 1\n1 1\n2 2\n");
        dir.Write("EPS.res", "0.5\n");
        std::filesystem::remove(dir.Path() / f.name);
        ASSERT_TRUE(Make(dir, f.name, c.kind, "2 1\n1 1\n2 2\n"));
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        s->experimental.pointCount = 7;
        s->result.pointCount = 8;
        s->eps = -1.0f;
        RecordingHost host;
        const ReadReport report = ReadCurveFiles(*s, host);
        EXPECT_FALSE(report.complete);
        EXPECT_EQ(host.messages,
                  Messages{std::string(f.role) + " - " + c.what + "\n" + f.name + c.detail});
        // The others are read; the one refused keeps what it had.
        EXPECT_EQ(s->experimental.pointCount, std::string(f.name) == "exp.dat" ? 7 : 2);
        EXPECT_EQ(s->result.pointCount, std::string(f.name) == "res.dat" ? 8 : 2);
        EXPECT_EQ(s->eps, std::string(f.name) == "EPS.res" ? -1.0f : 0.5f);
        EXPECT_FALSE(s->curFile.IsOpen());
    }
}

TEST_P(FileKindsTest, TaskAndAxisFilesSayWhatTheNameIsAndKeepTheTask) {
    const KindCase& c = GetParam();
    {
        TempWorkDir dir;
        ASSERT_TRUE(Make(dir, "START_A.INP", c.kind, std::string(15 * 2, 'x')));
        auto s = std::make_unique<PlotState>();
        s->resFile = "old.dat";
        RecordingHost host;
        ReadTaskFile(*s, host);
        EXPECT_EQ(host.messages,
                  Messages{std::string("START_A.INP - ") + c.what + "\nSTART_A.INP" + c.detail});
        EXPECT_EQ(host.fatals, 0);
        EXPECT_EQ(s->resFile, "old.dat");
    }
    {
        TempWorkDir dir;
        ASSERT_TRUE(Make(dir, "demo.axis", c.kind, "0\n1\n1\n0\n1\n1\n1\n1\n0\n"));
        auto s = std::make_unique<PlotState>();
        s->axisFile = "demo.axis";
        s->xMax = 42.0f;
        RecordingHost host;
        ReadAxisFile(*s, host);
        EXPECT_EQ(host.messages,
                  Messages{std::string("fileAXIS - ") + c.what + "\ndemo.axis" + c.detail});
        EXPECT_EQ(host.fatals, 0);
        EXPECT_EQ(s->xMax, 42.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileKindsTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<KindCase>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

// A file that exists but may not be read is said to be so, never "absent".
// Root reads every file: the reads then run in a child process that has
// given up root for the user nobody.
TEST(FileKinds, AFileWithoutReadPermissionIsSaidSo) {
    TempWorkDir dir;
    for (const char* name : {"exp.dat", "START_A.INP", "demo.axis", "EPS.res"}) {
        dir.Write(name, "2 1\n1 1\n2 2\n");
        std::filesystem::permissions(dir.Path() / name, std::filesystem::perms::none);
    }
    const auto check = [] {
        auto s = std::make_unique<PlotState>();
        s->expFile = "exp.dat";
        s->resFile = "res.dat";
        s->axisFile = "demo.axis";
        s->experimentFlag = 1;
        s->fitRunCount = 1;
        s->experimental.pointCount = 7;
        s->xMax = 42.0f;
        RecordingHost host;
        ReadTaskFile(*s, host);
        ReadAxisFile(*s, host);
        ReadCurveFiles(*s, host);
        const Messages expected{
            "START_A.INP - not readable !!!\nSTART_A.INP: no permission to read it",
            "fileAXIS - not readable !!!\ndemo.axis: no permission to read it",
            "fileE1 - not readable !!!\nexp.dat: no permission to read it",
            "fileRES - absent !!!",
            "EPS.res - not readable !!!\nEPS.res: no permission to read it",
        };
        return host.messages == expected && s->experimental.pointCount == 7 && s->xMax == 42.0f &&
               host.fatals == 0;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(2);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become nobody; 1: other messages";
}

// Memory stays bounded whatever the file's size: the reader stops where the
// capacities are met and never reads on to the end.
TEST(FileKinds, AHugeResultFileIsReadOnlyAsFarAsTheCapacities) {
    TempWorkDir dir;
    // 3500 points, more than the first block of text, then a sparse
    // gigabyte of zero bytes that is never read.
    std::string head = "4000 1\n";
    const std::string one = "1." + std::string(300, '0');
    for (int p = 0; p < 3500; ++p) {
        head += std::to_string(p) + " " + one + "\n";
    }
    dir.Write("res.dat", head);
    std::filesystem::resize_file(dir.Path() / "res.dat", std::uintmax_t{1} << 30);
    auto s = std::make_unique<PlotState>();
    s->resFile = "res.dat";
    s->fitRunCount = 1;
    RecordingHost host;
    ReadCurveFiles(*s, host);
    EXPECT_EQ(s->result.pointCount, 3500);
    EXPECT_EQ(s->result.x[3499], 3499.0f);
    EXPECT_EQ(s->result.y[3499 * 12], 1.0f);
    EXPECT_EQ(host.messages, Messages{"fileRES - cut to 3500 points and 1 curves !!!"});
}

// A line of more ordinates than the set holds is streamed through, however
// long: the next point's abscissa is read from its own place.
TEST(FileKinds, LinesOfManyOrdinatesAreStreamedThrough) {
    TempWorkDir dir;
    std::string text = "2 300000\n";
    for (int p = 0; p < 2; ++p) {
        text += std::to_string(p + 1);
        for (int c = 0; c < 300000; ++c) {
            text += c % 2 == 0 ? " 1.5" : " 2.5e-1";
        }
        text += '\n';
    }
    dir.Write("exp.dat", text);
    auto s = std::make_unique<PlotState>();
    s->expFile = "exp.dat";
    s->experimentFlag = 1;
    RecordingHost host;
    ReadCurveFiles(*s, host);
    EXPECT_EQ(s->experimental.pointCount, 2);
    EXPECT_EQ(s->experimental.x[1], 2.0f);
    EXPECT_EQ(s->experimental.y[12 + 11], 0.25f);
}

}  // namespace
}  // namespace zelk
