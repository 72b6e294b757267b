#pragma once
// The demo task written by "zelk-fit --make-demo DIR".

#include <string>

namespace zelk::fit {

// Writes START_A.INP, the options, model, axis, FIT.INP, Angle.inp,
// Energy.inp and the experimental file into `folder` (created when needed;
// demo files already there are replaced). START_A.INP names `fitProgram` as
// the fitting program. Throws FitError when a file cannot be written.
void MakeDemo(const std::string& folder, const std::string& fitProgram);

// The demo's measured curves: three spectra of 401 points each, with
// deterministic noise of standard deviation kDemoNoise.
inline constexpr double kDemoNoise = 3.0;

}  // namespace zelk::fit
