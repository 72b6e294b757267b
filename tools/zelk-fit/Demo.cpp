#include "Demo.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "CurveFile.h"
#include "Model.h"
#include "Text.h"
#include "platform/Platform.h"

namespace zelk::fit {
namespace {

constexpr std::size_t kPoints = 401;
constexpr double kXFirst = 0.0;
constexpr double kXStep = 0.25;

Param V(double value) {
    return Param{value, true};
}

Peak MakePeak(PeakShape shape, double position, double height, double width) {
    return Peak{shape, V(position), V(height), V(width)};
}

// The spectra the demo data are drawn from.
Model TrueModel() {
    Model m;
    m.curves.push_back(CurveModel{"sampleA",
                                  V(20.0),
                                  V(0.10),
                                  {MakePeak(PeakShape::kGauss, 28.0, 150.0, 6.0),
                                   MakePeak(PeakShape::kLorentz, 52.0, 90.0, 8.0),
                                   MakePeak(PeakShape::kGauss, 76.0, 60.0, 5.0)}});
    m.curves.push_back(CurveModel{"sampleB",
                                  V(15.0),
                                  V(0.05),
                                  {MakePeak(PeakShape::kGauss, 31.0, 120.0, 7.0),
                                   MakePeak(PeakShape::kLorentz, 60.0, 110.0, 6.0)}});
    m.curves.push_back(CurveModel{"sampleC",
                                  V(25.0),
                                  V(-0.05),
                                  {MakePeak(PeakShape::kGauss, 40.0, 80.0, 10.0),
                                   MakePeak(PeakShape::kGauss, 70.0, 140.0, 4.0)}});
    return m;
}

// Where the user's fit starts: the right peaks, roughly placed.
Model StartModel() {
    Model m = TrueModel();
    double shift = 1.5;
    for (CurveModel& curve : m.curves) {
        curve.offset.value = 10.0;
        curve.slope.value = 0.0;
        for (Peak& peak : curve.peaks) {
            peak.position.value = std::round(peak.position.value + shift);
            peak.height.value = std::round(peak.height.value * 0.8);
            peak.width.value = std::round(peak.width.value * 1.3);
            shift = -shift;
        }
    }
    return m;
}

// Box-Muller on the 64-bit Mersenne Twister: the engine's sequence is fixed
// by the standard, unlike the library's normal distribution, so the demo
// data are the same everywhere.
class Noise {
  public:
    explicit Noise(std::uint64_t seed) : engine_(seed) {}
    double Next() {
        const double scale = 1.0 / 18446744073709551616.0;  // 2^-64
        const double u1 = (static_cast<double>(engine_()) + 1.0) * scale;
        const double u2 = static_cast<double>(engine_()) * scale;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

  private:
    std::mt19937_64 engine_;
};

std::string Experimental() {
    const Model truth = TrueModel();
    CurveData data;
    Noise noise(20240607);
    for (std::size_t p = 0; p < kPoints; ++p) {
        data.x.push_back(kXFirst + kXStep * static_cast<double>(p));
    }
    for (const CurveModel& curve : truth.curves) {
        std::vector<double> y;
        for (double x : data.x) {
            // Two decimals, as a measured file would carry them.
            y.push_back(std::round((Evaluate(curve, x) + kDemoNoise * noise.Next()) * 100.0) /
                        100.0);
        }
        data.y.push_back(std::move(y));
    }
    // Same layout as the result file, without titles: experimental files
    // carry nothing after the counts.
    std::string text = std::to_string(kPoints) + " " + std::to_string(data.y.size()) + "\n";
    for (std::size_t p = 0; p < kPoints; ++p) {
        text += FormatExact(data.x[p]);
        for (const auto& column : data.y) {
            text += "  " + FormatShort(column[p], 9);
        }
        text += '\n';
    }
    return text;
}

std::string TaskFile(const std::string& fitProgram) {
    return "Zelk demo task: three stacked spectra fitted by the demo fitting program\n"
           "options file:\n"
           "demo.opt\n"
           "model file:\n"
           "demo.mod\n"
           "1   experiment flag: 1 = the task has experimental curves\n"
           "experimental curves:\n"
           "demo.dat\n"
           "20  85   marker positions\n"
           "fitting program:\n" +
           fitProgram +
           "\n"
           "result curves:\n"
           "demo.res\n"
           "axis file:\n"
           "demo.axis\n";
}

// The counts run to a few hundred; the stacking factor brings them into single
// digits, so that every y label fits in the left margin.
constexpr const char* kAxisFile =
    "0        left end of the x axis\n"
    "100      right end of the x axis\n"
    "10       x tick step\n"
    "0        bottom of the y axis\n"
    "6        top of the y axis\n"
    "0.5      y tick step\n"
    "1        scale type: 1 linear, 2 logarithmic\n"
    "0.01     stacking factor: every count is multiplied by it\n"
    "2        stacking offset between curves\n";

constexpr const char* kOptionsFile =
    "# Calculation options of the demo fitting program (zelk-fit).\n"
    "# FIT.INP's records fall back on these where they hold 0.\n"
    "max-evaluations  2000   # most model evaluations per curve\n"
    "tolerance        1e-10  # relative change at which a fit has converged\n"
    "sigma            3      # uncertainty of one measured ordinate (the demo's noise)\n";

constexpr const char* kFitInput =
    " 0  1  0.00000 1  0.00000 1.00000 0 1  0.00000  every curve, whole range, defaults\n"
    "# One record a line, nine numbers; a later record overrides an earlier one\n"
    "# for the curves it selects.\n"
    "#  1 curve: 0 every curve, k curve k     2 fit: 1 fit, 0 evaluate only\n"
    "#  3 from, 5 to: fit range (whole curve when to <= from)\n"
    "#  4 weighting: 1 equal, 2 counting statistics\n"
    "#  6 sigma factor (1 = the options file's sigma)\n"
    "#  7 most evaluations (0 = options file)  8 background: 1 as the model, 0 fixed\n"
    "#  9 tolerance (0 = options file)\n"
    "# Example: fit curve 2 only between 20 and 80:\n"
    "#  2  1 20.00000 1 80.00000 1.00000 0 1  0.00000\n";

constexpr const char* kAngleFile =
    "Notes on the measuring angles of this task.\n"
    "\n"
    "The demo fitting program does not read this file: it is the place for the\n"
    "user's notes on the angle scale, or for a real fitting program that takes\n"
    "its angle calibration from here. Zelk opens it from the Angle_scale menu.\n"
    "\n"
    "Demo: all three spectra were taken at 90 degrees.\n";

constexpr const char* kEnergyFile =
    "Notes on the energy scale of this task.\n"
    "\n"
    "The demo fitting program does not read this file: it is the place for the\n"
    "user's notes on the energy calibration, or for a real fitting program that\n"
    "takes its calibration from here. Zelk opens it from the Energy_scale menu.\n"
    "\n"
    "Demo: the abscissa is in channels, 0 to 100 in steps of 0.25.\n";

}  // namespace

void MakeDemo(const std::string& folder, const std::string& fitProgram) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(platform::FsPath(folder), ec);
    if (!fs::is_directory(platform::FsPath(folder), ec)) {
        throw FitError("cannot create the folder \"" + folder + "\"");
    }
    auto write = [&](const char* name, std::string_view text) {
        WriteWholeFile(platform::JoinPath(folder, name), text);
    };
    write("START_A.INP", TaskFile(fitProgram));
    write("demo.opt", kOptionsFile);
    write("demo.mod", FormatModel(StartModel(), "demo model: starting values for the fit"));
    write("demo.dat", Experimental());
    write("demo.axis", kAxisFile);
    write("FIT.INP", kFitInput);
    write("Angle.inp", kAngleFile);
    write("Energy.inp", kEnergyFile);
}

}  // namespace zelk::fit
