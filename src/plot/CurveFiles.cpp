// The experimental and result curve files and EPS.res.
//
// A curve file gives a point count and a curve count, then for each point its
// abscissa followed by one ordinate per curve, all separated by white space.
// The result file's header line may carry column titles after the counts.
// Lines before the counts that do not begin with a number (a comment, column
// titles) are skipped. Numbers may use a D exponent marker, and nan or inf
// stand for a value that is left out of the drawing.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "plot/ReaderSupport.h"
#include "plot/Readers.h"

namespace zelk {
namespace detail {

struct Saying {
    bool notice = false;  // false: a message box
    std::string text;
};

// One read of a curve file: what it stores into its set and what it says.
// Kept after the read, with the file's stamp, so that the same file read
// again unchanged is stored and reported from here without parsing it.
struct CurveParse {
    platform::FileStamp stamp;
    bool kept = false;  // holds the read of the file with that stamp
    bool resultFile = false;
    bool complete = false;
    std::int32_t pointCount = 0;  // the counts the set gets
    std::int32_t curveCount = 0;
    int pointsRead = 0;  // points 0.. in set, each with curvesRead ordinates
    int curvesRead = 0;
    std::int64_t fileCurves = -1;  // the curve count the file gives; -1 when none
    std::vector<Saying> says;
    // The points read, as many as the file gave: x[p], and y[p * curvesRead + c].
    std::vector<float> x;
    std::vector<float> y;
};

struct EpsParse {
    platform::FileStamp stamp;
    bool kept = false;
    bool store = false;  // a value was read
    bool complete = false;
    float value = 0.0f;
    std::vector<Saying> says;
};

struct KeptReads {
    CurveParse experimental;
    CurveParse result;
    EpsParse eps;
};

}  // namespace detail

ReadCache::ReadCache() = default;
ReadCache::~ReadCache() = default;
ReadCache::ReadCache(const ReadCache&) : ReadCache() {}
ReadCache& ReadCache::operator=(const ReadCache& other) {
    if (this != &other) {
        Clear();
    }
    return *this;
}
detail::KeptReads& ReadCache::Get() {
    if (!kept_) {
        kept_ = std::make_unique<detail::KeptReads>();
    }
    return *kept_;
}
void ReadCache::Clear() {
    kept_.reset();
}

namespace {

using detail::CurveParse;
using detail::EpsParse;
using detail::Quote;
using detail::Reporter;
using detail::Saying;

constexpr const char* kEpsFile = "EPS.res";

// Cuts a count read from a file to the capacity. Counts are 32-bit signed,
// so a huge unsigned count reads as negative: it is kept as the file gives
// it and means nothing to read (every consumer treats it as empty).
std::int32_t Fit(std::int32_t count, std::int32_t capacity, bool& cut) {
    if (count > capacity) {
        cut = true;
        return capacity;
    }
    return count;
}

std::string Plural(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string At(const std::string& name, int line) {
    return name + ", line " + std::to_string(line) + ": ";
}

// Why the conversion at the stream's position failed.
std::string StopReason(TextStream& in) {
    if (in.AtDecimalComma()) {
        return "a decimal comma before " + Quote(in.NextWord()) + "; numbers need a decimal point";
    }
    if (in.AtEnd()) {
        return in.ReadFailed() ? "a read error ends the file there" : "the file ends there";
    }
    return Quote(in.NextWord()) + " is not a number";
}

class CurveReader {
  public:
    CurveReader(PlotState& state, Reporter& reporter, const std::string& name, const char* role,
                bool resultFile)
        : state_(state),
          in_(state.curFile),
          reporter_(reporter),
          name_(name),
          role_(role),
          resultFile_(resultFile) {}

    // Parses the open stream into parse. False when the fatal error came in a
    // live read: nothing is stored then.
    bool Parse(CurveParse& parse) {
        parse.says.clear();
        parse.resultFile = resultFile_;
        parse.complete = true;
        parse.pointsRead = 0;
        parse.curvesRead = 0;
        parse.fileCurves = -1;

        const int skipped = SkipCommentLines(parse);
        const bool blank = skipped == 0 && in_.AtEnd();
        std::int32_t points = 0;
        std::int32_t curves = 0;
        const bool pointsOk = in_.ScanUnsigned(points);
        const bool curvesOk = pointsOk && in_.ScanUnsigned(curves);
        const int line = in_.Line();
        const std::string word = in_.AtEnd() ? std::string() : in_.NextWord();

        // Only the result file has a header line: the fitter writes column
        // titles after the counts, and a result file that ends within that
        // line was not written out completely.
        if (resultFile_ && !in_.ReadLine(state_.lineBuf) && !(skipped > 0 && !pointsOk)) {
            reporter_.Fatal(in_, blank ? name_ + " is empty"
                                       : At(name_, line) +
                                             "the file ends within its header line; the point "
                                             "and curve counts need a line end after them");
            return false;
        }
        if (!curvesOk) {
            std::string why;
            if (!pointsOk && word.empty()) {
                why = skipped > 0 ? name_ + ": none of its " + Plural(skipped, "line", "lines") +
                                        " begins with them"
                                  : name_ + " is empty";
            } else if (!pointsOk) {
                why = At(name_, line) + Quote(word) + " where the point count should be";
            } else {
                why = word.empty()
                          ? name_ + " ends after the point count"
                          : At(name_, line) + Quote(word) + " where the curve count should be";
            }
            Say(parse, false, role_ + " - no point and curve counts !!!\n" + why);
            parse.pointCount = 0;
            parse.curveCount = 0;
            parse.complete = false;
            return true;
        }

        bool cut = false;
        parse.pointCount = Fit(points, MAX_POINTS, cut);
        parse.curveCount = Fit(curves, MAX_CURVES, cut);
        parse.fileCurves = std::max<std::int32_t>(curves, 0);
        parse.curvesRead = static_cast<int>(std::min<std::int64_t>(parse.fileCurves, MAX_CURVES));
        if (cut) {
            Say(parse, false,
                role_ + " - cut to " + std::to_string(parse.pointCount) + " points and " +
                    std::to_string(parse.curveCount) + " curves !!!");
        }
        ReadPoints(parse, points);
        return true;
    }

  private:
    void Say(CurveParse& parse, bool notice, std::string text) {
        parse.says.push_back(Saying{notice, std::move(text)});
    }

    // One number of a point. A number followed by a decimal comma is no number
    // at all: "1,5" must not be read as 1 and 5.
    bool Datum(float& target) { return in_.ScanDatum(target) && !in_.AtDecimalComma(); }

    // Lines before the counts that cannot begin a number.
    int SkipCommentLines(CurveParse& parse) {
        int skipped = 0;
        int firstLine = 0;
        std::string first;
        while (!in_.AtNumberStart() && !in_.AtEnd()) {
            if (skipped == 0) {
                firstLine = in_.Line();
            }
            in_.ReadLine(state_.lineBuf);
            if (skipped == 0) {
                first = state_.lineBuf;
            }
            ++skipped;
        }
        if (skipped > 0) {
            Say(parse, true,
                role_ + " - " + Plural(skipped, "line", "lines") + " before the counts skipped\n" +
                    At(name_, firstLine) + Quote(first));
        }
        return skipped;
    }

    // Stores curves 0..11 of each point but takes in every ordinate the file
    // gives, so that the next abscissa is read from its own place. Only
    // points given in full are stored; the read ends at the first number that
    // does not convert, and at the capacity.
    void ReadPoints(CurveParse& parse, std::int32_t fileCount) {
        const int toRead = std::max(parse.pointCount, 0);
        parse.x.clear();
        parse.y.clear();
        parse.x.reserve(static_cast<std::size_t>(toRead));
        parse.y.reserve(static_cast<std::size_t>(toRead) *
                        static_cast<std::size_t>(parse.curvesRead));
        std::array<float, MAX_CURVES> ordinates{};
        float discarded = 0.0f;
        int nonFinite = 0;
        int firstNonFiniteLine = 0;
        for (int p = 0; p < toRead; ++p) {
            float abscissa = 0.0f;
            bool whole = Datum(abscissa);
            const int line = in_.Line();
            for (std::int64_t c = 0; whole && c < parse.fileCurves; ++c) {
                whole = Datum(c < MAX_CURVES ? ordinates[static_cast<std::size_t>(c)] : discarded);
            }
            if (!whole) {
                const std::string reason = StopReason(in_);
                Say(parse, false,
                    role_ + " - " + std::to_string(p) + " of " + std::to_string(fileCount) +
                        " points read\n" + At(name_, in_.Line()) + reason);
                parse.pointCount = p;
                parse.complete = false;
                break;
            }
            bool finite = std::isfinite(abscissa);
            parse.x.push_back(abscissa);
            for (int c = 0; c < parse.curvesRead; ++c) {
                finite = finite && std::isfinite(ordinates[static_cast<std::size_t>(c)]);
                parse.y.push_back(ordinates[static_cast<std::size_t>(c)]);
            }
            if (!finite && nonFinite++ == 0) {
                firstNonFiniteLine = line;
            }
            parse.pointsRead = p + 1;
        }
        if (nonFinite > 0) {
            Say(parse, true,
                role_ + " - nan or inf at " + Plural(nonFinite, "point", "points") +
                    ", left out of the drawing\n" + At(name_, firstNonFiniteLine) +
                    "the first of them");
        }
    }

    PlotState& state_;
    TextStream& in_;
    Reporter& reporter_;
    const std::string& name_;
    std::string role_;
    bool resultFile_;
};

void Tell(Reporter& reporter, const std::vector<Saying>& says) {
    for (const Saying& s : says) {
        if (s.notice) {
            reporter.Notice(s.text);
        } else {
            reporter.Message(s.text);
        }
    }
}

// Says what the read said and stores what it read. A live read stores only a
// complete file. Returns whether the set was changed.
bool Apply(const CurveParse& parse, CurveSet& set, Reporter& reporter) {
    Tell(reporter, parse.says);
    if (!parse.complete) {
        reporter.Incomplete();
        if (reporter.Live()) {
            return false;
        }
    }
    set.pointCount = parse.pointCount;
    set.curveCount = parse.curveCount;
    const auto curves = static_cast<std::size_t>(parse.curvesRead);
    for (std::size_t p = 0; p < static_cast<std::size_t>(parse.pointsRead); ++p) {
        set.x[p] = parse.x[p];
        std::copy_n(parse.y.begin() + static_cast<std::ptrdiff_t>(p * curves), curves,
                    set.y.begin() + static_cast<std::ptrdiff_t>(p * MAX_CURVES));
    }
    return true;
}

// Reads one curve file into set; returns the parse, or nullptr when the file
// could not be read and set was left as it was.
const CurveParse* ReadCurveFile(PlotState& state, Reporter& reporter, const std::string& name,
                                const char* role, CurveSet& set, bool resultFile, CurveParse& kept,
                                bool& stored) {
    detail::ScopedFile file(state.curFile);
    const TextStream::OpenResult opened = file.Open(name);
    if (opened.status != TextStream::Status::Opened) {
        reporter.Message(detail::OpenProblem(role, name, opened));
        reporter.Incomplete();
        return nullptr;
    }
    if (!(kept.kept && kept.resultFile == resultFile && kept.stamp == state.curFile.Stamp())) {
        kept.kept = false;
        kept.stamp = state.curFile.Stamp();
        state.readCache.CountParse();
        CurveReader reader(state, reporter, name, role, resultFile);
        if (!reader.Parse(kept)) {
            return nullptr;
        }
        kept.kept = state.curFile.Settled() && !state.curFile.ReadFailed();
    }
    state.curFile.Close();
    stored = Apply(kept, set, reporter) || stored;
    return &kept;
}

}  // namespace

ReadReport ReadEpsValue(PlotState& state, Host& host, float& target, ReadMode mode) {
    ReadReport report;
    Reporter reporter(host, mode, report);
    detail::ScopedFile file(state.curFile);
    const TextStream::OpenResult opened = file.Open(kEpsFile);
    if (opened.status != TextStream::Status::Opened) {
        reporter.Message(detail::OpenProblem(kEpsFile, kEpsFile, opened));
        reporter.Incomplete();
        return report;
    }
    EpsParse& kept = state.readCache.Get().eps;
    if (!(kept.kept && kept.stamp == state.curFile.Stamp())) {
        TextStream& in = state.curFile;
        state.readCache.CountParse();
        kept = EpsParse{};
        kept.stamp = in.Stamp();
        kept.complete = true;
        if (!in.FindNumberInLine()) {
            std::string why = std::string(kEpsFile) + " is empty";
            if (!in.AtEnd()) {
                const int line = in.Line();
                in.ReadLine(state.lineBuf);
                why = At(kEpsFile, line) + Quote(state.lineBuf) + " holds none";
            }
            kept.says.push_back({false, std::string(kEpsFile) + " - no number !!!\n" + why});
            kept.complete = false;
        } else {
            float value = 0.0f;
            in.ScanDatum(value);
            if (in.AtDecimalComma()) {
                kept.says.push_back({false, std::string(kEpsFile) + " - decimal comma !!!\n" +
                                                At(kEpsFile, in.Line()) +
                                                "a decimal comma before " + Quote(in.NextWord()) +
                                                "; numbers need a decimal point"});
                kept.complete = false;
            } else {
                kept.store = true;
                kept.value = value;
                if (!std::isfinite(value)) {
                    kept.says.push_back({true, std::string(kEpsFile) + " - nan or inf !!!\n" +
                                                   At(kEpsFile, in.Line()) +
                                                   "the fit gave no finite EPS value"});
                }
            }
        }
        kept.kept = in.Settled() && !in.ReadFailed();
    }
    state.curFile.Close();
    Tell(reporter, kept.says);
    if (!kept.complete) {
        reporter.Incomplete();
    }
    if (kept.store) {
        target = kept.value;
    }
    return report;
}

ReadReport ReadCurveFiles(PlotState& state, Host& host, ReadMode mode) {
    ReadReport report;
    Reporter reporter(host, mode, report);
    detail::KeptReads& kept = state.readCache.Get();
    bool stored = false;
    const CurveParse* experimental = nullptr;
    if (state.experimentFlag > 0) {
        experimental = ReadCurveFile(state, reporter, state.expFile, "fileE1", state.experimental,
                                     false, kept.experimental, stored);
    }
    if (state.fitRunCount > 0) {
        const CurveParse* result = ReadCurveFile(state, reporter, state.resFile, "fileRES",
                                                 state.result, true, kept.result, stored);
        if (reporter.Fatal()) {
            return report;  // a live read's fatal error: nothing after it
        }
        // Fit k is drawn over measured curve k: with other counts the stacking
        // differs and the fits sit on the wrong data.
        if (experimental != nullptr && result != nullptr && experimental->fileCurves >= 0 &&
            result->fileCurves >= 0 && experimental->fileCurves != result->fileCurves) {
            reporter.Notice("fileRES - " + Plural(result->fileCurves, "curve", "curves") +
                            ", fileE1 - " + Plural(experimental->fileCurves, "curve", "curves") +
                            "\n" + state.resFile +
                            ": fitted curve k is drawn over measured curve "
                            "k of " +
                            state.expFile + ", stacked differently");
        }
        if (state.experimentFlag > 0) {
            const ReadReport eps = ReadEpsValue(state, host, state.eps, mode);
            report.complete = report.complete && eps.complete;
            report.messages.insert(report.messages.end(), eps.messages.begin(), eps.messages.end());
            report.notices.insert(report.notices.end(), eps.notices.begin(), eps.notices.end());
            stored = stored || eps.complete;
        }
    }
    if (!reporter.Live() || stored) {
        host.Redraw();
    }
    return report;
}

}  // namespace zelk
